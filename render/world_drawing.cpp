#include "render/world_drawing.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdlib>

#include "render/image_loader.h"
#include "render/image_table.h"
#include "render/overlay.h"
#include "render/projection.h"
#include "world/game_state.h"
#include "world/world_arrays.h"

namespace {

// The scene is limited by distance, not by the view frustum.
constexpr float triangle_reach = 20.0f;
constexpr int unit_reach = 20;
constexpr int visible_triangle_limit = 29999;
constexpr int visible_unit_limit = max_units - 1;

constexpr int blood_slot = 9;
constexpr int mine_kind = 90;

// A projected coordinate as an overlay position. A point near the camera
// plane projects to huge or undefined values: those land far off the overlay
// instead of overflowing the integer.
int screen_coordinate(float value) {
    if (!(value > -1.0e6f && value < 1.0e6f)) return -1000000;
    return static_cast<int>(value);
}

uint32_t texture_of(uint32_t index) { return index < texture_name_count ? texture_names[index] : 0; }

// One picture pixel per flat-coloured quad; black pixels are holes. The
// plain way: every pixel moved into place on the matrix stack and sent
// in a primitive of its own.
void draw_picture_pixels_one_by_one(const Image& image, float size) {
    const int w = image.width;
    const int half = w / 2;
    const float h = size / static_cast<float>(w) / 2.0f;
    const int rows = image.height < w ? image.height : w;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < w; ++c) {
            glPushMatrix();
            glTranslatef(static_cast<float>(c - half) * size / static_cast<float>(w),
                         static_cast<float>(r - half) * size / static_cast<float>(w), 0.0f);
            const uint8_t* pixel = image.pixels + (static_cast<size_t>(r) * w + c) * 3;
            glColor3ub(pixel[0], pixel[1], pixel[2]);
            if (pixel[0] == 0 && pixel[1] == 0 && pixel[2] == 0) {
                glPopMatrix();
                continue;
            }
            glBegin(GL_QUADS);
            glNormal3f(0.0f, 0.0f, 1.0f);
            glVertex3f(-h, -h, 0.0f);
            glVertex3f(h, -h, 0.0f);
            glVertex3f(h, h, 0.0f);
            glVertex3f(-h, h, 0.0f);
            glEnd();
            glPopMatrix();
        }
    }
}

// The same quads in one primitive for the whole picture, each pixel's
// offset added to its corners instead of pushed on the matrix: a software
// renderer pays for every begin, end and matrix change far more than for
// the vertices themselves.
void draw_picture_pixels_batched(const Image& image, float size) {
    const int w = image.width;
    const int half = w / 2;
    const float h = size / static_cast<float>(w) / 2.0f;
    const int rows = image.height < w ? image.height : w;
    glBegin(GL_QUADS);
    for (int r = 0; r < rows; ++r) {
        const float y = static_cast<float>(r - half) * size / static_cast<float>(w);
        const uint8_t* pixel = image.pixels + static_cast<size_t>(r) * w * 3;
        for (int c = 0; c < w; ++c, pixel += 3) {
            if (pixel[0] == 0 && pixel[1] == 0 && pixel[2] == 0) continue;
            const float x = static_cast<float>(c - half) * size / static_cast<float>(w);
            glColor3ub(pixel[0], pixel[1], pixel[2]);
            glNormal3f(0.0f, 0.0f, 1.0f);
            glVertex3f(x - h, y - h, 0.0f);
            glVertex3f(x + h, y - h, 0.0f);
            glVertex3f(x + h, y + h, 0.0f);
            glVertex3f(x - h, y + h, 0.0f);
        }
    }
    glEnd();
    // The colour is left where the pixel-by-pixel drawing leaves it: that of
    // the last pixel visited, black or not.
    if (rows > 0 && w > 0) {
        const uint8_t* last = image.pixels + (static_cast<size_t>(rows - 1) * w + w - 1) * 3;
        glColor3ub(last[0], last[1], last[2]);
    }
}

void draw_picture_pixels(const Image& image, float size, WorldDrawing way) {
    if (way == WorldDrawing::plain)
        draw_picture_pixels_one_by_one(image, size);
    else
        draw_picture_pixels_batched(image, size);
}

void draw_sprite(int slot, float size, bool standing, float spin, WorldDrawing way) {
    glDisable(GL_TEXTURE_2D);
    glPushMatrix();
    if (standing) {
        glRotatef(spin, 0.0f, 0.0f, -1.0f);
        glRotatef(90.0f, 1.0f, 0.0f, 0.0f);
    }
    if (image_table && slot >= 0 && slot < max_images) {
        const Image& image = image_table[slot];
        if (image.width > 0 && image.height > 0 && image.pixels) draw_picture_pixels(image, size, way);
    }
    glPopMatrix();
    glEnable(GL_TEXTURE_2D);
}

void send_triangle(const MeshTriangle& triangle) {
    for (int corner = 0; corner < 3; ++corner) {
        const MeshVertex& vertex = mesh_vertices[triangle.vertex[corner]];
        glTexCoord2f(vertex.u, vertex.v);
        glVertex3f(vertex.pos[0], vertex.pos[1], vertex.pos[2]);
    }
}

// The plain way: a bind and a primitive for every triangle.
void draw_mesh_one_by_one() {
    glEnable(GL_TEXTURE_2D);
    for (int i = 0; i < visible_triangle_count; ++i) {
        const MeshTriangle& triangle = mesh_triangles[visible_triangles[i]];
        glBindTexture(GL_TEXTURE_2D, texture_of(triangle.texture));
        glBegin(GL_TRIANGLES);
        send_triangle(triangle);
        glEnd();
    }
}

