#include "game/frame.h"

#include <GL/gl.h>

#include "game/frame_rules.h"
#include "game/pauses.h"
#include "game/screens.h"
#include "game/units.h"
#include "platform/platform.h"
#include "render/overlay.h"
#include "terrain/terrain_mesh.h"
#include "world/game_state.h"
#include "world/settings.h"
#include "world/world_arrays.h"

namespace {

constexpr int pace_step_ms = 6;
constexpr int terrain_radius = 20;

// The only pace besides the swap: 0, 6, 12 or 18 ms, chosen with F5 to F8.
void pace_frame() {
    if (game_speed > 1) pause_ms(frame_pause_ms());
}

// While M is held the window's top-left corner follows the mouse cursor.
void drag_window_with_mouse(const PassInput& input) {
    if (input.keys[vk_m] != 1) return;
    int x = 0, y = 0;
    platform_cursor_screen_position(&x, &y);
    platform_move_window(x, y, screen_width, screen_height);
}

void clear_scene() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    clear_overlay();
}

void apply_camera(const View& view) {
    glTranslatef(0.0f, 0.0f, view.camera_zoom);
    glRotatef(view.camera_pitch, 1.0f, 0.0f, 0.0f);
    glRotatef(view.camera_yaw, 0.0f, 1.0f, 0.0f);
    glRotatef(view.camera_spin, 0.0f, 0.0f, 0.5f);
}

// The terrain around the view centre, rebuilt from nothing, culled and
// drawn, then the units near it.
void draw_world(const View& view, WorldDrawing way) {
    vertex_count = 0;
    triangle_count = 0;
    visible_triangle_count = 0;
    visible_unit_count = 0;
    build_terrain_mesh(0, view.map_sx, view.map_sy, terrain_radius);
    cull_mesh();
    collect_visible_units(view.map_sx, view.map_sy);
    glEnable(GL_BLEND);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    draw_mesh(way);
    glDisable(GL_BLEND);
    draw_unit_pass(view.map_sx, view.map_sy, view.unit_size, view.camera_spin, way);
}

// The rule steps in the frame's order, each view step at its own place
// among them; drawn marks the one step that draws.
void advance(const FrameCommands& commands, View* view, const PassInput& input, bool drawn) {
    count_frame();
    wander_when_due();
    update_unit_slice();
    spin_by_mouse(view, input);
    aim_cursor(view, input);
    if (drawn) draw_cursor_marker(view->cursor_dx, view->cursor_dy);
    handle_side_buttons(commands);
    apply_side_keys(commands);
    apply_picture_size(view, input);
    follow_deal(view);
    census_when_due();
    jump_at_census(view, input);
    economy_and_opponent();
}

}  // namespace

bool run_frame(const FrameCommands& commands, View* view, const PassInput& input, WorldDrawing way) {
    pace_frame();
    drag_window_with_mouse(input);
    clear_scene();
    apply_camera(*view);
    draw_world(*view, way);
    advance(commands, view, input, true);
    begin_overlay_present();
    toggle_help(view, input);
    draw_screens(*view);
    close_help_when_over(view);
    finish_overlay_present();
    return true;
}

int frame_pause_ms() { return game_speed > 1 ? (game_speed - 1) * pace_step_ms : 0; }

void run_frame_undrawn(const FrameCommands& commands, View* view, const PassInput& input) {
    pace_frame();
    advance(commands, view, input, false);
    toggle_help(view, input);
    close_help_when_over(view);
}

void draw_still_frame(const View& view) {
    clear_scene();
    apply_camera(view);
    draw_world(view, WorldDrawing::batched);
    draw_cursor_marker(view.cursor_dx, view.cursor_dy);
    begin_overlay_present();
    draw_screens(view);
    finish_overlay_present();
}
