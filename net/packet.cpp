#include "net/packet.h"

#include <cstring>

// Numbers are little-endian; cursor moves and frame distances are zigzag
// varints. Every form is
// canonical (no spare bits, no overlong varint, no move of zero), so a
// datagram that reads is exactly the datagram the writer makes of it.

namespace {

struct Writer {
    uint8_t* bytes;
    int capacity;
    int used;
    bool failed;
};

void put_bytes(Writer* out, const void* data, int count) {
    if (out->failed || count > out->capacity - out->used) {
        out->failed = true;
        return;
    }
    std::memcpy(out->bytes + out->used, data, static_cast<size_t>(count));
    out->used += count;
}

void put_number(Writer* out, uint64_t value, int count) {
    uint8_t little[8];
    for (int i = 0; i < count; ++i) little[i] = static_cast<uint8_t>(value >> (8 * i));
    put_bytes(out, little, count);
}

void put_varint(Writer* out, uint64_t value) {
    do {
        put_number(out, (value & 0x7f) | (value > 0x7f ? 0x80 : 0), 1);
        value >>= 7;
    } while (value);
}

void put_text(Writer* out, const char* text) {
    int length = 0;
    while (length < packet_version_capacity && text[length]) ++length;
    if (length >= packet_version_capacity) out->failed = true;
    put_number(out, static_cast<uint64_t>(length), 1);
    put_bytes(out, text, length);
}

struct Reader {
    const uint8_t* bytes;
    int size;
    int used;
    PacketFault fault;
};

void fail(Reader* in, PacketFault fault) {
    if (in->fault == packet_ok) in->fault = fault;
}

uint64_t take_number(Reader* in, int count) {
    if (in->fault != packet_ok || count > in->size - in->used) {
        fail(in, packet_cut_short);
        return 0;
    }
    uint64_t value = 0;
    for (int i = 0; i < count; ++i) value |= static_cast<uint64_t>(in->bytes[in->used + i]) << (8 * i);
    in->used += count;
    return value;
}

// At most five bytes (35 bits, room for any move between two 32-bit tiles),
// and never a last byte of zero after the first.
uint64_t take_varint(Reader* in) {
    uint64_t value = 0;
    for (int i = 0; i < 5; ++i) {
        const uint64_t byte = take_number(in, 1);
        if (i > 0 && byte == 0) fail(in, packet_bad_field);
        value |= (byte & 0x7f) << (7 * i);
        if (!(byte & 0x80) || in->fault != packet_ok) return value;
    }
    fail(in, packet_bad_field);
    return 0;
}

void take_text(Reader* in, char* text) {
    const int length = static_cast<int>(take_number(in, 1));
    if (length >= packet_version_capacity || length > in->size - in->used) {
        fail(in, length >= packet_version_capacity ? packet_bad_field : packet_cut_short);
        text[0] = '\0';
        return;
    }
    for (int i = 0; i < length; ++i) {
        text[i] = static_cast<char>(in->bytes[in->used + i]);
        if (text[i] < 0x20 || text[i] > 0x7e) fail(in, packet_bad_field);
    }
    text[length] = '\0';
    in->used += length;
}

uint8_t take_flag(Reader* in) {
    const uint64_t value = take_number(in, 1);
    if (value > 1) fail(in, packet_bad_field);
    return static_cast<uint8_t>(value);
}

// The bits of a command's first byte.
constexpr uint8_t command_has_cursor = 1;
constexpr uint8_t command_cursor_moves = 2;
constexpr uint8_t command_left = 4;
constexpr uint8_t command_right = 8;
constexpr uint8_t command_deals = 16;
constexpr int command_pace_shift = 5;

uint64_t zigzag(int64_t value) { return (static_cast<uint64_t>(value) << 1) ^ static_cast<uint64_t>(value >> 63); }
int64_t unzigzag(uint64_t value) { return static_cast<int64_t>(value >> 1) ^ -static_cast<int64_t>(value & 1); }

void put_command(Writer* out, const SideCommand& before, const SideCommand& raw) {
    const SideCommand now = canonical_command(raw);
    const bool moves = now.cursor_x != before.cursor_x || now.cursor_y != before.cursor_y;
    const uint8_t flags = static_cast<uint8_t>(
        (now.has_cursor ? command_has_cursor : 0) | (now.has_cursor && moves ? command_cursor_moves : 0) |
        (now.left ? command_left : 0) | (now.right ? command_right : 0) | (now.deals ? command_deals : 0) |
        now.pace << command_pace_shift);
    put_number(out, flags, 1);
    if (flags & command_cursor_moves) {
        put_varint(out, zigzag(static_cast<int64_t>(now.cursor_x) - before.cursor_x));
        put_varint(out, zigzag(static_cast<int64_t>(now.cursor_y) - before.cursor_y));
    }
    if (now.deals) put_number(out, now.deal_seed, 4);
}

int32_t take_coordinate(Reader* in, int32_t before) {
    const int64_t value = before + unzigzag(take_varint(in));
    if (value < INT32_MIN || value > INT32_MAX) fail(in, packet_bad_field);
    return static_cast<int32_t>(value);
}

SideCommand take_command(Reader* in, const SideCommand& before) {
    SideCommand now = no_command();
    const uint8_t flags = static_cast<uint8_t>(take_number(in, 1));
    now.has_cursor = (flags & command_has_cursor) != 0;
    now.left = (flags & command_left) != 0;
    now.right = (flags & command_right) != 0;
    now.deals = (flags & command_deals) != 0;
    now.pace = static_cast<uint8_t>(flags >> command_pace_shift);
    if (now.pace > pace_slowest_key) fail(in, packet_bad_field);
    if (now.has_cursor) now.cursor_x = before.cursor_x, now.cursor_y = before.cursor_y;
    if (flags & command_cursor_moves) {
        if (!now.has_cursor) fail(in, packet_bad_field);
        now.cursor_x = take_coordinate(in, before.cursor_x);
        now.cursor_y = take_coordinate(in, before.cursor_y);
        if (now.cursor_x == before.cursor_x && now.cursor_y == before.cursor_y) fail(in, packet_bad_field);
    }
    if (now.deals) now.deal_seed = static_cast<uint32_t>(take_number(in, 4));
    return now;
}

// The acknowledgements and the first digest's frame go as their distance
// from the first command's frame, and each later digest's as its distance
// from the one before: both sides' frames move together, so each is a byte
// or two however long the game.
void put_frame_near(Writer* out, uint32_t frame, uint32_t near) {
    put_varint(out, zigzag(static_cast<int64_t>(frame) - near));
}

uint32_t take_frame_near(Reader* in, uint32_t near) {
    const int64_t frame = near + unzigzag(take_varint(in));
    if (frame < 0 || frame > UINT32_MAX) fail(in, packet_bad_field);
    return static_cast<uint32_t>(frame);
}

// A chat's text: 1 to packet_chat_capacity printable characters.
bool chat_text_fits(const char* text) {
    int length = 0;
    for (; length <= packet_chat_capacity && text[length]; ++length)
        if (text[length] < 0x20 || text[length] > 0x7e) return false;
    return length >= 1 && length <= packet_chat_capacity;
}

// Each chat goes as its frame's distance past the one before (the first's
// past the first command's frame), then its text with its length before it.
void put_chats(Writer* out, const LockstepPacket& packet) {
    if (packet.chat_count < 0 || packet.chat_count > packet_most_chats) out->failed = true;
    if (out->failed) return;
    put_number(out, static_cast<uint64_t>(packet.chat_count), 1);
    uint64_t least = packet.first;
    for (int i = 0; i < packet.chat_count; ++i) {
        const PacketChat& chat = packet.chats[i];
        if (chat.frame < least || chat.frame >= packet.first + static_cast<uint64_t>(packet.command_count) ||
            !chat_text_fits(chat.text)) {
            out->failed = true;
            return;
        }
        put_varint(out, chat.frame - least);
        const int length = static_cast<int>(std::strlen(chat.text));
        put_number(out, static_cast<uint64_t>(length), 1);
        put_bytes(out, chat.text, length);
        least = chat.frame + uint64_t{1};
    }
}

void take_chats(Reader* in, LockstepPacket* packet) {
    packet->chat_count = static_cast<int>(take_number(in, 1));
    if (packet->chat_count > packet_most_chats) {
        fail(in, packet_bad_field);
        return;
    }
    uint64_t least = packet->first;
    const uint64_t end = packet->first + static_cast<uint64_t>(packet->command_count);
    for (int i = 0; i < packet->chat_count && in->fault == packet_ok; ++i) {
        PacketChat& chat = packet->chats[i];
        const uint64_t frame = least + take_varint(in);
        const int length = static_cast<int>(take_number(in, 1));
        if (in->fault != packet_ok) return;
        if (frame >= end || length < 1 || length > packet_chat_capacity) {
            fail(in, packet_bad_field);
            return;
        }
        if (length > in->size - in->used) {
            fail(in, packet_cut_short);
            return;
        }
        chat.frame = static_cast<uint32_t>(frame);
        // Each byte is checked, not the text up to a NUL: a NUL within is no text either.
        for (int k = 0; k < length; ++k) {
            chat.text[k] = static_cast<char>(in->bytes[in->used + k]);
            if (chat.text[k] < 0x20 || chat.text[k] > 0x7e) fail(in, packet_bad_field);
        }
        chat.text[length] = '\0';
        in->used += length;
        least = frame + 1;
    }
}
// The lockstep packet's first byte: side, leaving, parting, and this bit
// when a save's frame follows the acknowledgements.
constexpr uint8_t lockstep_saves = 8;

void put_lockstep(Writer* out, const LockstepPacket& packet) {
    if (packet.side > 1 || packet.leaving > 1 || packet.parting > 1 || packet.command_count < 0 ||
        packet.command_count > packet_most_commands || packet.digest_count < 0 ||
        packet.digest_count > packet_most_digests || packet.first > UINT32_MAX - packet_most_commands)
        out->failed = true;
    if (out->failed) return;
    put_number(out, static_cast<uint64_t>(packet.side | packet.leaving << 1 | packet.parting << 2 |
                                          (packet.save_at ? lockstep_saves : 0)),
               1);
    put_number(out, packet.first, 4);
    put_frame_near(out, packet.commands_held, packet.first);
    put_frame_near(out, packet.digests_held, packet.first);
    if (packet.save_at) put_frame_near(out, packet.save_at, packet.first);
    put_number(out, static_cast<uint64_t>(packet.command_count), 1);
    SideCommand before = no_command();
    for (int i = 0; i < packet.command_count; ++i) {
        put_command(out, before, packet.commands[i]);
        before = canonical_command(packet.commands[i]);
    }
    put_number(out, static_cast<uint64_t>(packet.digest_count), 1);
    for (int i = 0; i < packet.digest_count; ++i) {
        if (i == 0) put_frame_near(out, packet.digests[0].frame, packet.first);
        else if (packet.digests[i].frame <= packet.digests[i - 1].frame) out->failed = true;
        else put_varint(out, packet.digests[i].frame - packet.digests[i - 1].frame - 1);
        put_number(out, packet.digests[i].whole, 8);
        for (uint8_t byte : packet.digests[i].fingerprint) put_number(out, byte, 1);
    }
    put_chats(out, packet);
}

void take_lockstep(Reader* in, LockstepPacket* packet) {
    const uint64_t side_and_leaving = take_number(in, 1);
    if (side_and_leaving > 15) fail(in, packet_bad_field);
    packet->side = side_and_leaving & 1;
    packet->leaving = static_cast<uint8_t>(side_and_leaving >> 1 & 1);
    packet->parting = static_cast<uint8_t>(side_and_leaving >> 2 & 1);
    packet->first = static_cast<uint32_t>(take_number(in, 4));
    packet->commands_held = take_frame_near(in, packet->first);
    packet->digests_held = take_frame_near(in, packet->first);
    packet->save_at = side_and_leaving & lockstep_saves ? take_frame_near(in, packet->first) : 0;
    if ((side_and_leaving & lockstep_saves) && packet->save_at == 0) fail(in, packet_bad_field);
    packet->command_count = static_cast<int>(take_number(in, 1));
    if (packet->command_count > packet_most_commands || packet->first > UINT32_MAX - packet_most_commands) {
        fail(in, packet_bad_field);
        return;
    }
    SideCommand before = no_command();
    for (int i = 0; i < packet->command_count && in->fault == packet_ok; ++i)
        before = packet->commands[i] = take_command(in, before);
    packet->digest_count = static_cast<int>(take_number(in, 1));
    if (packet->digest_count > packet_most_digests) {
        fail(in, packet_bad_field);
        return;
    }
    for (int i = 0; i < packet->digest_count && in->fault == packet_ok; ++i) {
        // In 64 bits: a digest after one at the last frame must not wrap to frame 0.
        const uint64_t before_frame = i == 0 ? 0 : packet->digests[i - 1].frame;
        const uint64_t frame = i == 0 ? take_frame_near(in, packet->first) : before_frame + 1 + take_varint(in);
        if (frame > UINT32_MAX) fail(in, packet_bad_field);
        packet->digests[i].frame = static_cast<uint32_t>(frame);
        packet->digests[i].whole = take_number(in, 8);
        for (uint8_t& byte : packet->digests[i].fingerprint) byte = static_cast<uint8_t>(take_number(in, 1));
    }
    take_chats(in, packet);
}

}  // namespace

