#include "tools/sim/sim_player.h"

#include "world/game_state.h"
#include "world/world_arrays.h"

namespace {

uint64_t player_state = 1;

// The person's hand on the mouse, kept from frame to frame.
int32_t mouse_x = 0;
int32_t mouse_y = 0;
int32_t mouse_buttons[3] = {};
View* view = nullptr;

// splitmix64: the player's own stream, so its choices never shift the game's.
uint64_t next_choice() {
    uint64_t z = (player_state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

int choose(int n) { return static_cast<int>(next_choice() % static_cast<uint64_t>(n)); }

// The mouse at the window's centre picks the tile at the view centre, so
// pointing at a tile means scrolling the view onto it.
void point_at_tile(int x, int y) {
    view->map_sx = x;
    view->map_sy = y;
    mouse_x = screen_width / 2;
    mouse_y = screen_height / 2;
}

void release_buttons() { mouse_buttons[0] = mouse_buttons[1] = mouse_buttons[2] = 0; }

int held_frames = 0;

// The other side's leader: the computer's, for a player on side 0.
void attack_other_leader() {
    release_buttons();
    if (frame_counter % 30 != 0) return;
    const Unit& leader = unit_table[1 - view->side];
    point_at_tile(leader.tile_x, leader.tile_y);
    mouse_buttons[2] = 1;
}

// Picks a random active slot meeting a test; -1 when a few tries find none.
template <typename Test>
int random_unit(Test test) {
    for (int tries = 0; tries < 16; ++tries) {
        int i = choose(85);
        if (unit_table[i].active && test(unit_table[i])) return i;
    }
    return -1;
}

void act_randomly() {
    if (held_frames > 0) {
        --held_frames;
        return;
    }
    release_buttons();
    int action = choose(100);
    if (action < 6) {
        int i = random_unit([](const Unit& u) { return u.owner == owner_neutral && !u.dead; });
        if (i < 0) return;
        point_at_tile(unit_table[i].tile_x, unit_table[i].tile_y);
        mouse_buttons[0] = 1;
        held_frames = choose(20);
    } else if (action < 10) {
        int i = random_unit([](const Unit& u) { return u.owner == view->side && !u.dead; });
        if (i < 0) return;
        point_at_tile(unit_table[i].tile_x, unit_table[i].tile_y);
        mouse_buttons[0] = 1;
    } else if (action < 13) {
        // A tile up to three past the map's edge. The row is drawn before
        // the column: the order one compiler once chose for these two draws,
        // kept so that every seeded game plays as it always has.
        int y = choose(70) - 3;
        int x = choose(70) - 3;
        point_at_tile(x, y);
        mouse_buttons[2] = 1;
    } else if (action < 16) {
        int i = random_unit([](const Unit& u) { return u.owner == 1 - view->side && !u.dead; });
        if (i < 0) return;
        point_at_tile(unit_table[i].tile_x, unit_table[i].tile_y);
        mouse_buttons[2] = 1;
    } else if (action < 18) {
        // A mouse anywhere on the window, buttons as they fall.
        mouse_x = choose(screen_width);
        mouse_y = choose(screen_height);
        mouse_buttons[0] = choose(2);
        mouse_buttons[2] = choose(2);
    }
}

}  // namespace

void sim_player_seed(uint64_t seed) {
    player_state = seed ^ 0x5DEECE66Dull;
    held_frames = 0;
    mouse_x = mouse_y = 0;
    release_buttons();
}

void sim_player_act(SimPlayerStyle style, View* person_view, PassInput* input) {
    view = person_view;
    switch (style) {
        case sim_player_idle: release_buttons(); break;
        case sim_player_attack: attack_other_leader(); break;
        case sim_player_random: act_randomly(); break;
    }
    clear_pass_input(input);
    for (int b = 0; b < 3; ++b) input->buttons[b] = mouse_buttons[b] == 1;
    input->cursor_dx = cursor_offset_for_column(mouse_x);
    input->cursor_dy = cursor_offset_for_row(mouse_y);
    input->spin_column = mouse_x;
}
