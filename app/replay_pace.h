// The replay viewer's pace: the speed steps that + and - move through, the
// pause, and when the next recorded frame is due on the viewer's own clock.
#pragma once

struct ReplayPace {
    int speed;         // the step: 0 for 1/4x up to replay_speed_steps - 1, as fast as it goes
    bool paused;
    double played_ms;  // recorded time played since base_ms
    double base_ms;    // the viewer's clock when the pace last started over
};

constexpr int replay_speed_steps = 7;

// At 1x and playing, the pace starting over at now_ms.
ReplayPace start_pace(double now_ms);
// Times real time at the pace's step: 0.25 to 8, or 0 for as fast as it goes.
double pace_speed(const ReplayPace& pace);
// Space pauses and goes on; + and - (also on the keypad) step the speed and
// stay at either end. Each starts the pace over at now_ms. False for any
// other key.
bool pace_key(ReplayPace* pace, int vk, double now_ms);
// The recorded time is counted from now on: after a key, and when the
// window comes back from being minimised.
void restart_pace(ReplayPace* pace, double now_ms);
// A turn of the replay played, which lasted recorded_ms in the recorded game.
void pace_played(ReplayPace* pace, double recorded_ms);
// Milliseconds until the next turn is due at now_ms: 0 or less plays it now.
double pace_wait_ms(const ReplayPace& pace, double now_ms);
// Above 1x the screen cannot show every frame.
bool pace_faster_than_shown(const ReplayPace& pace);
