#include "net/link.h"

#include <cstring>

#include "net/rejoin.h"

namespace {

void send_lockstep(Link* link, const Lockstep& lockstep, int64_t now_ms) {
    uint8_t bytes[packet_capacity];
    const int size = link_datagram(*link, lockstep, bytes, sizeof bytes);
    if (size == 0) return;
    datagram_send_from(link->game.socket, link->game.local, link->game.peer, bytes, size);
    ++link->datagrams_sent;
    link->wire_bytes_sent += size + link_header_bytes;
    link->last_sent_ms = now_ms;
    link->commands_sent = lockstep.known[lockstep.local_side];
}

}  // namespace

void link_start(Link* link, const NetGame& game, int64_t now_ms) {
    std::memset(link, 0, sizeof *link);
    link->game = game;
    link->last_sent_ms = now_ms - link_resend_interval_ms;
}

void link_receive(Link* link, Lockstep* lockstep, int64_t now_ms, RejoinSeat* seat) {
    for (int i = 0; i < lobby_most_datagrams; ++i) {
        uint8_t bytes[packet_capacity];
        DatagramAddress from, called;
        const int size = datagram_receive_at(link->game.socket, bytes, sizeof bytes, &from, &called);
        if (size < 0) return;
        ++link->datagrams_received;
        link->wire_bytes_received += size + link_header_bytes;
        Packet packet;
        const PacketFault fault = read_packet(bytes, size, link->game.token, &packet);
        if (fault != packet_ok) {
            ++link->faults[fault];
        } else if (packet.kind == packet_hello && link->game.hosting && !same_datagram_address(from, link->game.peer)) {
            Packet refusal;
            std::memset(&refusal, 0, sizeof refusal);
            refusal.kind = packet_refuse;
            refusal.protocol = packet_protocol;
            refusal.refuse.reason = refuse_busy;
            refusal.refuse.nonce = packet.hello.nonce;
            const int refusal_size = write_packet(refusal, bytes, sizeof bytes);
            if (refusal_size > 0) datagram_send_from(link->game.socket, called, from, bytes, refusal_size);
        } else if (packet.kind == packet_lockstep && same_datagram_address(from, link->game.peer)) {
            lockstep_incoming(lockstep, packet.lockstep, now_ms);
        } else if (seat && (packet.kind == packet_rejoin || packet.kind == packet_chunk_ack ||
                            packet.kind == packet_ready)) {
            rejoin_seat_take(seat, link, lockstep, packet, from, called, now_ms);
        }
        // The rest (a start or ping repeated by the lobby) has nothing more to say.
    }
}

int link_datagram(const Link& link, const Lockstep& lockstep, uint8_t* bytes, int capacity) {
    Packet packet;
    std::memset(&packet, 0, sizeof packet);
    packet.kind = packet_lockstep;
    packet.protocol = packet_protocol;
    packet.token = link.game.token;
    lockstep_outgoing(lockstep, &packet.lockstep);
    const int size = write_packet(packet, bytes, capacity);
    // Commands that fill the datagram (64 of them each dealing and moving
    // far, never a person's) still go: the game matters more than its chat.
    if (size > 0 || packet.lockstep.chat_count == 0) return size;
    packet.lockstep.chat_count = 0;
    return write_packet(packet, bytes, capacity);
}

bool link_send_due(const Link& link, const Lockstep& lockstep, int64_t now_ms) {
    return lockstep.known[lockstep.local_side] != link.commands_sent ||
           now_ms - link.last_sent_ms >= link_resend_interval_ms;
}

void link_send(Link* link, const Lockstep& lockstep, int64_t now_ms) {
    if (link_send_due(*link, lockstep, now_ms)) send_lockstep(link, lockstep, now_ms);
}

void link_leave(Link* link, Lockstep* lockstep) {
    lockstep_leave(lockstep);
    for (int i = 0; i < link_leaving_packets; ++i) send_lockstep(link, *lockstep, link->last_sent_ms);
    datagram_close(link->game.socket);
    link->game.socket = -1;
}
