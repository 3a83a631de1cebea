// The lockstep of a two-player game: which frame may run, both sides'
// commands for it, the census check, and what each side tells the other.
// No sockets and no clock: the caller brings packets and the time.
#pragma once

#include <cstdint>

#include "game/side_command.h"
#include "net/packet.h"

// Frames of commands kept per side. The sides never part by more than three
// input delays (20 frames at most each), so this leaves ample room behind.
constexpr int lockstep_ring_frames = 256;
// How far beyond the frame about to run a packet may name a frame.
constexpr uint32_t lockstep_most_ahead = 128;
// Census digests kept on each side until they are acknowledged and compared.
constexpr int lockstep_digest_slots = 8;
// After this long without a packet from the other side the game says it is
// waiting, after this long the other side has dropped (a crash, a closed
// lid, a lost link) and the game waits for it to come back, and by default
// it gives up after lockstep_rejoin_wait_ms.
constexpr int64_t lockstep_wait_notice_ms = 500;
constexpr int64_t lockstep_dropped_ms = 10000;
constexpr int64_t lockstep_rejoin_wait_ms = 300000;
// Saves asked for and not yet made, at most.
constexpr int lockstep_most_saves = 4;
// A side that refuses everything the other sends for this long has a game
// the other's packets no longer fit: the games have parted. Honest packets
// come every 50 ms at the latest, so forgeries mixed among them never last this long.
constexpr int64_t lockstep_refusal_limit_ms = 2000;

// Chat: a side says at most chat_most_per_window messages in any
// chat_window_frames frames (two seconds at the network pace), one a frame
// at most. Both sides judge each message by its frame alone, so a message
// one side keeps the other keeps too, and a side that floods gets nothing
// more through.
constexpr int chat_most_per_window = packet_most_chats;
constexpr uint32_t chat_window_frames = 120;
// Messages kept: the rate above never fills these.
constexpr int lockstep_chat_slots = 16;

struct ChatMessage {
    uint32_t frame;  // shown, on both screens and in both replays, once this frame ran
    int side;
    char text[packet_chat_capacity + 1];
};

enum LockstepStatus {
    lockstep_running,
    lockstep_waiting,      // silent for lockstep_wait_notice_ms or more
    lockstep_dropped,      // silent for lockstep_dropped_ms or more: waiting for it to come back
    lockstep_peer_silent,  // silent for give_up_ms or more: the game ends
    lockstep_peer_left,    // the other side said it leaves
    lockstep_desynced,     // the games parted (see PartingCause): the game ends
};

enum PartingCause {
    parted_digests = 1,  // a census digest differed
    parted_refusals,     // the other side's packets kept being refused
    parted_told,         // the other side left saying the games parted
    parted_overrun,      // the other side left at a frame this side had run past
};

struct DigestRecord {
    uint32_t frame;
    uint64_t whole;
    uint8_t fingerprint[packet_fingerprint_bytes];
    bool settled;  // local: acknowledged; remote: unused
    bool compared;
};

struct Lockstep {
    int local_side;
    int delay;                   // frames between making a command and running it
    uint32_t next_frame;         // the frame the game runs next
    uint32_t known[side_count];  // every command of that side below this frame is here
    uint32_t peer_holds;         // the other side holds our commands below this frame
    SideCommand commands[side_count][lockstep_ring_frames];  // by frame modulo the ring

    DigestRecord local_digests[lockstep_digest_slots];   // rising frames
    int local_digest_count;
    DigestRecord remote_digests[lockstep_digest_slots];  // received, not yet compared
    int remote_digest_count;
    uint32_t digests_made;       // every local digest is of a frame below this
    uint32_t digests_held;       // we hold the other side's digests below this frame
    uint32_t peer_digests_held;  // it holds ours below this frame

    bool desynced;
    PartingCause parting_cause;
    uint32_t desync_frame;  // the first census that differed (or where the games parted)...
    uint64_t desync_local;  // ...with our digest
    uint64_t desync_peer;   // and theirs, with both fingerprints
    uint8_t desync_local_fingerprint[packet_fingerprint_bytes];
    uint8_t desync_peer_fingerprint[packet_fingerprint_bytes];

