#include "tools/assetgen/output_files.h"

#include <cstdio>
#include <filesystem>

namespace {

void put_u16(std::vector<uint8_t>* bytes, uint32_t value) {
    bytes->push_back(value & 0xFF);
    bytes->push_back((value >> 8) & 0xFF);
}

void put_u32(std::vector<uint8_t>* bytes, uint32_t value) {
    put_u16(bytes, value & 0xFFFF);
    put_u16(bytes, value >> 16);
}

void put_text(std::vector<uint8_t>* bytes, const char* text) {
    for (const char* c = text; *c; ++c) bytes->push_back(static_cast<uint8_t>(*c));
}

// Writes the bytes to a fresh file, creating its folder; a half-written
// file is removed so that the build tries again next time.
bool write_whole_file(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error) {
    std::error_code ignored;
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty()) std::filesystem::create_directories(folder, ignored);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        *error = path + ": cannot be written";
        return false;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = std::fclose(file) == 0 && ok;
    if (!ok) {
        std::remove(path.c_str());
        *error = path + ": writing failed";
    }
    return ok;
}

}  // namespace

bool write_bmp_file(const std::string& path, const Canvas& canvas, std::string* error) {
    // Rows are stored without padding, which is only the format's rule when
    // a row of 3-byte pixels is a multiple of 4 bytes long.
    if (canvas.width % 4 != 0) {
        *error = path + ": the width must be a multiple of 4";
        return false;
    }
    uint32_t data_size = static_cast<uint32_t>(canvas.width) * canvas.height * 3;
    std::vector<uint8_t> bytes;
    bytes.reserve(54 + data_size);
    put_text(&bytes, "BM");
    put_u32(&bytes, 54 + data_size);
    put_u32(&bytes, 0);
    put_u32(&bytes, 54);
    put_u32(&bytes, 40);
    put_u32(&bytes, canvas.width);
    put_u32(&bytes, canvas.height);
    put_u16(&bytes, 1);
    put_u16(&bytes, 24);
    put_u32(&bytes, 0);  // no compression
    put_u32(&bytes, data_size);
    put_u32(&bytes, 2835);  // 72 dots per inch
    put_u32(&bytes, 2835);
    put_u32(&bytes, 0);
    put_u32(&bytes, 0);
    for (int row = canvas.height - 1; row >= 0; --row)
        for (int x = 0; x < canvas.width; ++x) {
            Rgb c = canvas_get(canvas, x, row);
            bytes.push_back(c.b);
            bytes.push_back(c.g);
            bytes.push_back(c.r);
        }
    return write_whole_file(path, bytes, error);
}

bool write_wave_file(const std::string& path, const std::vector<int16_t>& samples, int rate, std::string* error) {
    uint32_t data_size = static_cast<uint32_t>(samples.size()) * 2;
    std::vector<uint8_t> bytes;
    bytes.reserve(44 + data_size);
    put_text(&bytes, "RIFF");
    put_u32(&bytes, 36 + data_size);
    put_text(&bytes, "WAVE");
    put_text(&bytes, "fmt ");
    put_u32(&bytes, 16);
    put_u16(&bytes, 1);  // PCM
    put_u16(&bytes, 1);  // mono
    put_u32(&bytes, rate);
    put_u32(&bytes, rate * 2);
    put_u16(&bytes, 2);
    put_u16(&bytes, 16);
    put_text(&bytes, "data");
    put_u32(&bytes, data_size);
    for (int16_t sample : samples) put_u16(&bytes, static_cast<uint16_t>(sample));
    return write_whole_file(path, bytes, error);
}
