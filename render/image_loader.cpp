#include "render/image_loader.h"

#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>

#include "platform/platform.h"
#include "render/image_table.h"
#include "world/settings.h"

uint32_t texture_names[texture_name_count];

namespace {

constexpr int header_size = 54;
// Larger pictures than this are refused before anything is allocated.
constexpr int32_t largest_side = 4096;

struct BmpHeader {
    int32_t width;
    int32_t height;
    uint32_t data_offset;
};

uint32_t read_u32(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

uint16_t read_u16(const uint8_t* bytes) {
    return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

// Byte count of the whole file, or -1 when it cannot be told.
long file_length(std::FILE* file) {
    if (std::fseek(file, 0, SEEK_END) != 0) return -1;
    long length = std::ftell(file);
    if (std::fseek(file, 0, SEEK_SET) != 0) return -1;
    return length;
}

// Only uncompressed bottom-up 24-bit pictures of sane size, whose pixel
// data starts after the fixed header and inside the file, are accepted.
bool read_header(std::FILE* file, long length, BmpHeader* header) {
    uint8_t bytes[header_size];
    if (std::fread(bytes, 1, header_size, file) != header_size) return false;
    if (bytes[0] != 'B' || bytes[1] != 'M') return false;
    if (read_u16(bytes + 28) != 24) return false;
    header->width = static_cast<int32_t>(read_u32(bytes + 18));
    header->height = static_cast<int32_t>(read_u32(bytes + 22));
    header->data_offset = read_u32(bytes + 10);
    if (header->width <= 0 || header->width > largest_side) return false;
    // A negative height marks a top-down file, which is not taken.
    if (header->height <= 0 || header->height > largest_side) return false;
    if (header->data_offset < header_size || header->data_offset > static_cast<unsigned long>(length)) return false;
    return true;
}

// Rows in the file are padded to four bytes; the last row's padding may be
// missing, since it is never read.
int64_t pixel_data_end(const BmpHeader& header) {
    int64_t row_bytes = static_cast<int64_t>(header.width) * 3;
    int64_t stride = (row_bytes + 3) / 4 * 4;
    return static_cast<int64_t>(header.data_offset) + stride * (header.height - 1) + row_bytes;
}

// Reads the rows packed into pixels, dropping each row's padding.
bool read_rows(std::FILE* file, const BmpHeader& header, uint8_t* pixels) {
    const long row_bytes = static_cast<long>(header.width) * 3;
    const long padding = (4 - row_bytes % 4) % 4;
    if (std::fseek(file, static_cast<long>(header.data_offset), SEEK_SET) != 0) return false;
    for (int32_t row = 0; row < header.height; ++row) {
        uint8_t* destination = pixels + row * row_bytes;
        if (std::fread(destination, 1, static_cast<size_t>(row_bytes), file) != static_cast<size_t>(row_bytes))
            return false;
        if (row + 1 < header.height && padding > 0 && std::fseek(file, padding, SEEK_CUR) != 0) return false;
    }
    return true;
}

// The file stores blue, green, red; the game keeps red, green, blue.
void swap_blue_and_red(uint8_t* pixels, long pixel_count) {
    for (long i = 0; i < pixel_count; ++i) {
        uint8_t* pixel = pixels + i * 3;
        uint8_t blue = pixel[0];
        pixel[0] = pixel[2];
        pixel[2] = blue;
    }
}

// Reads an opened file into the slot. A refused header leaves the slot as
// it was; a file whose pixels run short leaves the slot empty.
bool load_from_file(std::FILE* file, int slot) {
    long length = file_length(file);
    if (length < 0) return false;
    BmpHeader header;
    if (!read_header(file, length, &header)) return false;

    clear_image_slot(slot);
    if (pixel_data_end(header) > static_cast<int64_t>(length)) return false;
    const long pixel_count = static_cast<long>(header.width) * header.height;
    uint8_t* pixels = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(pixel_count) * 3));
    if (!pixels) return false;
    if (!read_rows(file, header, pixels)) {
        std::free(pixels);
        return false;
    }
    swap_blue_and_red(pixels, pixel_count);
    Image& image = image_table[slot];
    image.pixels = pixels;
    image.width = header.width;
    image.height = header.height;
    image.bytes_per_pixel = 3;
    return true;
}

struct LoadEntry {
    int slot;
    const char* path;
};

// The two terrain textures come first: they are uploaded before the rest loads.
const LoadEntry texture_pictures[] = {
    {0, "bmp_floor/brickold2.bmp"},
    {1, "bmp_floor/grass1.bmp"},
};

const LoadEntry other_pictures[] = {
    {3, "bmp_scr/intro1.bmp"},
    {9, "bmp_unit/unit_blood.bmp"},
    {10, "bmp_unit/unit_mage.bmp"},
    {30, "bmp_unit/unit_mage_eye.bmp"},
    {31, "bmp_unit/unit_floating_eye.bmp"},
    {32, "bmp_unit/unit_minotor.bmp"},
    {33, "bmp_unit/unit_dragon.bmp"},
    {34, "bmp_unit/unit_medusa.bmp"},
    {35, "bmp_unit/unit_mantis.bmp"},
    {36, "bmp_unit/unit_ogre.bmp"},
    {37, "bmp_unit/unit_squeletton_floating.bmp"},
    {38, "bmp_unit/unit_serpent_fire.bmp"},
    {39, "bmp_unit/unit_rust_monster.bmp"},
    {40, "bmp_unit/unit_giant_worm.bmp"},
    {41, "bmp_unit/unit_squeletton.bmp"},
    {42, "bmp_unit/unit_dragon_basilic.bmp"},
    {43, "bmp_unit/unit_dragon_hydra.bmp"},
    {44, "bmp_unit/unit_catapult.bmp"},
    {90, "bmp_land/mine.bmp"},
};

void upload_texture(int entry) {
    glBindTexture(GL_TEXTURE_2D, texture_names[entry]);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    const Image& image = image_table[entry];
    // An empty slot leaves the name without an image: its faces draw untextured.
    if (!image.pixels) return;
    // The texture is square with the picture's width as its side; a picture
    // with fewer rows than that gives only the rows it has.
    const int side = image.width;
    const int rows = image.height < side ? image.height : side;
    // Our rows are packed; GL would otherwise expect each to start on 4 bytes.
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, 3, side, rows, 0, GL_RGB, GL_UNSIGNED_BYTE, image.pixels);
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
}

}  // namespace

bool load_image(const char* path, int slot) {
    if (!image_table || slot < 0 || slot >= max_images || !path) return false;
    std::FILE* file = platform_open_data_file(path);
    if (!file) return false;
    bool loaded = load_from_file(file, slot);
    std::fclose(file);
    return loaded;
}

void create_textures() {
    glDisable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    glGenTextures(texture_name_count, texture_names);
    if (!image_table) return;
    upload_texture(0);
    upload_texture(1);
}

void load_all_images() {
    for (const LoadEntry& entry : texture_pictures) load_image(entry.path, entry.slot);
    create_textures();
    for (const LoadEntry& entry : other_pictures) load_image(entry.path, entry.slot);
}
