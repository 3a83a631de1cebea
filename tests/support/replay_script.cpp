// What the replay tests and the replay fuzz target share.
#include "tests/support/replay_script.h"

#include <cstring>

#include "app/input_state.h"
#include "platform/headless/headless_platform.h"
#include "world/game_state.h"
#include "world/new_game.h"

uint64_t Dice::next() {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

int Dice::below(int n) { return static_cast<int>(next() % static_cast<uint64_t>(n)); }

void start_as_the_program_does() {
    headless_reset();
    std::memset(keys, 0, sizeof keys);
    std::memset(mouse_buttons, 0, sizeof mouse_buttons);
    mouse_x = mouse_y = 0;
    window_active = 1;
    reset_shared_state();
    local_view = start_view(0);
}

bool play_replay_file(const char* path, ReplayPlayer* player, ReplayStep* step, ReplayPassFunction pass,
                      uint64_t most) {
    if (!replay_open(player, path)) return false;
    new_game_from_seed(player->header.first_seed);
    *step = replay_check_first_deal(player) ? replay_step_played : replay_step_differs;
    while (*step == replay_step_played && player->passes < most) *step = replay_play_pass(player, pass);
    replay_close(player);
    return true;
}
