#include "tests/support/bmp_file.h"

#include <algorithm>

void put_le(std::vector<uint8_t>& bytes, size_t at, uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

uint8_t bmp_channel(int x, int y, int c) {
    return static_cast<uint8_t>(c == 0 ? x * 7 + 1 : c == 1 ? y * 11 + 2 : x + y * 3);
}

std::vector<uint8_t> make_bmp(int width, int height, uint32_t offset) {
    const size_t stride = (static_cast<size_t>(width) * 3 + 3) / 4 * 4;
    std::vector<uint8_t> bytes(offset + stride * height, 0xEE);
    std::fill(bytes.begin(), bytes.begin() + 54, 0);
    bytes[0] = 'B';
    bytes[1] = 'M';
    put_le(bytes, 2, static_cast<uint32_t>(bytes.size()));
    put_le(bytes, 10, offset);
    put_le(bytes, 14, 40);
    put_le(bytes, 18, width);
    put_le(bytes, 22, height);
    put_le(bytes, 26, 1, 2);
    put_le(bytes, 28, 24, 2);
    put_le(bytes, 34, static_cast<uint32_t>(stride * height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width * 3; ++x) bytes[offset + stride * y + x] = bmp_channel(x / 3, y, 2 - x % 3);
    return bytes;
}
