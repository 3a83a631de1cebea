// Picture files written byte by byte, for the loader's tests and the fuzz
// target's seeds: bottom-up 24-bit files as paint programs write them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The value's low `size` bytes at `at`, least significant first.
void put_le(std::vector<uint8_t>& bytes, size_t at, uint32_t value, int size = 4);
// Channel c (0 red, 1 green, 2 blue) of pixel (x, y), (0, 0) bottom-left:
// a colour of its own for every pixel of a small picture, never black.
uint8_t bmp_channel(int x, int y, int c);
// Rows padded with non-zero filler to four bytes, junk between the 54-byte
// header and the pixels at offset.
std::vector<uint8_t> make_bmp(int width, int height, uint32_t offset = 54);
