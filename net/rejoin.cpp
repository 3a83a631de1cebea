#include "net/rejoin.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "state/state_digest.h"

namespace {

// Sends and counts it as the link counts its own.
void send_packet(int socket, const DatagramAddress& local, const DatagramAddress& to, const Packet& packet,
                 int* datagrams, int64_t* wire_bytes) {
    uint8_t bytes[packet_capacity];
    const int size = write_packet(packet, bytes, sizeof bytes);
    if (size <= 0 || !datagram_send_from(socket, local, to, bytes, size)) return;
    ++*datagrams;
    *wire_bytes += size + link_header_bytes;
}

int chunk_length(int index) {
    const int rest = snapshot_bytes - index * packet_chunk_most_bytes;
    return rest < packet_chunk_most_bytes ? rest : packet_chunk_most_bytes;
}

// The game waits at next_frame with every frame below it run: that is the snapshot.
void begin_sending(RejoinSeat* seat, const Lockstep& lockstep, const DatagramAddress& to,
                   const DatagramAddress& called) {
    seat->sending = true;
    seat->peer = to;
    seat->called = called;
    seat->frame = lockstep.next_frame;
    snapshot_to_bytes(seat->snapshot);
    std::memset(seat->acked, 0, sizeof seat->acked);
    for (int64_t& sent : seat->sent_ms) sent = INT64_MIN / 2;
}

// The stranger or the other version is told as a third player is in the lobby.
void refuse_knock(RejoinSeat* seat, Link* link, const RejoinPacket& knock, const DatagramAddress& from,
                  const DatagramAddress& called, RefuseReason reason) {
    ++seat->refused;
    Packet refusal = new_packet(packet_refuse, 0);
    refusal.refuse.reason = reason;
    refusal.refuse.nonce = knock.secret;
    std::snprintf(refusal.refuse.version, sizeof refusal.refuse.version, "%s", link->game.version);
    refusal.refuse.rules = link->game.rules;
    send_packet(link->game.socket, called, from, refusal, &link->datagrams_sent, &link->wire_bytes_sent);
}

void take_knock(RejoinSeat* seat, Link* link, const Lockstep& lockstep, const RejoinPacket& knock,
                const DatagramAddress& from, const DatagramAddress& called) {
    if (std::strcmp(knock.version, link->game.version) != 0 || knock.rules != link->game.rules) {
        refuse_knock(seat, link, knock, from, called, refuse_version);
        return;
    }
    if (knock.secret != seat->secret) {
        refuse_knock(seat, link, knock, from, called, refuse_busy);
        return;
    }
    // A knock repeated before any chunk came back; after one, the returner
    // started again and takes the snapshot from the start.
    bool acked_any = false;
    for (bool acked : seat->acked) acked_any = acked_any || acked;
    if (seat->sending && same_datagram_address(from, seat->peer) && !acked_any) return;
    begin_sending(seat, lockstep, from, called);
}

}  // namespace

uint32_t rejoin_token(uint32_t token, uint32_t frame) {
    const uint32_t next = (token ^ frame) * 2654435761u + 0x9E3779B9u;
    return next ? next : 1;
}

void rejoin_seat_start(RejoinSeat* seat, uint64_t secret) {
    std::memset(seat, 0, sizeof *seat);
    seat->secret = secret;
}

bool rejoin_seat_take(RejoinSeat* seat, Link* link, Lockstep* lockstep, const Packet& packet,
                      const DatagramAddress& from, const DatagramAddress& called, int64_t now_ms) {
    if (packet.kind == packet_rejoin) {
        // While the game still runs, the snapshot would not stay the frame
        // it waits at: the knock is taken once the other side is silent.
        if (lockstep_status(*lockstep, now_ms) == lockstep_running) return false;
        take_knock(seat, link, *lockstep, packet.rejoin, from, called);
        if (seat->sending) lockstep->last_heard_ms = now_ms;
        return false;
    }
    // Late acknowledgements and readies of a player already back say nothing more.
    if (!seat->sending || !same_datagram_address(from, seat->peer)) {
        if (!same_datagram_address(from, link->game.peer)) ++seat->refused;
        return false;
    }
    lockstep->last_heard_ms = now_ms;
    if (packet.kind == packet_chunk_ack) {
        const uint32_t index = packet.chunk_ack / packet_chunk_most_bytes;
        if (packet.chunk_ack % packet_chunk_most_bytes != 0 || index >= rejoin_most_chunks) ++seat->refused;
        else seat->acked[index] = true;
        return false;
    }
    if (packet.kind != packet_ready) return false;
    if (packet.ready.frame != seat->frame || packet.ready.digest != digest_game_state().whole) {
        ++seat->refused;
        return false;
    }
    // Back: the lockstep starts again at the waiting frame with the same delay
    // and wait, held until both sides' countdowns are over.
    const int64_t give_up_ms = lockstep->give_up_ms;
    lockstep_start(lockstep, lockstep->local_side, lockstep->delay, now_ms, seat->frame);
    lockstep_hold(lockstep);
    lockstep->give_up_ms = give_up_ms;
    link->game.token = rejoin_token(link->game.token, seat->frame);
    link->game.peer = seat->peer;
    link->game.local = seat->called;
    link->last_sent_ms = now_ms - link_resend_interval_ms;
    link->commands_sent = 0;
    seat->sending = false;
    ++seat->returns;
    return true;
}

