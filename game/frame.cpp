#include "game/frame.h"

#include <GL/gl.h>

#include "app/input_state.h"
#include "game/commands.h"
#include "game/frame_rules.h"
#include "game/screens.h"
#include "game/units.h"
#include "platform/platform.h"
#include "render/overlay.h"
#include "render/world_drawing.h"
#include "terrain/terrain_mesh.h"
#include "world/game_state.h"
#include "world/settings.h"
#include "world/world_arrays.h"

namespace {

constexpr int pace_step_ms = 6;
constexpr int terrain_radius = 20;

// The only pace besides the swap: 0, 6, 12 or 18 ms, chosen with F5 to F8.
void pace_frame() {
    if (game_speed > 1) pause_ms((game_speed - 1) * pace_step_ms);
}

// While M is held the window's top-left corner follows the mouse cursor.
void drag_window_with_mouse() {
    if (keys[vk_m] != 1) return;
    int x = 0, y = 0;
    platform_cursor_screen_position(&x, &y);
    platform_move_window(x, y, screen_width, screen_height);
}

void clear_scene() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    clear_overlay();
}

void apply_camera() {
    glTranslatef(0.0f, 0.0f, camera_zoom);
    glRotatef(camera_pitch, 1.0f, 0.0f, 0.0f);
    glRotatef(camera_yaw, 0.0f, 1.0f, 0.0f);
    glRotatef(camera_spin, 0.0f, 0.0f, 0.5f);
}

// The terrain around the view centre, rebuilt from nothing, culled and drawn.
void draw_world() {
    vertex_count = 0;
    triangle_count = 0;
    visible_triangle_count = 0;
    visible_unit_count = 0;
    build_terrain_mesh(0, map_sx, map_sy, terrain_radius);
    cull_mesh();
    collect_visible_units();
    glEnable(GL_BLEND);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    draw_mesh();
    glDisable(GL_BLEND);
}

}  // namespace

// The frame's steps in order. The rule steps between the unit pass and the
// overlay are the ones the simulator runs (run_rule_steps), in this order;
// tests/test_frame_steps.cpp plays one game both ways to keep it so.
bool run_frame() {
    pace_frame();
    drag_window_with_mouse();
    clear_scene();
    apply_camera();
    draw_world();
    draw_unit_pass();
    count_frame();
    wander_when_due();
    update_unit_slice();
    spin_by_mouse();
    update_cursor();
    draw_cursor_marker(cursor_dx, cursor_dy);
    handle_mouse_buttons();
    apply_function_keys();
    census_when_due();
    economy_and_opponent();
    begin_overlay_present();
    draw_status_and_screens();
    finish_overlay_present();
    return true;
}

void draw_still_frame() {
    clear_scene();
    apply_camera();
    draw_world();
    draw_unit_pass();
    draw_cursor_marker(cursor_dx, cursor_dy);
    begin_overlay_present();
    draw_screens();
    finish_overlay_present();
}
