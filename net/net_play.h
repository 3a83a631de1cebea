// A two-player game's turns, for a window or a headless peer alike: the
// local command offered when the lockstep wants it, both sides' commands
// taken for each frame, the census digests noted after it, and what has
// become of the other side.
#pragma once

#include <cstdint>
#include <cstdio>

#include "net/link.h"
#include "net/lockstep.h"
#include "net/rejoin.h"

// A window's network game keeps one pace, drawn or minimised: a frame
// every net_frame_ms and the pace keys' pause beyond it, the time the lobby
// sets the input delay by.
constexpr int net_frame_ms = 16;
// Frames a late game makes up for at once (a quarter of a second), so that
// a hitch of the machine does not slow the game; later than that, after a
// long stall, its pace goes on from now.
constexpr int net_catch_up_frames = 15;

// After a return both sides count this long before play goes on: long
// enough to be read, short enough that a player who restarts the game is
// playing within 2 s of starting it.
constexpr int64_t net_resume_countdown_ms = 1000;

struct NetPlay {
    Link link;
    Lockstep lockstep;
    RejoinSeat seat;  // kept for the other player should it drop
    int returns_seen;  // the seat's returns whose countdown began
    int64_t resume_ms;  // while counting down, when our side lets the game go on; else -1
    uint32_t frames_run;
    int64_t stalled_since_ms;  // -1 while the next frame's commands are here
    int64_t next_frame_ms;     // the next frame's moment at the game's pace
};

// The clock the network game keeps time by: milliseconds, never going back.
int64_t net_now_ms();
// A number no other program picks alike: a guest's nonce, a host's token.
uint64_t net_random();

// A new game, or (first_frame) a game taken up again at that frame after a drop.
void net_play_start(NetPlay* play, const NetGame& game, int64_t now_ms, uint32_t first_frame = 0);
// A game taken up again goes on after the countdown (the side that stayed
// begins its own when the seat takes the other back).
void net_play_count_down(NetPlay* play, int64_t now_ms);
// Everything the other side sent, and what is due to it; a countdown begun
// when the seat took its player back, our side's released when it is over.
void net_play_exchange(NetPlay* play, int64_t now_ms);
// True when the local command for frame frames_run + delay is wanted now
// (never during a countdown).
bool net_play_wants_command(const NetPlay& play);
void net_play_offer(NetPlay* play, const SideCommand& command, int64_t now_ms);
// The next frame's commands when both sides' are here; false (and the wait
// counted) when they are not.
bool net_play_take(NetPlay* play, FrameCommands* commands, int64_t now_ms);
// After the frame ran: its census digest, when it had one, goes to the other side.
void net_play_frame_ran(NetPlay* play, int64_t now_ms);
// Whether the next frame's moment has come (the first's is the start).
bool net_play_frame_due(const NetPlay& play, int64_t now_ms);
// After a frame ran: the next one's moment, net_frame_ms + pause_ms (the
// pace keys' pause) after this one's, so that a hitch is made up for, or
// after now when this frame ran more than net_catch_up_frames late.
void net_play_pace(NetPlay* play, int pause_ms, int64_t now_ms);
// How long until something is due: the next frame's moment when its
// commands are here, or the link's next packet; at most most_ms.
int net_play_quiet_ms(const NetPlay& play, int64_t now_ms, int most_ms);
// Asleep on the socket until a datagram comes or net_play_quiet_ms passes.
void net_play_wait(const NetPlay& play, int64_t now_ms, int most_ms);
// After the other side left: whether frames it gave its commands for are
// still to run here. A side that leaves runs every frame it gave its
// command for first (net_play_own_frames_left), so both games end on the
// same frame.
bool net_play_frames_left_after_peer(const NetPlay& play);
bool net_play_own_frames_left(const NetPlay& play);
// Running, waiting, the other side silent or gone, or the games parted.
LockstepStatus net_play_status(const NetPlay& play, int64_t now_ms);
// Seconds the next frame has waited, to the nearest (the wait is told
// from half a second on, as 1 s), 0 when it does not wait.
int net_play_waited_seconds(const NetPlay& play, int64_t now_ms);
// Whole seconds left of the countdown after a return, 0 when none runs.
int net_play_countdown_seconds(const NetPlay& play, int64_t now_ms);
// What a stalled game says on screen (empty before half a second): how
// long it has waited, once the other side dropped the countdown of the
// wait for it to come back, and after a return the countdown to play.
void net_play_waiting_line(const NetPlay& play, int64_t now_ms, char* text, int size);
// Says we leave and closes the socket.
void net_play_leave(NetPlay* play);
// One line (no newline) saying how the game ended, for a status other than
// running or waiting; names the frame where the games parted.
void net_play_end_line(const NetPlay& play, LockstepStatus status, char* text, int size);
// When a census showed where the games parted: the fields and the groups
// of slots whose fingerprint digits differ between the two sides and the
// game's values here to out, each unit of those groups to units (none when null).
void net_play_print_parting(const NetPlay& play, std::FILE* out, std::FILE* units);