    uint32_t save_asked;       // our newest save's frame, 0 for none...
    uint32_t peer_save_asked;  // ...and the other side's
    uint32_t saves_due[lockstep_most_saves];  // frames both sides save at, as each is about to run
    int save_count;

    int64_t last_heard_ms;
    int64_t give_up_ms;  // silence that ends the game: lockstep_rejoin_wait_ms unless set
    bool leaving;
    bool peer_leaving;
    uint32_t peer_last_frame;    // the last frame the leaving side runs is the one before this
    int64_t refusing_since_ms;   // the first refusal since a packet was taken, or -1
    int packets_taken;
    int packets_refused;  // out of window, wrong side, or claims nothing sent could justify
    int digests_lost;     // pushed out of a full table before they were compared

    ChatMessage chat_unheld[lockstep_chat_slots];  // ours, until the other side holds their frame's command
    int chat_unheld_count;
    ChatMessage chat_due[lockstep_chat_slots];  // both sides', until their frame ran
    int chat_due_count;
    uint32_t chat_said[side_count][chat_most_per_window];  // each side's last messages' frames, oldest first
    int chat_said_count[side_count];
    int chats_refused;  // the other side's, past the bound
};

// A new game: frames below the delay run with empty commands on both sides.
// A game taken up again after a drop starts at first_frame, the frames of
// its first delay empty alike.
void lockstep_start(Lockstep* lockstep, int local_side, int delay, int64_t now_ms, uint32_t first_frame = 0);

// A game taken up again after a return: no frame runs until each side has
// sent the empty commands of its first delay (lockstep_release, once its
// countdown is over), so both go on at next_frame when the later is ready.
void lockstep_hold(Lockstep* lockstep);
void lockstep_release(Lockstep* lockstep);

// True while the local command for frame next_frame + delay is still to
// come; lockstep_submit gives it (made canonical). False when it is not wanted.
bool lockstep_wants_command(const Lockstep& lockstep);
bool lockstep_submit(Lockstep* lockstep, const SideCommand& command);

// Both sides' commands for frame are here (and still kept), and the other
// side, if it left, ran that frame too.
bool lockstep_ready(const Lockstep& lockstep, uint32_t frame);
FrameCommands lockstep_commands(const Lockstep& lockstep, uint32_t frame);
// When the next frame is ready: its commands, and the lockstep moves on.
bool lockstep_take(Lockstep* lockstep, FrameCommands* commands);

// A save of both games at one frame: the first frame we have not yet given
// a command for, which the other side cannot have run and learns of with
// that command. False while our last ask is not yet with the other side.
bool lockstep_ask_save(Lockstep* lockstep);
// True (once) when a save is due before next_frame runs.
bool lockstep_save_due(Lockstep* lockstep);

// The census digest of the local game at frame; compared with the other
// side's for the same frame whichever comes second.
// fingerprint (packet_fingerprint_bytes, or null for none) names what moved
// when the games part.
void lockstep_note_digest(Lockstep* lockstep, uint32_t frame, uint64_t whole, const uint8_t* fingerprint = nullptr);

// The packet to send now: every local command the other side has not
// acknowledged (at most packet_most_commands), our acknowledgements, the
// unacknowledged digests, and the leaving flag.
void lockstep_outgoing(const Lockstep& lockstep, LockstepPacket* packet);
// A packet from the other side, already read: false (and counted) when it
// cannot be from an honest peer of this game; old, repeated and reordered
// packets are taken for whatever they still add.
bool lockstep_incoming(Lockstep* lockstep, const LockstepPacket& packet, int64_t now_ms);

// A message of ours, going with the next command we give. False when the
// text is not 1 to packet_chat_capacity printable characters, or the
// bound holds it back (say it again in a moment).
bool lockstep_say(Lockstep* lockstep, const char* text);
// After a frame ran: its messages one by one, side 0's before side 1's.
bool lockstep_next_chat(Lockstep* lockstep, ChatMessage* message);

// From now on every packet says we leave, and that our game ends at
// next_frame: commands given for later frames are taken back.
void lockstep_leave(Lockstep* lockstep);

int64_t lockstep_silence_ms(const Lockstep& lockstep, int64_t now_ms);
LockstepStatus lockstep_status(const Lockstep& lockstep, int64_t now_ms);
