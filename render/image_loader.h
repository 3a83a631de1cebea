// Reading pictures from BMP files into image slots, and the two terrain textures.
#pragma once

#include <cstdint>

// The 32 GL texture names; 0 holds the brick picture, 1 the grass.
constexpr int texture_name_count = 32;
extern uint32_t texture_names[texture_name_count];

// path is relative, with '/' between folders. True when the slot now holds
// the picture; a refused file leaves the slot as it was.
bool load_image(const char* path, int slot);
// Uploads slots 0 and 1 as textures 0 and 1.
void create_textures();
// The start-up loading: slots 0 and 1, the textures, then the other nineteen.
void load_all_images();
