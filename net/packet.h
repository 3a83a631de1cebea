// The datagrams two machines exchange in a networked game, as plain structs,
// and their bytes: every datagram read is hostile until proven otherwise.
#pragma once

#include <cstdint>

#include "game/side_command.h"

// No datagram is larger: it passes every link of the Internet unfragmented.
constexpr int packet_capacity = 1200;
// Every datagram opens with these two bytes, the protocol version and its kind.
constexpr uint8_t packet_magic[2] = {'V', 'h'};
constexpr uint8_t packet_protocol = 4;
// Magic, protocol, kind and the session token.
constexpr int packet_header_size = 8;
// The most commands and census digests one lockstep packet carries.
constexpr int packet_most_commands = 64;
constexpr int packet_most_digests = 4;
// A program version as the hello names it: printable ASCII only.
constexpr int packet_version_capacity = 32;
// The input delay a start may name, in frames.
constexpr int packet_least_delay = 2;
constexpr int packet_most_delay = 20;

enum PacketKind : uint8_t {
    packet_hello = 1,    // a guest asks to join
    packet_welcome = 2,  // the host takes the guest and names the session token
    packet_refuse = 3,   // the host will not take the guest, and says why
    packet_start = 4,    // the host starts the game
    packet_ping = 5,     // the host measures the round trip in the lobby
    packet_pong = 6,
    packet_lockstep = 7, // commands, acknowledgements and digests in the game
    packet_rejoin = 8,   // a player who dropped asks for its seat back
    packet_chunk = 9,    // a piece of the snapshot the game waits at, for the returning player
    packet_chunk_ack = 10,
    packet_ready = 11,   // the returning player loaded the snapshot: its frame and digest
    packet_probe = 12,   // someone looks for the games on the LAN
    packet_announce = 13,  // a host says what it offers, or that its game is closed
};

// The most snapshot bytes one chunk carries, and the largest snapshot sent.
constexpr int packet_chunk_most_bytes = 1100;
constexpr uint32_t packet_most_snapshot_bytes = 1u << 20;

enum RefuseReason : uint8_t {
    refuse_version = 1,  // another program version or other rules
    refuse_busy = 2,     // the host already has its player
};

// The hello and the refusal keep their layout in every protocol version, so
// that two programs that cannot play together can still name both versions.
struct HelloPacket {
    char version[packet_version_capacity];  // NUL-terminated
    uint64_t rules;                         // the caller's fingerprint of the rules
    uint64_t nonce;                         // the guest's random number, echoed back
};

// The probe and the announcement keep their layout in every protocol
// version too (a later one may only add fields at their end), so that a
// player lists the games of every version and marks those it cannot join.
struct ProbePacket {
    uint32_t sent_ms;  // the finder's clock, echoed back by the announcement
};

struct AnnouncePacket {
    uint32_t echo_ms;   // the probe's sent_ms this answers
    uint8_t open;       // 1 while the host waits for a player; 0 once its game started or ended
    uint16_t port;      // the game's port, 1 to 65535
    uint64_t host_id;   // the same at every address the host is heard at
    char version[packet_version_capacity];
    uint64_t rules;
    char name[packet_version_capacity];  // the host's machine, printable ASCII
};

struct WelcomePacket {
    uint64_t nonce;
};

struct RefusePacket {
    uint8_t reason;
    uint64_t nonce;
    char version[packet_version_capacity];  // the host's
    uint64_t rules;
};

struct StartPacket {
    uint32_t seed;
    uint8_t delay;       // packet_least_delay to packet_most_delay
    uint8_t guest_side;  // 0 or 1
    uint8_t loaded;      // 1: the host goes on from a saved game, whose snapshot follows in chunks
};

struct PingPacket {
    uint32_t sent_ms;  // the host's clock, echoed back by the pong
};

// A census digest's fingerprint, two hex digits a byte: enough to name the
// fields and the groups of slots that moved when two games part.
constexpr int packet_fingerprint_bytes = 32;

// Chat rides beside the commands: a message goes with the command of its
// frame, so it is resent and acknowledged with it. Printable ASCII (0x20
// to 0x7E, every one of which the overlay's large font draws), at most
// this long: a whole line of the picture.
constexpr int packet_chat_capacity = 80;
// The most messages one packet carries: a side says at most this many in
// any chat_window_frames, longer than the commands one packet holds.
constexpr int packet_most_chats = 3;

