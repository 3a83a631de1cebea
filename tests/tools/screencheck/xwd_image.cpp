#include "xwd_image.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int header_words = 25;
constexpr int colormap_entry_bytes = 12;
constexpr uint32_t zpixmap = 2;

enum HeaderField {
    header_size, file_version, pixmap_format, pixmap_depth, pixmap_width, pixmap_height, xoffset,
    byte_order, bitmap_unit, bitmap_bit_order, bitmap_pad, bits_per_pixel, bytes_per_line, visual_class,
    red_mask, green_mask, blue_mask, bits_per_rgb, colormap_entries, ncolors,
};

uint32_t big_endian_word(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

// One channel of a pixel value, scaled to 0..255 whatever its mask width.
uint8_t channel(uint32_t value, uint32_t mask) {
    if (mask == 0) return 0;
    int shift = 0;
    while (!((mask >> shift) & 1u)) ++shift;
    uint32_t max = mask >> shift;
    uint32_t part = (value & mask) >> shift;
    return static_cast<uint8_t>(part * 255u / max);
}

uint32_t pixel_value(const uint8_t* p, int bytes, bool most_significant_first) {
    uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) {
        int b = most_significant_first ? i : bytes - 1 - i;
        value = (value << 8) | p[b];
    }
    return value;
}

uint8_t* read_file(const char* path, long* size) {
    std::FILE* file = std::fopen(path, "rb");
    if (!file) return nullptr;
    uint8_t* bytes = nullptr;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        *size = std::ftell(file);
        if (*size > 0 && std::fseek(file, 0, SEEK_SET) == 0) {
            bytes = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(*size)));
            if (bytes && std::fread(bytes, 1, static_cast<size_t>(*size), file) != static_cast<size_t>(*size)) {
                std::free(bytes);
                bytes = nullptr;
            }
        }
    }
    std::fclose(file);
    return bytes;
}

}  // namespace

bool read_xwd(const char* path, XwdImage* image) {
    std::memset(image, 0, sizeof *image);
    long size = 0;
    uint8_t* bytes = read_file(path, &size);
    if (!bytes) return false;
    bool ok = false;
    if (size >= header_words * 4) {
        uint32_t h[header_words];
        for (int i = 0; i < header_words; ++i) h[i] = big_endian_word(bytes + i * 4);
        const int bytes_per_pixel = static_cast<int>(h[bits_per_pixel] / 8);
        const long pixels_at = static_cast<long>(h[header_size]) + static_cast<long>(h[ncolors]) * colormap_entry_bytes;
        const long width = h[pixmap_width], height = h[pixmap_height], stride = h[bytes_per_line];
        if (h[file_version] == 7 && h[pixmap_format] == zpixmap && (bytes_per_pixel >= 2 && bytes_per_pixel <= 4) &&
            width > 0 && height > 0 && width <= 16384 && height <= 16384 && stride >= width * bytes_per_pixel &&
            pixels_at + stride * height <= size) {
            image->width = static_cast<int>(width);
            image->height = static_cast<int>(height);
            image->rgb = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(width * height * 3)));
            ok = image->rgb != nullptr;
            const bool msb_first = h[byte_order] == 1;
            for (long y = 0; ok && y < height; ++y) {
                for (long x = 0; x < width; ++x) {
                    uint32_t v = pixel_value(bytes + pixels_at + y * stride + x * bytes_per_pixel, bytes_per_pixel,
                                             msb_first);
                    uint8_t* out = image->rgb + (y * width + x) * 3;
                    out[0] = channel(v, h[red_mask]);
                    out[1] = channel(v, h[green_mask]);
                    out[2] = channel(v, h[blue_mask]);
                }
            }
        }
    }
    std::free(bytes);
    if (!ok) release_xwd(image);
    return ok;
}

void release_xwd(XwdImage* image) {
    std::free(image->rgb);
    std::memset(image, 0, sizeof *image);
}

namespace {

bool picture_inside(const XwdImage& screen, int left, int top, int factor, int width, int height) {
    return factor >= 1 && width > 0 && height > 0 && left >= 0 && top >= 0 &&
           static_cast<long>(left) + static_cast<long>(width) * factor <= screen.width &&
           static_cast<long>(top) + static_cast<long>(height) * factor <= screen.height;
}

const uint8_t* pixel_at(const XwdImage& screen, int x, int y) {
    return screen.rgb + (static_cast<size_t>(y) * screen.width + x) * 3;
}

}  // namespace

bool take_picture(const XwdImage& screen, int left, int top, int factor, int width, int height,
                  XwdImage* picture) {
    std::memset(picture, 0, sizeof *picture);
    if (!picture_inside(screen, left, top, factor, width, height)) return false;
    picture->rgb = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(width) * height * 3));
    if (!picture->rgb) return false;
    picture->width = width;
    picture->height = height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            std::memcpy(picture->rgb + (static_cast<size_t>(y) * width + x) * 3,
                        pixel_at(screen, left + x * factor, top + y * factor), 3);
    return true;
}

int mixed_blocks(const XwdImage& screen, int left, int top, int factor, int width, int height) {
    if (!picture_inside(screen, left, top, factor, width, height)) return -1;
    int mixed = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint8_t* first = pixel_at(screen, left + x * factor, top + y * factor);
            bool one_colour = true;
            for (int dy = 0; dy < factor && one_colour; ++dy)
                for (int dx = 0; dx < factor && one_colour; ++dx)
                    one_colour =
                        std::memcmp(first, pixel_at(screen, left + x * factor + dx, top + y * factor + dy), 3) == 0;
            mixed += !one_colour;
        }
    }
    return mixed;
}

int lit_pixels_outside(const XwdImage& screen, int left, int top, int width, int height) {
    int lit = 0;
    for (int y = 0; y < screen.height; ++y) {
        for (int x = 0; x < screen.width; ++x) {
            bool inside = x >= left && x < left + width && y >= top && y < top + height;
            const uint8_t* p = pixel_at(screen, x, y);
            lit += !inside && (p[0] | p[1] | p[2]) != 0;
        }
    }
    return lit;
}
