// Coming back after a drop: the side that stayed keeps the seat (RejoinSeat)
// and sends the snapshot of the frame it waits at; the side that comes back
// (RejoinReturn) knocks with the secret, takes the snapshot and goes on.
#pragma once

#include <cstdint>

#include "net/link.h"
#include "state/snapshot.h"

constexpr int rejoin_most_chunks = (snapshot_bytes + packet_chunk_most_bytes - 1) / packet_chunk_most_bytes;
// A knock or a ready goes this often until it is answered; a chunk not
// acknowledged is sent again after a round trip of the Internet's long ones.
constexpr int64_t rejoin_resend_ms = 100;
constexpr int64_t rejoin_chunk_resend_ms = 300;
// Chunks sent in one exchange at most, so that a burst does not overrun the
// receiver's socket.
constexpr int rejoin_burst_chunks = 8;
// A returning player who hears nothing back for this long gives up.
constexpr int64_t rejoin_give_up_ms = 10000;
// Snapshots whose digest does not match are asked for again, this many at
// most: damage on the way is passing, a side that sends no other is not.
constexpr int rejoin_most_snapshots_refused = 3;

struct RejoinSeat {
    uint64_t secret;
    bool sending;
    DatagramAddress peer;    // the returning player...
    DatagramAddress called;  // ...and the address of ours it called
    uint32_t frame;
    uint8_t snapshot[snapshot_bytes];
    bool acked[rejoin_most_chunks];
    int64_t sent_ms[rejoin_most_chunks];
    int refused;  // knocks with a wrong secret or version, readies that do not match
    int returns;  // players taken back
    int datagrams_sent;  // the snapshot's chunks, resends included
    int64_t wire_bytes_sent;
};

enum RejoinState { rejoin_knocking, rejoin_taking, rejoin_back, rejoin_failed };

struct RejoinReturn {
    RejoinState state;
    NetGame game;  // the seat taken back: its token, secret, side and (once known) delay
    char version[packet_version_capacity];
    uint64_t rules;
    uint8_t snapshot[snapshot_bytes];
    bool got[rejoin_most_chunks];
    int got_count;
    uint32_t frame;
    int64_t began_ms;
    int64_t last_sent_ms;
    int64_t last_heard_ms;
    int datagrams_sent;
    int64_t wire_bytes_sent;
    int64_t wire_bytes_received;
    // Datagrams not read or not the other side's, chunks that do not fit,
    // and snapshots refused whole (counted in both).
    int refused;
    int snapshots_refused;
    char message[snapshot_error_capacity + 64];
};

// The session's token once the game goes on after a return: lockstep
// packets of the game before the drop, still on their way, are then
// another session's and never taken for the new one's.
uint32_t rejoin_token(uint32_t token, uint32_t frame);

void rejoin_seat_start(RejoinSeat* seat, uint64_t secret);
// A rejoin datagram the link took (a knock, an acknowledgement, a ready):
// true when the returning player is back and the lockstep starts again at
// the waiting frame, the link now talking to it.
bool rejoin_seat_take(RejoinSeat* seat, Link* link, Lockstep* lockstep, const Packet& packet,
                      const DatagramAddress& from, const DatagramAddress& called, int64_t now_ms);
// A game going on from a save: the guest just seated gets the snapshot of
// the game as it stands, as a returning player does, the lockstep held.
void rejoin_seat_offer(RejoinSeat* seat, const Link& link, Lockstep* lockstep);
// The snapshot's chunks that are due.
void rejoin_seat_send(RejoinSeat* seat, Link* link, int64_t now_ms);

// Knocks at game.peer with the game's token and secret, from game.socket
// (a host's own port), or from a socket opened here when it is -1.
bool rejoin_return_start(RejoinReturn* back, const NetGame& game, const char* version, uint64_t rules,
                         int64_t now_ms);
// Takes what came and sends what is due; once the whole snapshot is here it
// is loaded (checked by its digest), and state is rejoin_back with the
// game's state swapped in, back->frame the frame it goes on at.
void rejoin_return_update(RejoinReturn* back, int64_t now_ms);
// After rejoin_back: the ready for the seat, sent until the other side's
// lockstep answers.
void rejoin_return_ready(RejoinReturn* back, int64_t now_ms);
// After rejoin_back: the game to play on, under the session's new token.
NetGame rejoin_return_game(const RejoinReturn& back);

// The seat file a player keeps while its game is on: the session token, the
// secret and the other side's address, one line. The same command run again
// after a crash finds it and knocks instead of starting a new game.
bool keep_seat_file(const char* path, const NetGame& game);
// Reads a seat file into game (no socket yet): a host knocks at the address
// it kept, a guest at join_address, the host it joined (or, without one, at
// the address it kept: a game chosen from the LAN list).
bool read_seat_file(const char* path, bool hosting, const char* join_address, NetGame* game);
// A host's own port opened again, where its guest still sends: dual-stack,
// else IPv4 alone; -1 when neither opens.
int open_host_port(int port);
