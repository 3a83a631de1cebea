#include "tests/fuzz/loader_seeds.h"

#include <cstdio>
#include <string>

#include "tests/support/bmp_file.h"

namespace {

// The same picture with one header field changed.
std::vector<uint8_t> with_u32(std::vector<uint8_t> bytes, size_t at, uint32_t value) {
    put_le(bytes, at, value);
    return bytes;
}

std::vector<uint8_t> with_u16(std::vector<uint8_t> bytes, size_t at, uint16_t value) {
    put_le(bytes, at, value, 2);
    return bytes;
}

std::vector<uint8_t> cut_to(std::vector<uint8_t> bytes, size_t length) {
    if (bytes.size() > length) bytes.resize(length);
    return bytes;
}

constexpr size_t width_at = 18;
constexpr size_t height_at = 22;
constexpr size_t offset_at = 10;
constexpr size_t bit_count_at = 28;

}  // namespace

std::vector<SeedPicture> all_seed_pictures() {
    const std::vector<uint8_t> unit = make_bmp(16, 16);
    std::vector<SeedPicture> seeds = {
        // Pictures the game is made of, and the ones a paint program may write.
        {"sound_unit_16", unit},
        {"sound_texture_64", make_bmp(64, 64)},
        {"sound_tiny_4", make_bmp(4, 4)},
        {"sound_one_pixel", make_bmp(1, 1)},
        {"sound_padded_5x5", make_bmp(5, 5)},
        {"sound_padded_3x7", make_bmp(3, 7)},
        {"sound_wide_32x2", make_bmp(32, 2)},
        {"sound_tall_2x32", make_bmp(2, 32)},
        {"sound_wider_than_screen_700x1", make_bmp(700, 1)},
        {"sound_palette_gap", make_bmp(8, 8, 54 + 1024)},
        {"sound_last_row_unpadded", cut_to(make_bmp(5, 3), 54 + 16 * 2 + 15)},
        {"sound_trailing_bytes", [] {
             std::vector<uint8_t> bytes = make_bmp(8, 8);
             bytes.resize(bytes.size() + 100, 0x77);
             return bytes;
         }()},
        // Files the loader must refuse.
        {"broken_empty", {}},
        {"broken_half_header", cut_to(unit, 30)},
        {"broken_header_only", cut_to(unit, 54)},
        {"broken_magic", with_u16(unit, 0, 0x4142)},
        {"broken_32_bits", with_u16(unit, bit_count_at, 32)},
        {"broken_8_bits", with_u16(unit, bit_count_at, 8)},
        {"broken_bit_count_high_byte", with_u16(unit, bit_count_at, 0x0118)},
        {"broken_top_down", with_u32(unit, height_at, static_cast<uint32_t>(-16))},
        {"broken_zero_width", with_u32(unit, width_at, 0)},
        {"broken_zero_height", with_u32(unit, height_at, 0)},
        {"broken_negative_width", with_u32(unit, width_at, 0x80000000u)},
        {"broken_too_wide", with_u32(unit, width_at, 4097)},
        {"broken_overflowing_size", with_u32(with_u32(unit, width_at, 0x40000001u), height_at, 0x40000001u)},
        {"broken_huge_claimed", with_u32(with_u32(unit, width_at, 4096), height_at, 4096)},
        {"broken_offset_past_end", with_u32(unit, offset_at, 100000)},
        {"broken_offset_inside_header", with_u32(unit, offset_at, 2)},
        {"broken_offset_at_end", with_u32(unit, offset_at, static_cast<uint32_t>(unit.size()))},
        {"broken_offset_wraps", with_u32(unit, offset_at, 0xFFFFFFF0u)},
        {"broken_short_by_one", cut_to(unit, unit.size() - 1)},
        {"broken_short_half", cut_to(unit, 54 + unit.size() / 2)},
        {"broken_padded_short", cut_to(make_bmp(5, 5), 54 + 16 * 4 + 14)},
        {"broken_text", {'h', 'e', 'l', 'l', 'o', '\n'}},
    };
    return seeds;
}

bool write_seed_pictures(const char* folder) {
    for (const SeedPicture& seed : all_seed_pictures()) {
        std::string path = std::string(folder) + "/" + seed.name + ".bmp";
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (!file) return false;
        bool written = seed.bytes.empty() ||
                       std::fwrite(seed.bytes.data(), 1, seed.bytes.size(), file) == seed.bytes.size();
        if (std::fclose(file) != 0 || !written) return false;
    }
    return true;
}
