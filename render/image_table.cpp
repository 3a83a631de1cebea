#include "render/image_table.h"

#include <cstdlib>

#include "world/settings.h"

Image* image_table = nullptr;

bool alloc_image_table() {
    if (image_table) return true;
    image_table = static_cast<Image*>(std::calloc(max_images, sizeof(Image)));
    return image_table != nullptr;
}

void clear_image_slot(int slot) {
    if (!image_table || slot < 0 || slot >= max_images) return;
    Image& image = image_table[slot];
    std::free(image.pixels);
    image.pixels = nullptr;
    image.width = 0;
    image.height = 0;
    image.bytes_per_pixel = 0;
}

void release_image_table() {
    if (!image_table) return;
    for (int slot = 0; slot < max_images; ++slot) clear_image_slot(slot);
    std::free(image_table);
    image_table = nullptr;
}
