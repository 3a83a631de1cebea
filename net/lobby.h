// The lobby of a two-player game: the host waits for one guest, both check
// that they play the same version, the host measures the round trip, picks
// the input delay and starts the game. The caller brings the time.
#pragma once

#include <cstdint>

#include "net/discovery.h"
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
// The host measures this many callers at once; none holds the seat until it
// has answered every ping, and one that has not done so this long after its
// hello is forgotten, so a caller that never answers keeps nobody out.
constexpr int lobby_callers = 4;
constexpr int64_t lobby_handshake_limit_ms = 3000;
// What the host says of callers it refused or lost: the last few are kept.
constexpr int lobby_notes_kept = 3;
// Datagrams taken per update, so that a flood cannot hold the caller.
constexpr int lobby_most_datagrams = 64;
constexpr int lobby_message_capacity = 320;

enum LobbyState {
    lobby_waiting,    // host: no guest has the seat yet; callers are pinged
    lobby_joining,    // guest: saying hello, nothing heard yet
    lobby_measuring,  // guest: welcomed, answering pings, waiting for the start
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
    DatagramAddress local;  // ours, as the peer called it: what we send from
    uint32_t token;
    uint32_t seed;
    int delay;
    int local_side;
    bool hosting;
    int round_trip_ms;  // the host's median of its pings; the guest's hello to its welcome
    uint64_t secret;    // the guest's nonce: what lets the same player back after a drop
    char version[packet_version_capacity];  // ours and our rules, to refuse another on return
    uint64_t rules;
    bool loaded;  // the host goes on from a saved game: the guest takes its snapshot as a returner does
};

// A guest the host is measuring: its seat comes with the last pong.
struct LobbyCaller {
    bool present;
    DatagramAddress address;
    DatagramAddress called;  // the address of ours it called: we answer from it
    uint64_t nonce;
    int64_t hello_ms;  // its first hello: the handshake's time runs from there
    int64_t last_ping_ms;
    int round_trips[lobby_pings];
    int round_trip_count;
};

struct Lobby {
    bool hosting;
    LobbyState state;
    int socket;
    char version[packet_version_capacity];
    uint64_t rules;
    uint64_t nonce;  // the guest's, on both sides
    DatagramAddress peer;  // the host once it welcomed us; the chosen guest
    DatagramAddress local;   // the address of ours the chosen guest called
    DatagramAddress called;  // the address of ours the datagram in hand called
    LobbyCaller callers[lobby_callers];  // host, waiting: who answers the pings
    uint32_t token;
    uint32_t seed;
    int guest_side;
    bool loaded;  // set by the host before the start: see NetGame
    int frame_ms;
    int64_t began_ms;
    int64_t give_up_ms;
    int64_t last_sent_ms;
    int64_t last_heard_ms;
    char message[lobby_message_capacity];  // why it failed
    // The host's notes, oldest first, of those it refused or lost; notes_made
    // counts every note ever made, so a caller sees which are new.
    char notes[lobby_notes_kept][lobby_message_capacity];
    int notes_made;
    int datagrams_dropped;
    // The host's answers to those who look for games on the LAN, while it waits.
    DiscoveryHost discovery;
    NetGame game;
};

// The input delay for a measured round trip at frame_ms a frame:
// ceil(round_trip / frame) + 2, within 2 to 20 frames. A command makes its
// trip in half the round trip; the other half and the two frames absorb a
// late or lost packet (each packet repeats what was lost) and the frame a
// command waits for its packet. A LAN gives 3, 100 ms at 60 frames a second 8.
int lobby_input_delay(int round_trip_ms, int frame_ms);

// Opens the host's socket on port (0: any free one) for every interface,
// IPv6 and IPv4 alike (IPv4 alone where the system has no IPv6), and waits
// for a guest. The host chooses the seed and which side the guest plays.
// False, with the reason in message, when the port cannot be opened.
bool lobby_host(Lobby* lobby, const LobbyIdentity& identity, int port, uint32_t seed, int guest_side, int frame_ms,
                int64_t now_ms);
// The waiting host is listed on the LAN: it answers probes on the discovery
// port (0: net_discovery_port) while it waits for a player, and says its
// game closed once it starts or the lobby closes. False when the port
// cannot be opened (nobody finds the game; a guest may still name it).
bool lobby_announce(Lobby* lobby, uint64_t host_id, int discovery_port);
// Opens a socket and says hello to the host until it answers or give_up_ms
// passes without a word. The welcome carrying our nonce may come from
// another address of the host (a machine answers from the address its
// routes choose); the guest follows it there.
bool lobby_join(Lobby* lobby, const LobbyIdentity& identity, const DatagramAddress& host, int64_t give_up_ms,
                int64_t now_ms);
// Takes what waits on the socket and sends what is due. Call it often until
// the state is lobby_started or lobby_failed; once started, the game's
// datagrams belong to net/link.
void lobby_update(Lobby* lobby, int64_t now_ms);
// The host's note `index` (notes_made - lobby_notes_kept <= index < notes_made), or "".
const char* lobby_note(const Lobby& lobby, int index);
// Leaves the lobby (closes the socket unless the game has it).
void lobby_close(Lobby* lobby);