struct PacketChat {
    uint32_t frame;  // the command's frame it goes with
    char text[packet_chat_capacity + 1];  // NUL-terminated, 1 to packet_chat_capacity characters
};

struct PacketDigest {
    uint32_t frame;
    uint64_t whole;
    uint8_t fingerprint[packet_fingerprint_bytes];
};

// The sender's commands from `first` on, each coded against the one before
// it (the first against the empty command), what it holds of the receiver's,
// and its census digests the receiver has not acknowledged.
struct LockstepPacket {
    uint8_t side;
    uint8_t leaving;           // the sender ends the game at first + command_count
    uint8_t parting;           // ...because the two games can no longer agree
    uint32_t commands_held;    // the sender holds every receiver command below this frame
    uint32_t digests_held;     // ...and every receiver digest below this frame
    uint32_t first;
    int command_count;         // up to packet_most_commands
    SideCommand commands[packet_most_commands];
    int digest_count;          // up to packet_most_digests, in rising frames
    PacketDigest digests[packet_most_digests];
    int chat_count;            // up to packet_most_chats, at rising frames among the commands'
    PacketChat chats[packet_most_chats];
    uint32_t save_at;          // the sender's newest save: both save as this frame is about to run; 0 none
};

// The hello's version and rules, and the secret both sides learned at the
// start (the guest's nonce), which no stranger has.
struct RejoinPacket {
    char version[packet_version_capacity];
    uint64_t rules;
    uint64_t secret;
};

struct ChunkPacket {
    uint32_t frame;   // the frame the game goes on at
    uint8_t delay;    // the input delay it goes on with
    uint8_t side;     // the returning player's side
    uint32_t total;   // the snapshot's size
    uint32_t offset;  // where these bytes lie in it
    int length;       // 1 to packet_chunk_most_bytes, within total
    uint8_t bytes[packet_chunk_most_bytes];
};

struct ReadyPacket {
    uint32_t frame;
    uint64_t digest;  // of the state loaded, compared with the waiting side's
};

struct Packet {
    PacketKind kind;
    uint8_t protocol;  // differs from packet_protocol only in a hello, a refusal, a probe or an announcement
    uint32_t token;    // 0 in a hello, a refusal, a probe and an announcement
    HelloPacket hello;
    WelcomePacket welcome;
    RefusePacket refuse;
    StartPacket start;
    PingPacket ping;  // and pong
    LockstepPacket lockstep;
    RejoinPacket rejoin;
    ChunkPacket chunk;
    uint32_t chunk_ack;  // the offset of the chunk taken
    ReadyPacket ready;
    ProbePacket probe;
    AnnouncePacket announce;
};

enum PacketFault {
    packet_ok = 0,
    packet_wrong_size,      // shorter than a header, or longer than packet_capacity
    packet_wrong_magic,
    packet_wrong_protocol,
    packet_unknown_kind,
    packet_wrong_token,     // not the session's token (or a token where none belongs)
    packet_cut_short,       // a field runs past the end
    packet_bad_field,       // a count, number, flag or text out of its bounds
    packet_trailing_bytes,  // bytes after the last field
    packet_fault_count,
};

// The short name of a fault, for counts in logs ("cut short").
const char* packet_fault_name(PacketFault fault);

// A command as both sides keep it: a field the command does not use (the
// tile without a cursor, the seed without a deal) is 0, so that what one
// side runs is byte for byte what the other decodes.
SideCommand canonical_command(const SideCommand& command);

// A packet of that kind, every field zero but its kind, this protocol and
// the token (0 for the kinds a stranger may send).
Packet new_packet(PacketKind kind, uint32_t token = 0);

// Writes the packet; returns its size, or 0 when a count or field is out of
// its bounds or it would not fit in capacity bytes.
int write_packet(const Packet& packet, uint8_t* bytes, int capacity);
// Reads a datagram of `size` bytes. session_token is the token the session
// uses (0 before it has one); every kind but hello, welcome and refusal must
// carry it. On any fault the packet is left half filled and must not be used.
PacketFault read_packet(const uint8_t* bytes, int size, uint32_t session_token, Packet* packet);
