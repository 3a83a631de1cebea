// The simulator as one side of a two-player game: the same lobby, lockstep
// and datagrams as the window's, its side played from seeded random choices.
#pragma once

#include <cstdint>

#include "tools/sim/sim_player.h"

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
    long long save_at;         // the frame of this run this side asks both to save at; -1 none...
    const char* save_path;     // ...into this file (the other side saves under a dated name)
    const char* load_path;     // a host's saved game to go on from; null: dealt from the seed
};

// Returns the exit code: 0 when every frame asked for was played with both
// games alike, 1 when the lobby failed, the games parted or the other side
// fell silent or left first.
int play_network_peer(const SimNetOptions& options);