// The same triangles in the same order, one primitive for each run of
// consecutive triangles on the same texture; the builder lays a cell's
// faces together, so runs are long and binds few.
void draw_mesh_in_runs() {
    glEnable(GL_TEXTURE_2D);
    int i = 0;
    while (i < visible_triangle_count) {
        const uint32_t texture = texture_of(mesh_triangles[visible_triangles[i]].texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        glBegin(GL_TRIANGLES);
        for (; i < visible_triangle_count; ++i) {
            const MeshTriangle& triangle = mesh_triangles[visible_triangles[i]];
            if (texture_of(triangle.texture) != texture) break;
            send_triangle(triangle);
        }
        glEnd();
    }
}

void draw_health_bar(const Unit& unit, int px, int py) {
    draw_line(px, py + 16, px + 14, py + 16, 255, 0, 0);
    if (unit.hp > 0.0f && unit.max_hp > 0.0f) {
        float end = static_cast<float>(px) + unit.hp * 14.0f / unit.max_hp;
        draw_line(px, py + 16, screen_coordinate(end), py + 16, 0, 255, 0);
    }
}

void draw_owner_flag(const Unit& unit, int px, int py) {
    switch (unit.owner) {
    case 0: draw_line(px - 10, py, px - 10, py - 20, 0, 0, 255); break;
    case 1: draw_line(px - 10, py, px - 10, py - 20, 255, 0, 0); break;
    case 2: draw_line(px - 10, py, px - 10, py - 20, 0, 255, 0); break;
    default: break;
    }
}

// The picture of one unit at the centre of its tile, and its labels at the
// point where that centre lands on the screen.
void draw_unit(int index, int centre_x, int centre_y, float unit_size, float spin, WorldDrawing way) {
    const Unit& unit = unit_table[index];
    glPushMatrix();
    glTranslatef(static_cast<float>(unit.tile_x - centre_x) + 0.5f, static_cast<float>(unit.tile_y - centre_y) + 0.5f,
                 unit_size / 2.0f);
    project_point(0.0f, 0.0f, 0.0f);
    const float* screen = mesh_vertices[max_vertices - 1].screen;
    const int px = screen_coordinate(screen[0]);
    const int py = screen_coordinate(screen[1]);

    format_text("%d", index);
    draw_text_small(px, py, 255, 255, 255);
    if (unit.dead) {
        glTranslatef(0.0f, 0.0f, static_cast<float>(-unit_size / 2.1));
        draw_lying_sprite(blood_slot, unit_size, way);
    } else {
        draw_standing_sprite(unit.kind, unit_size, way, spin);
    }
    draw_health_bar(unit, px, py);
    draw_owner_flag(unit, px, py);
    if (unit.kind == mine_kind) {
        format_text("Mine Gold : %2.2f", unit.gold);
        draw_text_small(px - 30, py - 30, 255, 255, 255);
    }
    format_text("HP%2.0f/%2.0f", unit.hp, unit.max_hp);
    draw_text_small(px - 5, py + 15, 255, 255, 255);
    glPopMatrix();
}

}  // namespace

void cull_mesh() {
    int count = 0;
    for (int i = 0; i < triangle_count && count < visible_triangle_limit; ++i) {
        const float* pos = mesh_vertices[mesh_triangles[i].vertex[0]].pos;
        float distance = static_cast<float>(std::fabs(static_cast<double>(pos[0])) +
                                            std::fabs(static_cast<double>(pos[1])) +
                                            std::fabs(static_cast<double>(pos[2])));
        if (distance < triangle_reach) visible_triangles[count++] = static_cast<uint32_t>(i);
    }
    visible_triangle_count = count;
}

void draw_mesh(WorldDrawing way) {
    if (way == WorldDrawing::plain)
        draw_mesh_one_by_one();
    else
        draw_mesh_in_runs();
}

void collect_visible_units(int centre_x, int centre_y) {
    int count = 0;
    for (int i = 0; i < max_units && count < visible_unit_limit; ++i) {
        const Unit& unit = unit_table[i];
        if (std::abs(unit.tile_x - centre_x) + std::abs(unit.tile_y - centre_y) < unit_reach)
            visible_units[count++] = static_cast<uint32_t>(i);
    }
    visible_unit_count = count;
}

void draw_standing_sprite(int slot, float size, WorldDrawing way, float spin) {
    draw_sprite(slot, size, true, spin, way);
}

void draw_lying_sprite(int slot, float size, WorldDrawing way) { draw_sprite(slot, size, false, 0.0f, way); }

void draw_unit_pass(int centre_x, int centre_y, float unit_size, float spin, WorldDrawing way) {
    for (int i = 0; i < visible_unit_count; ++i) {
        int index = static_cast<int>(visible_units[i]);
        if (unit_table[index].active != 1) continue;
        draw_unit(index, centre_x, centre_y, unit_size, spin, way);
    }
}

void draw_cursor_marker(int dx, int dy) {
    glTranslatef(static_cast<float>(dx), static_cast<float>(dy), 0.0f);
    glColor3f(1.0f, 0.0f, 0.0f);
    glBindTexture(GL_TEXTURE_2D, texture_names[0]);
    glBegin(GL_QUADS);
    glNormal3f(0.0f, 0.0f, 1.0f);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(0.0f, 0.0f, 0.1f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(1.0f, 0.0f, 0.1f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(1.0f, 1.0f, 0.1f);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(0.0f, 1.0f, 0.1f);
    glEnd();
}
