// Writing what the generator made: uncompressed 24-bit BMP pictures of the
// subset the game reads, and 16-bit mono PCM wave files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/assetgen/canvas.h"

// A 54-byte header, data at offset 54, rows bottom-up in blue-green-red.
bool write_bmp_file(const std::string& path, const Canvas& canvas, std::string* error);
bool write_wave_file(const std::string& path, const std::vector<int16_t>& samples, int rate, std::string* error);
