#include "net/net_play.h"

#include <chrono>
#include <cinttypes>
#include <random>
#include <cstdio>
#include <cstring>

#include "game/frame_rules.h"
#include "state/state_digest.h"

namespace {

// Two hex digits a byte, as the packets carry a fingerprint.
void pack_fingerprint(const char* hex, uint8_t* bytes) {
    for (int i = 0; i < packet_fingerprint_bytes; ++i) {
        uint8_t byte = 0;
        for (int half = 0; half < 2; ++half) {
            const char c = hex[i * 2 + half];
            const int digit = c >= 'a' ? c - 'a' + 10 : c - '0';
            byte = static_cast<uint8_t>(byte << 4 | (digit & 15));
        }
        bytes[i] = byte;
    }
}

StateDigest unpacked(uint64_t whole, const uint8_t* bytes) {
    StateDigest digest = {};
    digest.whole = whole;
    for (int i = 0; i < packet_fingerprint_bytes; ++i) {
        digest.fingerprint[i * 2] = "0123456789abcdef"[bytes[i] >> 4];
        digest.fingerprint[i * 2 + 1] = "0123456789abcdef"[bytes[i] & 15];
    }
    return digest;
}

}  // namespace

int64_t net_now_ms() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The system's entropy, mixed with the clock in case a system gives none.
uint64_t net_random() {
    std::random_device device;
    const uint64_t high = device();
    const uint64_t low = device();
    const uint64_t ticks = static_cast<uint64_t>(std::chrono::high_resolution_clock::now().time_since_epoch().count());
    return (high << 32 | low) ^ (ticks * 0x9E3779B97F4A7C15ull);
}

void net_play_start(NetPlay* play, const NetGame& game, int64_t now_ms, uint32_t first_frame) {
    std::memset(play, 0, sizeof *play);
    link_start(&play->link, game, now_ms);
    lockstep_start(&play->lockstep, game.local_side, game.delay, now_ms, first_frame);
    rejoin_seat_start(&play->seat, game.secret);
    play->frames_run = first_frame;
    play->stalled_since_ms = -1;
    play->next_frame_ms = now_ms;
    play->resume_ms = -1;
}

void net_play_exchange(NetPlay* play, int64_t now_ms) {
    link_receive(&play->link, &play->lockstep, now_ms, &play->seat);
    if (play->seat.returns != play->returns_seen) {
        play->returns_seen = play->seat.returns;
        net_play_count_down(play, now_ms);
    }
    if (play->resume_ms >= 0 && now_ms >= play->resume_ms) {
        lockstep_release(&play->lockstep);
        play->resume_ms = -1;
        play->stalled_since_ms = -1;
    }
    rejoin_seat_send(&play->seat, &play->link, now_ms);
    link_send(&play->link, play->lockstep, now_ms);
}

// The lockstep holds the frame it goes on at; our side lets it go when the countdown is over.
void net_play_count_down(NetPlay* play, int64_t now_ms) {
    lockstep_hold(&play->lockstep);
    play->resume_ms = now_ms + net_resume_countdown_ms;
    play->stalled_since_ms = now_ms;
}

bool net_play_wants_command(const NetPlay& play) {
    return play.resume_ms < 0 && lockstep_wants_command(play.lockstep);
}

void net_play_offer(NetPlay* play, const SideCommand& command, int64_t now_ms) {
    lockstep_submit(&play->lockstep, command);
    link_send(&play->link, play->lockstep, now_ms);
}

bool net_play_take(NetPlay* play, FrameCommands* commands, int64_t now_ms) {
    if (lockstep_take(&play->lockstep, commands)) {
        play->stalled_since_ms = -1;
        return true;
    }
    if (play->stalled_since_ms < 0) play->stalled_since_ms = now_ms;
    return false;
}

void net_play_frame_ran(NetPlay* play, int64_t now_ms) {
    ++play->frames_run;
    if (census_frame()) {
        const StateDigest digest = digest_game_state();
        uint8_t fingerprint[packet_fingerprint_bytes];
        pack_fingerprint(digest.fingerprint, fingerprint);
        lockstep_note_digest(&play->lockstep, play->frames_run, digest.whole, fingerprint);
    }
    link_send(&play->link, play->lockstep, now_ms);
}

bool net_play_frame_due(const NetPlay& play, int64_t now_ms) { return now_ms >= play.next_frame_ms; }

void net_play_pace(NetPlay* play, int pause_ms, int64_t now_ms) {
    const int64_t interval = net_frame_ms + pause_ms;
    if (now_ms - play->next_frame_ms > net_catch_up_frames * net_frame_ms) play->next_frame_ms = now_ms;
    play->next_frame_ms += interval;
}