void rejoin_seat_offer(RejoinSeat* seat, const Link& link, Lockstep* lockstep) {
    lockstep_hold(lockstep);
    begin_sending(seat, *lockstep, link.game.peer, link.game.local);
}

void rejoin_seat_send(RejoinSeat* seat, Link* link, int64_t now_ms) {
    if (!seat->sending) return;
    int sent = 0;
    for (int index = 0; index < rejoin_most_chunks && sent < rejoin_burst_chunks; ++index) {
        if (seat->acked[index] || now_ms - seat->sent_ms[index] < rejoin_chunk_resend_ms) continue;
        Packet packet = new_packet(packet_chunk, link->game.token);
        ChunkPacket& chunk = packet.chunk;
        chunk.frame = seat->frame;
        chunk.delay = static_cast<uint8_t>(link->game.delay);
        chunk.side = static_cast<uint8_t>(1 - link->game.local_side);
        chunk.total = snapshot_bytes;
        chunk.offset = static_cast<uint32_t>(index * packet_chunk_most_bytes);
        chunk.length = chunk_length(index);
        std::memcpy(chunk.bytes, seat->snapshot + chunk.offset, static_cast<size_t>(chunk.length));
        send_packet(link->game.socket, seat->called, seat->peer, packet, &seat->datagrams_sent,
                    &seat->wire_bytes_sent);
        seat->sent_ms[index] = now_ms;
        ++sent;
    }
}

bool rejoin_return_start(RejoinReturn* back, const NetGame& game, const char* version, uint64_t rules,
                         int64_t now_ms) {
    std::memset(back, 0, sizeof *back);
    back->game = game;
    std::snprintf(back->version, sizeof back->version, "%s", version);
    back->rules = rules;
    back->began_ms = back->last_heard_ms = now_ms;
    back->last_sent_ms = now_ms - rejoin_resend_ms;
    // A host comes back on the port its guest still sends to, opened by the caller.
    if (game.socket >= 0) return true;
    const DatagramAddress loopback = datagram_loopback_address(game.peer.family, game.peer.port);
    const bool local_host = std::memcmp(game.peer.bytes, loopback.bytes, sizeof loopback.bytes) == 0;
    back->game.socket = datagram_open(local_host ? datagram_loopback_address(game.peer.family, 0)
                                                 : datagram_any_address(game.peer.family, 0));
    if (back->game.socket >= 0) return true;
    back->state = rejoin_failed;
    std::snprintf(back->message, sizeof back->message, "Cannot open a UDP socket (%s).", datagram_last_error());
    return false;
}

namespace {

// False for a chunk that does not fit the snapshot being taken.
bool take_chunk(RejoinReturn* back, const ChunkPacket& chunk) {
    const uint32_t index = chunk.offset / packet_chunk_most_bytes;
    if (chunk.total != snapshot_bytes || chunk.offset % packet_chunk_most_bytes != 0 ||
        chunk.length != chunk_length(static_cast<int>(index)) || (back->got_count > 0 && chunk.frame != back->frame))
        return false;
    Packet ack = new_packet(packet_chunk_ack, back->game.token);
    ack.chunk_ack = chunk.offset;
    send_packet(back->game.socket, back->game.local, back->game.peer, ack, &back->datagrams_sent,
                &back->wire_bytes_sent);
    if (back->got[index]) return true;
    back->got[index] = true;
    ++back->got_count;
    back->frame = chunk.frame;
    back->game.delay = chunk.delay;
    back->game.local_side = chunk.side;
    std::memcpy(back->snapshot + chunk.offset, chunk.bytes, static_cast<size_t>(chunk.length));
    back->state = rejoin_taking;
    return true;
}

// The whole snapshot loaded; one that does not check is asked for again
// (a knock after chunks makes the other side send it from the start).
void load_taken_snapshot(RejoinReturn* back, int64_t now_ms) {
    char error[snapshot_error_capacity];
    if (load_snapshot(back->snapshot, snapshot_bytes, error)) {
        back->state = rejoin_back;
        back->last_sent_ms = now_ms - rejoin_resend_ms;
        return;
    }
    ++back->refused;
    if (++back->snapshots_refused >= rejoin_most_snapshots_refused) {
        back->state = rejoin_failed;
        std::snprintf(back->message, sizeof back->message, "The game sent back was refused: %s", error);
        return;
    }
    std::memset(back->got, 0, sizeof back->got);
    back->got_count = 0;
    back->state = rejoin_knocking;
    back->last_sent_ms = now_ms - rejoin_resend_ms;
}

}  // namespace

