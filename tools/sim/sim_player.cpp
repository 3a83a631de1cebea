#include "tools/sim/sim_player.h"

#include "world/game_state.h"
#include "world/new_game.h"
#include "world/unit_kinds.h"
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
        case sim_player_idle:
        case sim_player_busy: release_buttons(); break;
        case sim_player_attack: attack_other_leader(); break;
        case sim_player_random: act_randomly(); break;
    }
    clear_pass_input(input);
    for (int b = 0; b < 3; ++b) input->buttons[b] = mouse_buttons[b] == 1;
    input->cursor_dx = cursor_offset_for_column(mouse_x);
    input->cursor_dy = cursor_offset_for_row(mouse_y);
    input->spin_column = mouse_x;
}

namespace {

// Each busy choice holds for a phase of this many frames: long enough to
// recruit by holding the button, to select and then to order.
constexpr int busy_phase = 24;

uint64_t mixed(uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

int busy_side;

bool neutral_creature(const Unit& u) { return u.active && u.owner == owner_neutral && !u.dead && u.kind != kind_mine; }
bool own_unit(const Unit& u) { return u.active && u.owner == busy_side && !u.dead && u.kind != kind_mine; }
bool enemy_unit(const Unit& u) { return u.active && u.owner == 1 - busy_side && !u.dead; }
bool a_mine(const Unit& u) { return u.active && u.kind == kind_mine; }

// The pick-th unit (modulo their number) that meets the test; -1 when none does.
template <typename Test>
int unit_by_hash(Test test, uint64_t pick) {
    int count = 0;
    for (int i = 0; i < max_units; ++i) count += test(unit_table[i]) ? 1 : 0;
    if (count == 0) return -1;
    int k = static_cast<int>(pick % static_cast<uint64_t>(count));
    for (int i = 0; i < max_units; ++i)
        if (test(unit_table[i]) && k-- == 0) return i;
    return -1;
}

void point_at(SideCommand* command, int unit) {
    command->has_cursor = 1;
    command->cursor_x = unit_table[unit].tile_x;
    command->cursor_y = unit_table[unit].tile_y;
}

}  // namespace

SideCommand sim_busy_command(uint32_t seed, int side, int deal_at) {
    busy_side = side;
    SideCommand command = no_command();
    const int phase = frame_counter / busy_phase, step = frame_counter % busy_phase;
    const uint64_t choice = mixed(seed * 0x9E3779B97F4A7C15ull + static_cast<uint64_t>(phase) * 2 + side);
    if (side == 0 && deal_at > 0 && frame_counter == deal_at && last_deal_seed() == seed) {
        command.deals = 1;
        command.deal_seed = seed + 1;
    }
    if (choice % 7 == 0) command.pace = static_cast<uint8_t>(1 + (choice >> 8) % 4);
    const int action = static_cast<int>((choice >> 16) % 100);
    const int own = unit_by_hash(own_unit, choice >> 24);
    if (action < 40) {
        const int creature = unit_by_hash(neutral_creature, choice >> 24);
        if (creature < 0) return command;
        point_at(&command, creature);
        command.left = step < 12;
        return command;
    }
    if (action >= 90 || own < 0) return command;
    // First the unit is selected, then it is given its order.
    if (step < 3) {
        point_at(&command, own);
        command.left = 1;
        return command;
    }
    if (step >= 6) return command;
    const int target = action < 65 ? unit_by_hash(enemy_unit, choice >> 40) : unit_by_hash(a_mine, choice >> 40);
    if (action < 80 && target >= 0) {
        point_at(&command, target);
    } else {
        command.has_cursor = 1;
        command.cursor_x = static_cast<int32_t>((choice >> 40) % map_size);
        command.cursor_y = static_cast<int32_t>((choice >> 48) % map_size);
    }
    command.right = 1;
    return command;
}
