// The game's datagrams once the lobby has started it: the lockstep packet
// out, the other side's packets into the lockstep, and strangers turned away.
#pragma once

#include <cstdint>

#include "net/lobby.h"
#include "net/lockstep.h"

// With no new command to carry, a packet still goes this often: it repeats
// what may have been lost and keeps the acknowledgements moving.
constexpr int64_t link_resend_interval_ms = 50;
// Packets sent at once when leaving, so that one of them arrives.
constexpr int link_leaving_packets = 3;
// The bytes each datagram costs on the wire beyond its own: IPv4 and UDP headers.
constexpr int link_header_bytes = 28;

struct RejoinSeat;

struct Link {
    NetGame game;
    int64_t last_sent_ms;
    uint32_t commands_sent;  // local commands known at the last send
    int datagrams_sent;
    int datagrams_received;
    int64_t wire_bytes_sent;  // with link_header_bytes each
    int64_t wire_bytes_received;
    int faults[packet_fault_count];  // datagrams dropped, by what was wrong
};

void link_start(Link* link, const NetGame& game, int64_t now_ms);
// Takes every waiting datagram (at most lobby_most_datagrams): the other
// side's lockstep packets go to the lockstep, a stranger's hello is told by
// the host that the game is full (a guest has nothing to tell it), and
// anything else is dropped and counted.
// A knock, an acknowledgement or a ready of a player coming back goes to
// the seat kept for it, when there is one.
void link_receive(Link* link, Lockstep* lockstep, int64_t now_ms, RejoinSeat* seat = nullptr);
// A packet is due when a new local command waits to go, or when
// link_resend_interval_ms has passed since the last; link_send sends it then.
bool link_send_due(const Link& link, const Lockstep& lockstep, int64_t now_ms);
void link_send(Link* link, const Lockstep& lockstep, int64_t now_ms);
// The datagram link_send would send now, and its size.
int link_datagram(const Link& link, const Lockstep& lockstep, uint8_t* bytes, int capacity);
// Says we leave (link_leaving_packets times) and closes the socket.
void link_leave(Link* link, Lockstep* lockstep);