const char* packet_fault_name(PacketFault fault) {
    static const char* const names[packet_fault_count] = {
        "ok", "wrong size", "wrong magic", "wrong protocol", "unknown kind",
        "wrong token", "cut short", "bad field", "trailing bytes"};
    return fault >= 0 && fault < packet_fault_count ? names[fault] : "unknown fault";
}

SideCommand canonical_command(const SideCommand& command) {
    SideCommand canonical = no_command();
    canonical.has_cursor = command.has_cursor != 0;
    if (canonical.has_cursor) canonical.cursor_x = command.cursor_x, canonical.cursor_y = command.cursor_y;
    canonical.left = command.left != 0;
    canonical.right = command.right != 0;
    canonical.deals = command.deals != 0;
    if (canonical.deals) canonical.deal_seed = command.deal_seed;
    canonical.pace = command.pace <= pace_slowest_key ? command.pace : pace_unchanged;
    return canonical;
}

namespace {

// A chunk lies within its snapshot, names a delay a game may have and a side.
bool chunk_fits(const ChunkPacket& chunk) {
    return chunk.delay >= packet_least_delay && chunk.delay <= packet_most_delay && chunk.side <= 1 &&
           chunk.length >= 1 && chunk.length <= packet_chunk_most_bytes && chunk.total <= packet_most_snapshot_bytes &&
           chunk.offset < chunk.total && chunk.total - chunk.offset >= static_cast<uint32_t>(chunk.length);
}

}  // namespace

