// The lobby of a two-player game: the host waits for one guest, both check
// that they play the same version, the host measures the round trip, picks
// the input delay and starts the game. The caller brings the time.
#pragma once

#include <cstdint>

#include "net/packet.h"
#include "platform/datagram.h"

// The game's UDP port when none is named.
constexpr int net_default_port = 41970;
// Round trips the host measures before it chooses the input delay.
constexpr int lobby_pings = 5;
constexpr int64_t lobby_hello_interval_ms = 250;
constexpr int64_t lobby_ping_interval_ms = 100;
constexpr int64_t lobby_start_interval_ms = 100;
// A guest that has been welcomed, or a host's chosen guest, silent this long is gone.
constexpr int64_t lobby_silence_limit_ms = 10000;
// Datagrams taken per update, so that a flood cannot hold the caller.
constexpr int lobby_most_datagrams = 64;
constexpr int lobby_message_capacity = 320;

enum LobbyState {
    lobby_waiting,    // host: no guest yet
    lobby_joining,    // guest: saying hello, nothing heard yet
    lobby_measuring,  // host: pinging its guest; guest: welcomed, waiting for the start
    lobby_starting,   // host: start sent, waiting for the guest's first lockstep packet
    lobby_started,    // the game is on: see game
    lobby_failed,     // message says why; the socket is closed
};

// Who this program is: its version text, the caller's fingerprint of its
// rules, and a random number (the guest's nonce, the host's session token).
struct LobbyIdentity {
    const char* version;
    uint64_t rules;
    uint64_t random;
};

// What the game needs from the lobby. The socket stays open for the game.
struct NetGame {
    int socket;
    DatagramAddress peer;
    uint32_t token;
    uint32_t seed;
    int delay;
    int local_side;
    int round_trip_ms;  // the host's measure (0 on the guest)
};

struct Lobby {
    bool hosting;
    LobbyState state;
    int socket;
    char version[packet_version_capacity];
    uint64_t rules;
    uint64_t nonce;  // the guest's, on both sides
    DatagramAddress peer;
    uint32_t token;
    uint32_t seed;
    int guest_side;
    int frame_ms;
    int64_t began_ms;
    int64_t give_up_ms;
    int64_t last_sent_ms;
    int64_t last_heard_ms;
    int round_trips[lobby_pings];
    int round_trip_count;
    char message[lobby_message_capacity];  // why it failed, or who was refused
    int datagrams_dropped;
    NetGame game;
};

// The input delay for a measured round trip at frame_ms a frame:
// ceil(round_trip / frame) + 2, within 2 to 20 frames. A command makes its
// trip in half the round trip; the other half and the two frames absorb a
// late or lost packet (each packet repeats what was lost) and the frame a
// command waits for its packet. A LAN gives 3, 100 ms at 60 frames a second 8.
int lobby_input_delay(int round_trip_ms, int frame_ms);

// Opens the host's socket at local (an IPv6 address of any interface falls
// back to IPv4's where the system has no IPv6) and waits for a guest. The
// host chooses the seed and which side the guest plays. False, with the
// reason in message, when the port cannot be opened.
bool lobby_host(Lobby* lobby, const LobbyIdentity& identity, const DatagramAddress& local, uint32_t seed,
                int guest_side, int frame_ms, int64_t now_ms);
// Opens a socket and says hello to the host until it answers or give_up_ms
// passes without a word.
bool lobby_join(Lobby* lobby, const LobbyIdentity& identity, const DatagramAddress& host, int64_t give_up_ms,
                int64_t now_ms);
// Takes what waits on the socket and sends what is due. Call it often until
// the state is lobby_started or lobby_failed; once started, the game's
// datagrams belong to net/link.
void lobby_update(Lobby* lobby, int64_t now_ms);
// Leaves the lobby (closes the socket unless the game has it).
void lobby_close(Lobby* lobby);
