// The image slots: pictures kept in memory as packed RGB rows, bottom row first.
// A unit's kind is the slot of its picture; slots 0 and 1 become the textures.
#pragma once

#include <cstdint>

struct Image {
    uint8_t* pixels;  // width * height * 3 bytes, red-green-blue, bottom row first
    int32_t width;
    int32_t height;
    int32_t bytes_per_pixel;
};

// max_images records; null until alloc_image_table.
extern Image* image_table;

// Takes the table with every slot empty. Returns false when memory runs out.
bool alloc_image_table();
// Releases every slot's pixels and the table itself.
void release_image_table();
// Empties one slot, releasing its pixels.
void clear_image_slot(int slot);