void rejoin_return_update(RejoinReturn* back, int64_t now_ms) {
    if (back->state == rejoin_back || back->state == rejoin_failed) return;
    for (int i = 0; i < lobby_most_datagrams; ++i) {
        uint8_t bytes[packet_capacity];
        DatagramAddress from, called;
        const int size = datagram_receive_at(back->game.socket, bytes, sizeof bytes, &from, &called);
        if (size < 0) break;
        back->wire_bytes_received += size + link_header_bytes;
        Packet packet;
        if (!same_datagram_address(from, back->game.peer) ||
            read_packet(bytes, size, back->game.token, &packet) != packet_ok) {
            ++back->refused;
            continue;
        }
        back->last_heard_ms = now_ms;
        if (packet.kind == packet_refuse && packet.refuse.nonce == back->game.secret) {
            back->state = rejoin_failed;
            if (packet.refuse.reason == refuse_busy)
                std::snprintf(back->message, sizeof back->message, "The host already has a player.");
            else
                std::snprintf(back->message, sizeof back->message,
                              "The other player has version %s; this is version %s.", packet.refuse.version,
                              back->version);
            return;
        }
        if (packet.kind == packet_chunk && !take_chunk(back, packet.chunk)) ++back->refused;
    }
    if (back->got_count == rejoin_most_chunks) {
        load_taken_snapshot(back, now_ms);
        return;
    }
    if (now_ms - back->last_heard_ms >= rejoin_give_up_ms) {
        back->state = rejoin_failed;
        std::snprintf(back->message, sizeof back->message, "Nobody kept the game open: no answer within %d s.",
                      static_cast<int>(rejoin_give_up_ms / 1000));
        return;
    }
    if (back->state == rejoin_knocking && now_ms - back->last_sent_ms >= rejoin_resend_ms) {
        Packet knock = new_packet(packet_rejoin, back->game.token);
        std::snprintf(knock.rejoin.version, sizeof knock.rejoin.version, "%s", back->version);
        knock.rejoin.rules = back->rules;
        knock.rejoin.secret = back->game.secret;
        send_packet(back->game.socket, back->game.local, back->game.peer, knock, &back->datagrams_sent,
                    &back->wire_bytes_sent);
        back->last_sent_ms = now_ms;
    }
}

void rejoin_return_ready(RejoinReturn* back, int64_t now_ms) {
    if (now_ms - back->last_sent_ms < rejoin_resend_ms / 2) return;
    Packet ready = new_packet(packet_ready, back->game.token);
    ready.ready.frame = back->frame;
    ready.ready.digest = digest_game_state().whole;
    send_packet(back->game.socket, back->game.local, back->game.peer, ready, &back->datagrams_sent,
                &back->wire_bytes_sent);
    back->last_sent_ms = now_ms;
}

NetGame rejoin_return_game(const RejoinReturn& back) {
    NetGame game = back.game;
    game.token = rejoin_token(game.token, back.frame);
    return game;
}

bool keep_seat_file(const char* path, const NetGame& game) {
    std::FILE* file = std::fopen(path, "w");
    if (!file) return false;
    char address[datagram_address_text_capacity];
    datagram_address_text(game.peer, address, sizeof address);
    std::fprintf(file, "%" PRIu32 " %016" PRIx64 " %s\n", game.token, game.secret, address);
    return std::fclose(file) == 0;
}

bool read_seat_file(const char* path, bool hosting, const char* join_address, NetGame* game) {
    std::FILE* file = std::fopen(path, "r");
    if (!file) return false;
    char address[datagram_address_text_capacity] = "";
    std::memset(game, 0, sizeof *game);
    game->socket = -1;
    game->hosting = hosting;
    const int read = std::fscanf(file, "%" SCNu32 " %" SCNx64 " %55s", &game->token, &game->secret, address);
    std::fclose(file);
    return read >= 2 && datagram_resolve(hosting || !join_address ? address : join_address, net_default_port, &game->peer);
}

int open_host_port(int port) {
    const int socket = datagram_open(datagram_any_address(datagram_ipv6, port));
    return socket >= 0 ? socket : datagram_open(datagram_any_address(datagram_ipv4, port));
}
