#include "app/replay_pace.h"

#include "game/pass_input.h"

namespace {

// 1/4x, 1/2x, 1x, 2x, 4x, 8x, then as fast as it goes (0).
constexpr double speeds[replay_speed_steps] = {0.25, 0.5, 1.0, 2.0, 4.0, 8.0, 0.0};
constexpr int normal_speed = 2;

constexpr int vk_plus = 0xBB;
constexpr int vk_keypad_plus = 0x6B;
constexpr int vk_minus = 0xBD;
constexpr int vk_keypad_minus = 0x6D;

}  // namespace

ReplayPace start_pace(double now_ms) {
    ReplayPace pace = {normal_speed, false, 0.0, now_ms};
    return pace;
}

double pace_speed(const ReplayPace& pace) { return speeds[pace.speed]; }

// Played time counted at the old step (or before a pause) would make the
// next frames rush to catch up, or wait for a pace they already kept.
bool pace_key(ReplayPace* pace, int vk, double now_ms) {
    if (vk == vk_space)
        pace->paused = !pace->paused;
    else if ((vk == vk_plus || vk == vk_keypad_plus) && pace->speed < replay_speed_steps - 1)
        ++pace->speed;
    else if ((vk == vk_minus || vk == vk_keypad_minus) && pace->speed > 0)
        --pace->speed;
    else
        return false;
    restart_pace(pace, now_ms);
    return true;
}

void restart_pace(ReplayPace* pace, double now_ms) {
    pace->played_ms = 0.0;
    pace->base_ms = now_ms;
}

void pace_played(ReplayPace* pace, double recorded_ms) { pace->played_ms += recorded_ms; }

double pace_wait_ms(const ReplayPace& pace, double now_ms) {
    const double speed = pace_speed(pace);
    if (speed == 0.0) return 0.0;
    return pace.played_ms / speed - (now_ms - pace.base_ms);
}

bool pace_faster_than_shown(const ReplayPace& pace) { return pace_speed(pace) > 1.0 || pace_speed(pace) == 0.0; }
