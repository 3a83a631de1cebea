// The headless backend's controls: what a test or the simulator scripts in
// (keys, cursor, events, clock) and what it reads back (sleeps, sounds, boxes).
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

// Back to a clean machine: no keys down, no events, clock at 0, records cleared.
// Leaves an open offscreen context alone.
void headless_reset();

// Keyboard as read by platform_key_down.
void headless_set_key(int vk, bool down);
// Queues an event for platform_poll_event (at most 4096 wait at once).
void headless_push_event(const PlatformEvent& event);
int headless_pending_events();

// Calendar clock as read by platform_calendar_seconds.
void headless_set_calendar_seconds(int64_t seconds);

// Sleeps are recorded, never slept.
int64_t headless_total_sleep_ms();
int headless_last_sleep_ms();

// Sounds started.
std::string headless_last_sound();

// Message boxes shown, oldest first.
int headless_message_count();
PlatformMessageKind headless_message_kind(int index);
std::string headless_message_caption(int index);
std::string headless_message_text(int index);

// Window bookkeeping.
bool headless_window_open();
int headless_swap_count();

// Makes a platform step fail from now until headless_reset, for the error
// paths; several may fail at once. Start-up: "display", "class", "window",
// "device context", "choose pixel format", "set pixel format", "context",
// "current". Teardown (the step is still done, only reported as failed):
// "release current", "delete context", "release device context",
// "destroy window", "unregister class". False for a name it does not know.
bool headless_fail_step(const char* step);
