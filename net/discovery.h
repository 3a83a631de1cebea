// The games on the LAN: a host answers the probes of those who look while it
// waits for a player; a finder probes its links and keeps the list it hears.
#pragma once

#include <cstdint>

#include "net/packet.h"
#include "platform/datagram.h"

// The UDP port hosts listen for probes on, beside the game's own 41970.
constexpr int net_discovery_port = 41971;
// A finder probes this often, and forgets a host not heard for this long.
constexpr int64_t discovery_probe_interval_ms = 1000;
constexpr int64_t discovery_forget_ms = 3500;
// The games listed at most: one number key each.
constexpr int discovery_most_games = 9;
// The probers a host remembers, to tell them its game closed.
constexpr int discovery_most_listeners = 8;
constexpr int64_t discovery_listener_kept_ms = 10000;
// Datagrams taken per update, so that a flood cannot hold the caller.
constexpr int discovery_most_datagrams = 64;
// Where a finder probes at most: each link's broadcast and group, and this machine.
constexpr int discovery_most_targets = 16;
// A round trip beyond this is no measure but a stranger's echo.
constexpr int64_t discovery_most_round_trip_ms = 10000;

struct DiscoveryHost {
    int socket;  // -1 when no probe can be heard
    bool open;   // answering probes: the host waits for a player
    AnnouncePacket announce;
    DatagramAddress listeners[discovery_most_listeners];
    int64_t listener_ms[discovery_most_listeners];
    // What the host sent and dropped, for the notes and the figures.
    int announcements_sent;
    int64_t bytes_sent;
    int datagrams_dropped;
};

// Listens for probes on the discovery port (0: net_discovery_port), shared
// with other hosts of this machine, and answers them with this game: its
// version and rules, its port, a random id and the machine's name. False,
// and no listing, when the port cannot be opened; the game goes on.
bool discovery_host_open(DiscoveryHost* host, const char* version, uint64_t rules, uint64_t host_id, int game_port,
                         int discovery_port);
// Answers the probes waiting. open says whether the host still waits for a
// player; when it stops, the probers of late are told the game closed.
void discovery_host_update(DiscoveryHost* host, bool open, int64_t now_ms);
// One datagram heard: a probe is answered while the host is open; anything
// else is counted in datagrams_dropped.
void discovery_host_hear(DiscoveryHost* host, const uint8_t* bytes, int size, const DatagramAddress& from,
                         int64_t now_ms);
// Says the game closed (when it was open) and stops listening.
void discovery_host_close(DiscoveryHost* host, int64_t now_ms);

struct DiscoveredGame {
    DatagramAddress address;  // the game's, its port included
    uint64_t host_id;
    char name[packet_version_capacity];
    char version[packet_version_capacity];
    uint64_t rules;
    uint8_t protocol;
    bool playable;           // same protocol, version and rules as ours
    bool same_version_text;  // ...and when not, whether only the rules or protocol differ
    int round_trip_ms;  // the last probe answered
    int64_t heard_ms;
};

struct DiscoveryFinder {
    int sockets[2];  // IPv4 for the broadcasts, IPv6 for the groups; -1 where none
    DatagramAddress targets[discovery_most_targets];
    int target_count;
    char version[packet_version_capacity];
    uint64_t rules;
    int64_t last_probe_ms;
    // In the order they were first heard, so that a game keeps its number.
    DiscoveredGame games[discovery_most_games];
    int game_count;
    int probes_sent;
    int datagrams_dropped;
};

// Starts looking: at only (a host or a broadcast address, its port the
// discovery port) when given, else at every link's broadcast address and
// all-nodes group and at this machine itself, on the discovery port (0:
// net_discovery_port). False with the reason in datagram_last_error when
// no socket opens.
bool discovery_find_begin(DiscoveryFinder* finder, const char* version, uint64_t rules, const DatagramAddress* only,
                          int discovery_port, int64_t now_ms);
// Probes when due, takes the announcements waiting, forgets the silent and
// the closed.
void discovery_find_update(DiscoveryFinder* finder, int64_t now_ms);
// One datagram heard: an announcement lists, updates or (closed) removes
// its game; anything else is counted in datagrams_dropped.
void discovery_find_hear(DiscoveryFinder* finder, const uint8_t* bytes, int size, const DatagramAddress& from,
                         int64_t now_ms);
// Waits asleep until an announcement comes or timeout_ms passes.
void discovery_find_wait(const DiscoveryFinder& finder, int timeout_ms);
void discovery_find_end(DiscoveryFinder* finder);

// One line for a game: "NAME  ADDRESS  VERSION  12 ms", the version marked
// when it is not ours ("version 0.9 (other version)", or "(other rules)"
// when only the build's rules or protocol differ).
void discovered_game_line(const DiscoveredGame& game, char* text, int size);