// The kinds a stranger of any version may send: no session, no token.
bool tokenless_kind(PacketKind kind) {
    return kind == packet_hello || kind == packet_refuse || kind == packet_probe || kind == packet_announce;
}

Packet new_packet(PacketKind kind, uint32_t token) {
    Packet packet;
    std::memset(&packet, 0, sizeof packet);
    packet.kind = kind;
    packet.protocol = packet_protocol;
    packet.token = token;
    return packet;
}

int write_packet(const Packet& packet, uint8_t* bytes, int capacity) {
    Writer out = {bytes, capacity < packet_capacity ? capacity : packet_capacity, 0, false};
    const bool tokenless = tokenless_kind(packet.kind);
    if (tokenless != (packet.token == 0)) return 0;
    put_bytes(&out, packet_magic, 2);
    put_number(&out, tokenless ? packet.protocol : packet_protocol, 1);
    put_number(&out, packet.kind, 1);
    put_number(&out, packet.token, 4);
    switch (packet.kind) {
    case packet_hello:
        put_text(&out, packet.hello.version);
        put_number(&out, packet.hello.rules, 8);
        put_number(&out, packet.hello.nonce, 8);
        break;
    case packet_welcome:
        put_number(&out, packet.welcome.nonce, 8);
        break;
    case packet_refuse:
        if (packet.refuse.reason != refuse_version && packet.refuse.reason != refuse_busy) return 0;
        put_number(&out, packet.refuse.reason, 1);
        put_number(&out, packet.refuse.nonce, 8);
        put_text(&out, packet.refuse.version);
        put_number(&out, packet.refuse.rules, 8);
        break;
    case packet_start:
        if (packet.start.delay < packet_least_delay || packet.start.delay > packet_most_delay ||
            packet.start.guest_side > 1 || packet.start.loaded > 1)
            return 0;
        put_number(&out, packet.start.seed, 4);
        put_number(&out, packet.start.delay, 1);
        put_number(&out, static_cast<uint64_t>(packet.start.guest_side | packet.start.loaded << 1), 1);
        break;
    case packet_ping:
    case packet_pong:
        put_number(&out, packet.ping.sent_ms, 4);
        break;
    case packet_lockstep:
        put_lockstep(&out, packet.lockstep);
        break;
    case packet_rejoin:
        put_text(&out, packet.rejoin.version);
        put_number(&out, packet.rejoin.rules, 8);
        put_number(&out, packet.rejoin.secret, 8);
        break;
    case packet_chunk: {
        const ChunkPacket& chunk = packet.chunk;
        if (!chunk_fits(chunk)) return 0;
        put_number(&out, chunk.frame, 4);
        put_number(&out, chunk.delay, 1);
        put_number(&out, chunk.side, 1);
        put_number(&out, chunk.total, 4);
        put_number(&out, chunk.offset, 4);
        put_number(&out, static_cast<uint64_t>(chunk.length), 2);
        put_bytes(&out, chunk.bytes, chunk.length);
        break;
    }
    case packet_chunk_ack:
        put_number(&out, packet.chunk_ack, 4);
        break;
    case packet_ready:
        put_number(&out, packet.ready.frame, 4);
        put_number(&out, packet.ready.digest, 8);
        break;
    case packet_probe:
        put_number(&out, packet.probe.sent_ms, 4);
        break;
    case packet_announce:
        if (packet.announce.open > 1 || packet.announce.port == 0) return 0;
        put_number(&out, packet.announce.echo_ms, 4);
        put_number(&out, packet.announce.open, 1);
        put_number(&out, packet.announce.port, 2);
        put_number(&out, packet.announce.host_id, 8);
        put_text(&out, packet.announce.version);
        put_number(&out, packet.announce.rules, 8);
        put_text(&out, packet.announce.name);
        break;
    default:
        return 0;
    }
    return out.failed ? 0 : out.used;
}

