// The simulator as one side of a two-player game: the same lobby, lockstep
// and datagrams as the window's, its side played from seeded random choices.
#pragma once

#include <cstdint>

#include "tools/sim/sim_player.h"

// The most --chat-at messages one run says.
constexpr int sim_most_chats = 16;

struct SimNetOptions {
    bool hosting;
    int port;                  // the host's port
    const char* join_address;  // HOST[:PORT] for a guest
    uint32_t seed;             // the host deals from it
    long long frames;          // then the game ends
    SimPlayerStyle player;
    const char* record_path;   // null: none
    int frames_per_second;     // 0: as fast as the other side allows
    bool deal_other_seed;      // a guest that deals from the seed after the host's: games that part
    int rejoin_wait_s;         // how long a dropped side is waited for; 0: the game's own time
    const char* version;       // another version's text to say hello and announce with; null: ours
    int discovery_port;        // where hosts hear probes; 0: the game's own
    bool finding;              // --find: list the games on the LAN instead
    const char* find_address;  // ...asking only there; null: every link
    int find_seconds;          // ...for this long; 0: 3 seconds
    int find_until;            // ...or until this many games are listed; 0: no such end
    bool no_port_mapping;      // a host asks no router for its port
    int chat_count;            // --chat-at FRAME:TEXT: said once the local frame_run reaches FRAME
    long long chat_frames[sim_most_chats];
    const char* chat_texts[sim_most_chats];
    bool chat_flood;  // a hostile peer: a message every frame past the bound, and packets as fast as it can
    long long save_at;         // the frame of this run this side asks both to save at; -1 none...
    const char* save_path;     // ...into this file (the other side saves under a dated name)
    const char* load_path;     // a host's saved game to go on from; null: dealt from the seed
};

// Returns the exit code: 0 when every frame asked for was played with both
// games alike, 1 when the lobby failed, the games parted or the other side
// fell silent or left first.
int play_network_peer(const SimNetOptions& options);
// Lists the games on the LAN: one line per game on stdout at the end, and
// on stderr each game as it is listed and gone, with the time since the
// start. Returns 0, or 1 when no socket opens.
int find_network_games(const SimNetOptions& options);