int net_play_quiet_ms(const NetPlay& play, int64_t now_ms, int most_ms) {
    if (link_send_due(play.link, play.lockstep, now_ms) || play.seat.sending) return 0;
    int64_t quiet = play.link.last_sent_ms + link_resend_interval_ms - now_ms;
    if (lockstep_ready(play.lockstep, play.lockstep.next_frame) && play.next_frame_ms - now_ms < quiet)
        quiet = play.next_frame_ms - now_ms;
    if (quiet > most_ms) quiet = most_ms;
    return static_cast<int>(quiet < 0 ? 0 : quiet);
}

void net_play_wait(const NetPlay& play, int64_t now_ms, int most_ms) {
    const int quiet = net_play_quiet_ms(play, now_ms, most_ms);
    if (quiet > 0) datagram_wait(play.link.game.socket, quiet);
}

bool net_play_frames_left_after_peer(const NetPlay& play) {
    const Lockstep& lockstep = play.lockstep;
    return lockstep.next_frame < lockstep.known[1 - lockstep.local_side] &&
           lockstep_ready(lockstep, lockstep.next_frame);
}

bool net_play_own_frames_left(const NetPlay& play) {
    return play.lockstep.next_frame < play.lockstep.known[play.lockstep.local_side];
}

LockstepStatus net_play_status(const NetPlay& play, int64_t now_ms) {
    return lockstep_status(play.lockstep, now_ms);
}

int net_play_waited_seconds(const NetPlay& play, int64_t now_ms) {
    return play.stalled_since_ms < 0 ? 0 : static_cast<int>((now_ms - play.stalled_since_ms + 500) / 1000);
}

int net_play_countdown_seconds(const NetPlay& play, int64_t now_ms) {
    return play.resume_ms < 0 || now_ms >= play.resume_ms ? 0 : static_cast<int>((play.resume_ms - now_ms + 999) / 1000);
}

void net_play_waiting_line(const NetPlay& play, int64_t now_ms, char* text, int size) {
    const size_t room = static_cast<size_t>(size);
    text[0] = '\0';
    if (play.resume_ms >= 0) {
        std::snprintf(text, room, "Both players are here: the game goes on in %d s.",
                      net_play_countdown_seconds(play, now_ms));
        return;
    }
    if (play.stalled_since_ms < 0 || now_ms - play.stalled_since_ms < lockstep_wait_notice_ms) return;
    if (net_play_status(play, now_ms) != lockstep_dropped) {
        std::snprintf(text, room, "Waiting for the other player (%d s)", net_play_waited_seconds(play, now_ms));
        return;
    }
    // Whole seconds left, rounded up: the countdown reaches 0:00 as the wait ends.
    const int64_t left_ms = play.lockstep.give_up_ms - lockstep_silence_ms(play.lockstep, now_ms);
    const int left = static_cast<int>((left_ms + 999) / 1000);
    std::snprintf(text, room,
                  "The other player dropped: waiting for them to come back (%d:%02d). Escape ends the game.",
                  left / 60, left % 60);
}

void net_play_leave(NetPlay* play) {
    if (play->link.game.socket >= 0) link_leave(&play->link, &play->lockstep);
}

void net_play_end_line(const NetPlay& play, LockstepStatus status, char* text, int size) {
    const size_t room = static_cast<size_t>(size);
    switch (status) {
    case lockstep_peer_left: std::snprintf(text, room, "the other player left"); break;
    case lockstep_peer_silent:
        std::snprintf(text, room, "the other player is gone: nothing heard for %" PRId64 " s",
                      play.lockstep.give_up_ms / 1000);
        break;
    case lockstep_dropped: std::snprintf(text, room, "the game ended while the other player was away"); break;
    case lockstep_desynced: {
        const char* why = "";
        switch (play.lockstep.parting_cause) {
        case parted_refusals: why = ": the other side sends what this game refuses"; break;
        case parted_told: why = ", the other side says"; break;
        case parted_overrun: why = ": the other side left there, this game ran on"; break;
        default: break;
        }
        std::snprintf(text, room, "the games parted at frame %" PRIu32 "%s", play.lockstep.desync_frame, why);
        break;
    }
    default: std::snprintf(text, room, "the game goes on"); break;
    }
}

void net_play_print_parting(const NetPlay& play, std::FILE* out, std::FILE* units) {
    const Lockstep& lockstep = play.lockstep;
    if (lockstep.parting_cause != parted_digests) return;
    const StateDigest here = unpacked(lockstep.desync_local, lockstep.desync_local_fingerprint);
    const StateDigest there = unpacked(lockstep.desync_peer, lockstep.desync_peer_fingerprint);
    std::fprintf(out, "digest here %016" PRIx64 ", the other side's %016" PRIx64 "\n", here.whole, there.whole);
    print_digest_difference(there, here, DigestForm::shared, nullptr, "here now", out, units);
}