PacketFault read_packet(const uint8_t* bytes, int size, uint32_t session_token, Packet* packet) {
    if (size < packet_header_size || size > packet_capacity) return packet_wrong_size;
    if (bytes[0] != packet_magic[0] || bytes[1] != packet_magic[1]) return packet_wrong_magic;
    Reader in = {bytes, size, 2, packet_ok};
    packet->protocol = static_cast<uint8_t>(take_number(&in, 1));
    const uint64_t kind = take_number(&in, 1);
    if (kind < packet_hello || kind > packet_announce) return packet_unknown_kind;
    packet->kind = static_cast<PacketKind>(kind);
    const bool tokenless = tokenless_kind(packet->kind);
    if (!tokenless && packet->protocol != packet_protocol) return packet_wrong_protocol;
    packet->token = static_cast<uint32_t>(take_number(&in, 4));
    // A welcome brings the session its token; every later kind must carry it.
    if (tokenless ? packet->token != 0
                  : packet->token == 0 || (packet->kind != packet_welcome && packet->token != session_token))
        return packet_wrong_token;
    switch (packet->kind) {
    case packet_hello:
        take_text(&in, packet->hello.version);
        packet->hello.rules = take_number(&in, 8);
        packet->hello.nonce = take_number(&in, 8);
        break;
    case packet_welcome:
        packet->welcome.nonce = take_number(&in, 8);
        break;
    case packet_refuse:
        packet->refuse.reason = static_cast<uint8_t>(take_number(&in, 1));
        if (packet->refuse.reason != refuse_version && packet->refuse.reason != refuse_busy)
            fail(&in, packet_bad_field);
        packet->refuse.nonce = take_number(&in, 8);
        take_text(&in, packet->refuse.version);
        packet->refuse.rules = take_number(&in, 8);
        break;
    case packet_start:
        packet->start.seed = static_cast<uint32_t>(take_number(&in, 4));
        packet->start.delay = static_cast<uint8_t>(take_number(&in, 1));
        {
            const uint64_t side_and_loaded = take_number(&in, 1);
            if (side_and_loaded > 3) fail(&in, packet_bad_field);
            packet->start.guest_side = side_and_loaded & 1;
            packet->start.loaded = static_cast<uint8_t>(side_and_loaded >> 1);
        }
        if (packet->start.delay < packet_least_delay || packet->start.delay > packet_most_delay)
            fail(&in, packet_bad_field);
        break;
    case packet_ping:
    case packet_pong:
        packet->ping.sent_ms = static_cast<uint32_t>(take_number(&in, 4));
        break;
    case packet_lockstep:
        take_lockstep(&in, &packet->lockstep);
        break;
    case packet_rejoin:
        take_text(&in, packet->rejoin.version);
        packet->rejoin.rules = take_number(&in, 8);
        packet->rejoin.secret = take_number(&in, 8);
        break;
    case packet_chunk: {
        ChunkPacket& chunk = packet->chunk;
        chunk.frame = static_cast<uint32_t>(take_number(&in, 4));
        chunk.delay = static_cast<uint8_t>(take_number(&in, 1));
        chunk.side = static_cast<uint8_t>(take_number(&in, 1));
        chunk.total = static_cast<uint32_t>(take_number(&in, 4));
        chunk.offset = static_cast<uint32_t>(take_number(&in, 4));
        chunk.length = static_cast<int>(take_number(&in, 2));
        if (in.fault == packet_ok && !chunk_fits(chunk)) fail(&in, packet_bad_field);
        if (in.fault == packet_ok && in.size - in.used < chunk.length) fail(&in, packet_cut_short);
        if (in.fault == packet_ok) {
            std::memcpy(chunk.bytes, in.bytes + in.used, static_cast<size_t>(chunk.length));
            in.used += chunk.length;
        }
        break;
    }
    case packet_chunk_ack:
        packet->chunk_ack = static_cast<uint32_t>(take_number(&in, 4));
        break;
    case packet_ready:
        packet->ready.frame = static_cast<uint32_t>(take_number(&in, 4));
        packet->ready.digest = take_number(&in, 8);
        break;
    case packet_probe:
        packet->probe.sent_ms = static_cast<uint32_t>(take_number(&in, 4));
        break;
    case packet_announce: {
        AnnouncePacket& announce = packet->announce;
        announce.echo_ms = static_cast<uint32_t>(take_number(&in, 4));
        announce.open = take_flag(&in);
        announce.port = static_cast<uint16_t>(take_number(&in, 2));
        if (in.fault == packet_ok && announce.port == 0) fail(&in, packet_bad_field);
        announce.host_id = take_number(&in, 8);
        take_text(&in, announce.version);
        announce.rules = take_number(&in, 8);
        take_text(&in, announce.name);
        break;
    }
    }
    // What another version adds at the end of its probe or announcement is not ours to read.
    const bool may_grow = (packet->kind == packet_probe || packet->kind == packet_announce) &&
                          packet->protocol != packet_protocol;
    if (in.fault == packet_ok && in.used != size && !may_grow) fail(&in, packet_trailing_bytes);
    return in.fault;
}
