// Network play: every out-of-bounds datagram is refused with its fault; two
// lockstep cores run the same commands through their packets' bytes over
// loss, repeats and reordering, refuse what no honest peer sends until the
// games part, and end on one frame or say where they parted; over loopback
// the lobby starts a game while a stranger knocks, seats only a caller that
// answers every ping, tells whom it refused, answers from the address it
// was called at, gives up on silence, and the link carries the game; a
// finder lists the hosts waiting on the LAN, marks another version's and
// drops a host when its game starts or it falls silent; a
// window's game keeps its pace and sleeps until something is due.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "net/discovery.h"
#include "net/link.h"
#include "net/lobby.h"
#include "net/lockstep.h"
#include "net/net_play.h"
#include "net/packet.h"
#include "net/rejoin.h"
#include "state/snapshot.h"
#include "state/state_digest.h"
#include "tests/support/world_fixture.h"

namespace {

constexpr uint32_t token = 0x5eed1234;

Packet packet_of_kind(PacketKind kind) {
    Packet packet = {};
    packet.kind = kind, packet.protocol = packet_protocol;
    packet.token = kind == packet_hello || kind == packet_probe || kind == packet_announce ? 0 : token;
    return packet;
}

SideCommand command(int x, int y, int left, int pace = 0, int deals = 0, uint32_t seed = 0) {
    SideCommand made = no_command();
    made.has_cursor = 1;
    made.cursor_x = x, made.cursor_y = y, made.left = static_cast<uint8_t>(left);
    made.pace = static_cast<uint8_t>(pace), made.deals = static_cast<uint8_t>(deals), made.deal_seed = seed;
    return made;
}

// Offsets in the lockstep datagram below: side and leaving 8, the first frame
// 9, the acknowledgements 13 and 14 (a byte each here), the command count 15,
// the first command 16. In the hello: the version's length 8, its text 9; in
// the start: the delay 12, the guest's side 13; in the chunk: the side 13,
// the offset 18 to 21, the length 22 and 23; in the announcement: open 12,
// the port 13 and 14, the version's length 23, the name's length 35, its text 36.
struct Damage {
    const char* name;
    PacketKind kind;
    int offset;  // -1: the size changes instead
    int value;   // the byte written there (over `width` bytes), or the new size
    PacketFault fault;
    int width = 1;
};

TEST(Packet, HostileDatagramsAreRefused) {
    Packet packets[5] = {packet_of_kind(packet_lockstep), packet_of_kind(packet_hello), packet_of_kind(packet_start),
                         packet_of_kind(packet_chunk), packet_of_kind(packet_announce)};
    packets[3].chunk = {30, 4, 1, 2000, 1100, 3, {7, 8, 9}};
    packets[4].announce = {99, 1, 41970, 0x42, "1.0", 0xabcdef, "lan"};
    packets[0].lockstep.first = 10, packets[0].lockstep.command_count = 1;
    packets[0].lockstep.commands[0] = command(1, 2, 0);
    packets[0].lockstep.chat_count = 1;
    packets[0].lockstep.chats[0] = {10, "hi"};
    std::strcpy(packets[1].hello.version, "1.0");
    packets[2].start.delay = 2;
    uint8_t good[5][packet_capacity + 1] = {};
    int sizes[5];
    for (int i = 0; i < 5; ++i) sizes[i] = write_packet(packets[i], good[i], packet_capacity);
    // 16, the command's flags and two one-byte moves, the digest count, the
    // chat count (20), the chat's frame, length (22) and text (23).
    ASSERT_EQ(sizes[0], 25);
    const Damage damages[] = {
        {"shorter than a header", packet_lockstep, -1, 7, packet_wrong_size},
        {"longer than the bound", packet_lockstep, -1, packet_capacity + 1, packet_wrong_size},
        {"wrong magic", packet_lockstep, 0, 'X', packet_wrong_magic},
        {"another protocol", packet_lockstep, 2, packet_protocol + 1, packet_wrong_protocol},
        {"unknown kind", packet_lockstep, 3, packet_announce + 1, packet_unknown_kind},
        {"wrong token", packet_lockstep, 4, 0x35, packet_wrong_token},
        {"cut in the command", packet_lockstep, -1, 18, packet_cut_short},
        {"a byte too many", packet_lockstep, -1, sizes[0] + 1, packet_trailing_bytes},
        {"a flag beyond saving", packet_lockstep, 8, 16, packet_bad_field},
        {"first frame at the end of time", packet_lockstep, 9, 0xff, packet_bad_field, 4},
        {"an acknowledgement before frame 0", packet_lockstep, 13, 21, packet_bad_field},
        {"65 commands", packet_lockstep, 15, 65, packet_bad_field},
        {"pace 5", packet_lockstep, 16, 0xa3, packet_bad_field},
        {"a move without a cursor", packet_lockstep, 16, 0x02, packet_bad_field},
        {"a move of nothing", packet_lockstep, 17, 0x00, packet_bad_field, 2},
        {"an overlong varint", packet_lockstep, 18, 0x80, packet_bad_field},
        {"5 digests", packet_lockstep, 19, 5, packet_bad_field},
        {"4 chats", packet_lockstep, 20, 4, packet_bad_field},
        {"a chat past the commands' frames", packet_lockstep, 21, 1, packet_bad_field},
        {"a chat of nothing", packet_lockstep, 22, 0, packet_bad_field},
        {"a chat of 81 characters", packet_lockstep, 22, 81, packet_bad_field},
        {"a chat longer than what follows", packet_lockstep, 22, 3, packet_cut_short},
        {"a control character in a chat", packet_lockstep, 24, 0x07, packet_bad_field},
        {"a NUL in a chat", packet_lockstep, 24, 0x00, packet_bad_field},
        {"a chat past ASCII", packet_lockstep, 23, 0x80, packet_bad_field},
        {"a control character in the version", packet_hello, 9, '\n', packet_bad_field},
        {"a version of 32", packet_hello, 8, 32, packet_bad_field},
        {"a hello with a token", packet_hello, 4, 1, packet_wrong_token},
        {"a hello of another protocol still reads", packet_hello, 2, packet_protocol + 1, packet_ok},
        {"delay 1", packet_start, 12, 1, packet_bad_field},
        {"delay 21", packet_start, 12, 21, packet_bad_field},
        {"a flag beyond loaded", packet_start, 13, 4, packet_bad_field},
        {"a chunk of side 2", packet_chunk, 13, 2, packet_bad_field},
        {"a chunk past its snapshot's end", packet_chunk, 20, 1, packet_bad_field},
        {"a chunk longer than a datagram holds", packet_chunk, 23, 0x10, packet_bad_field},
        {"a chunk cut short", packet_chunk, -1, 26, packet_cut_short},
        {"an announcement neither open nor closed", packet_announce, 12, 2, packet_bad_field},
        {"an announcement of port 0", packet_announce, 13, 0, packet_bad_field, 2},
        {"an announcement with a token", packet_announce, 4, 1, packet_wrong_token},
        {"a name of 32", packet_announce, 35, 32, packet_bad_field},
        {"a control character in the name", packet_announce, 37, 0x7f, packet_bad_field},
        {"a name cut short", packet_announce, -1, 38, packet_cut_short},
        {"a byte after our own announcement", packet_announce, -1, sizes[4] + 1, packet_trailing_bytes},
    };
    for (const Damage& damage : damages) {
        const int base = damage.kind == packet_lockstep ? 0 : damage.kind == packet_hello ? 1 : damage.kind == packet_start ? 2 : damage.kind == packet_chunk ? 3 : 4;
        uint8_t bytes[packet_capacity + 1];
        std::memcpy(bytes, good[base], sizeof bytes);
        int size = sizes[base];
        if (damage.offset < 0) size = damage.value;
        else std::memset(bytes + damage.offset, damage.value, static_cast<size_t>(damage.width));
        Packet read;
        EXPECT_EQ(read_packet(bytes, size, base == 1 || base == 4 ? 0 : token, &read), damage.fault) << damage.name;
    }
    // Another version's announcement still reads, with what it adds after
    // our fields; so every version's games are listed.
    good[4][2] = packet_protocol + 1;
    Packet read;
    ASSERT_EQ(read_packet(good[4], sizes[4] + 1, 0, &read), packet_ok) << "a later version's longer announcement";
    EXPECT_EQ(std::string(read.announce.name), "lan") << "its name";
    EXPECT_EQ(read.announce.port, 41970) << "its game's port";
    for (int cut = 0; cut < sizes[0]; ++cut) {
        Packet read;
        EXPECT_NE(read_packet(good[0], cut, token, &read), packet_ok) << "cut to " << cut << " bytes";
    }
    // Digests at the last two frames; then the first moved to the very last
    // frame (its varint's low byte, at 17, up by 2): the second would wrap to frame 0.
    Packet digests = packet_of_kind(packet_lockstep);
    digests.lockstep.first = 10, digests.lockstep.digest_count = 2;
    digests.lockstep.digests[0].frame = UINT32_MAX - 1, digests.lockstep.digests[1].frame = UINT32_MAX;
    uint8_t bytes[packet_capacity];
    const int size = write_packet(digests, bytes, packet_capacity);
    ASSERT_EQ(read_packet(bytes, size, token, &read), packet_ok) << "digests at the last two frames";
    bytes[17] += 2;
    EXPECT_EQ(read_packet(bytes, size, token, &read), packet_bad_field) << "a digest after the last frame";
}

// ---- Lockstep -------------------------------------------------------------------

// A tiny generator of our own for the tests' choices (never the game's rand).
struct Dice {
    uint32_t state;
    int below(int n) { return static_cast<int>((state = state * 1664525u + 1013904223u) >> 8) % n; }
};

// Every field of a command in turn, and cursor moves of every size.
SideCommand made_at(int side, uint32_t frame) {
    SideCommand made = command(static_cast<int32_t>(frame * 2654435761u), side * 7 - static_cast<int>(frame % 50),
                               frame % 3 == 0, static_cast<int>(frame % 5), frame % 13 == 0, frame * 31);
    made.has_cursor = frame % 11 != 0;
    made.right = frame % 2;
    return made;
}

// Two sides exchange a datagram per tick through wires that drop, repeat and
// delay them (a late one arrives after later ones); both must run every
// frame with the commands made for it, keep going, and agree at each census.
struct InFlight {
    uint8_t bytes[packet_capacity];
    int size;
    int due;
};
struct Wire {
    InFlight flights[32];
    int count;
} wires[2];

TEST(Lockstep, BothSidesRunTheSameCommandsThroughBadWeather) {
    const struct {
        const char* name;
        int drop_percent, repeat_percent, late_percent;
    } weathers[] = {{"clear", 0, 0, 0}, {"loss", 30, 0, 0}, {"repeats", 0, 50, 0}, {"reordering", 0, 0, 50},
                    {"all at once", 20, 20, 20}};
    for (const auto& weather : weathers) {
        Lockstep sides[2];
        Dice dice = {7};
        int wrong = 0;
        std::string heard[2];  // each side's messages as its frames ran them
        int messages = 0;
        uint32_t saved[2][3] = {}, saves[2] = {};
        for (int side = 0; side < 2; ++side) lockstep_start(&sides[side], side, 4, 0), wires[side].count = 0;
        for (int tick = 0; tick < 2000; ++tick)
            for (int side = 0; side < 2; ++side) {
                Lockstep& me = sides[side];
                if (lockstep_wants_command(me)) lockstep_submit(&me, made_at(side, me.next_frame + 4));
                if (tick % 97 == side * 40) lockstep_say(&me, ("tick " + std::to_string(tick)).c_str());
                // Each side asks for a save, one of them twice at once; both save at the same frames.
                if (tick == 300 + side * 200 || (side == 1 && tick == 501)) lockstep_ask_save(&me);
                while (lockstep_save_due(&me) && saves[side] < 3) saved[side][saves[side]++] = me.next_frame;
                Wire& out = wires[1 - side];
                const int copies =
                    dice.below(100) < weather.drop_percent ? 0 : dice.below(100) < weather.repeat_percent ? 2 : 1;
                Packet packet = packet_of_kind(packet_lockstep);
                lockstep_outgoing(me, &packet.lockstep);
                for (int copy = 0; copy < copies && out.count < 32; ++copy, ++out.count) {
                    out.flights[out.count].size = write_packet(packet, out.flights[out.count].bytes, packet_capacity);
                    out.flights[out.count].due = tick + 3 + copy + (dice.below(100) < weather.late_percent ? 8 : 0);
                }
                Wire& in = wires[side];
                for (int i = in.count - 1; i >= 0; --i) {
                    if (in.flights[i].due > tick) continue;
                    if (read_packet(in.flights[i].bytes, in.flights[i].size, token, &packet) == packet_ok)
                        lockstep_incoming(&me, packet.lockstep, tick);
                    else
                        ++wrong;
                    in.flights[i] = in.flights[--in.count];
                }
                FrameCommands commands;
                const uint32_t frame = me.next_frame;
                if (!lockstep_take(&me, &commands)) continue;
                for (int maker = 0; maker < 2; ++maker)
                    wrong += !same_command(commands.side[maker], frame < 4 ? no_command() : made_at(maker, frame));
                if (frame % 30 == 0) lockstep_note_digest(&me, frame, frame * 7ull);
                ChatMessage message;
                while (lockstep_next_chat(&me, &message)) {
                    heard[side] += std::to_string(message.frame) + " " + std::to_string(message.side) + " " +
                                   message.text + "\n";
                    messages += side;
                }
            }
        EXPECT_EQ(heard[0], heard[1]) << weather.name << ": the messages each side ran, at their frames";
        EXPECT_GE(messages, 15) << weather.name << ": messages that reached side 1";
        EXPECT_EQ(wrong, 0) << weather.name;
        EXPECT_EQ(saves[0], 2u) << weather.name << ": saves made by side 0";
        EXPECT_EQ(saves[1], 2u) << weather.name << ": saves made by side 1";
        for (int i = 0; i < 2; ++i) EXPECT_EQ(saved[0][i], saved[1][i]) << weather.name << ": frame of save " << i;
        for (const Lockstep& side : sides) {
            EXPECT_GT(side.next_frame, 400u) << weather.name;
            EXPECT_EQ(side.packets_refused, 0) << weather.name;
            EXPECT_EQ(side.chats_refused, 0) << weather.name << ": messages repeated are taken once, not refused";
            EXPECT_FALSE(side.desynced) << weather.name;
            EXPECT_LE(side.local_digest_count, 2) << weather.name << ": acknowledged digests are let go";
        }
    }
}

// A side says at most 3 messages in any 120 frames, one a frame: its own
// line holds the rest back, and what a flooding peer sends past the bound
// the other side keeps nowhere.
TEST(Lockstep, ChatPastTheBoundIsKeptByNeitherSide) {
    Lockstep sides[2];
    for (int side = 0; side < 2; ++side) lockstep_start(&sides[side], side, 2, 0);
    EXPECT_TRUE(lockstep_say(&sides[1], "first")) << "a first message";
    EXPECT_FALSE(lockstep_say(&sides[1], "again")) << "a second one with the same command";
    EXPECT_FALSE(lockstep_say(&sides[1], std::string(81, 'a').c_str())) << "81 characters";
    EXPECT_FALSE(lockstep_say(&sides[1], "tab\there")) << "a control character";
    int said = 1;
    Lockstep& flooder = sides[0];
    Lockstep& victim = sides[1];
    int shown = 0, answers_heard = 0;
    for (uint32_t frame = 0; frame < 600; ++frame) {
        said += lockstep_say(&victim, "an answer every frame");
        for (Lockstep* side : {&flooder, &victim})
            if (lockstep_wants_command(*side)) lockstep_submit(side, no_command());
        ChatMessage& flood = flooder.chat_unheld[flooder.chat_unheld_count < lockstep_chat_slots
                                                     ? flooder.chat_unheld_count++
                                                     : lockstep_chat_slots - 1];
        flood = {flooder.known[0] - 1, 0, "flood"};
        for (int from = 0; from < 2; ++from) {
            Packet packet = packet_of_kind(packet_lockstep);
            lockstep_outgoing(sides[from], &packet.lockstep);
            uint8_t bytes[packet_capacity];
            const int size = write_packet(packet, bytes, packet_capacity);
            ASSERT_EQ(read_packet(bytes, size, token, &packet), packet_ok) << "frame " << frame;
            lockstep_incoming(&sides[1 - from], packet.lockstep, frame);
        }
        FrameCommands commands;
        lockstep_take(&flooder, &commands);
        lockstep_take(&victim, &commands);
        ChatMessage message;
        while (lockstep_next_chat(&victim, &message)) shown += message.side == 0;
        while (lockstep_next_chat(&flooder, &message)) answers_heard += message.side == 1;
    }
    EXPECT_GE(said, 12) << "the honest side's messages in 600 frames";
    EXPECT_LE(said, 15) << "the honest side's messages in 600 frames";
    EXPECT_EQ(answers_heard, said) << "the honest side's messages the other side ran";
    EXPECT_GT(victim.next_frame, 590u) << "frames the flooded side ran";
    EXPECT_LE(shown, 15) << "flooded messages shown in 600 frames";
    EXPECT_GE(shown, 12) << "flooded messages shown in 600 frames";
    EXPECT_GE(victim.chats_refused, 500) << "flooded messages refused";
}

// Packets no honest peer sends are refused whole: nothing taken, no word
// from the peer. Refusing all it sends for lockstep_refusal_limit_ms from
// the first refusal since a packet was taken, a side says the games parted.
TEST(Lockstep, ImplausiblePacketsChangeNothingUntilTheGamesPart) {
    const struct {
        const char* name;
        int64_t at;
        uint32_t remote_known, side, first, count, commands_held, digests_held, digest_frame;
        LockstepStatus status;
    } cases[] = {{"our own side", 100, 3, 0, 3, 1, 3, 0, 0, lockstep_running},
                 {"an honest packet", 1500, 3, 1, 3, 0, 3, 0, 0, lockstep_running},
                 {"a gap after what we hold", 1600, 3, 1, 4, 1, 3, 0, 0, lockstep_running},
                 {"beyond the window", 2000, 100, 1, 100, 29, 3, 0, 0, lockstep_waiting},
                 {"acknowledges commands never made", 2500, 3, 1, 3, 1, 5, 0, 0, lockstep_waiting},
                 {"acknowledges a digest never made", 3000, 3, 1, 3, 1, 3, 1, 0, lockstep_waiting},
                 {"a digest beyond the window", 3599, 3, 1, 3, 1, 3, 0, 128, lockstep_waiting},
                 {"our own side, 2 s on", 3600, 3, 0, 3, 1, 3, 0, 0, lockstep_desynced}};
    Lockstep a;
    lockstep_start(&a, 0, 3, 0);
    lockstep_submit(&a, made_at(0, 3));
    for (const auto& c : cases) {
        a.known[1] = c.remote_known;
        LockstepPacket packet = {};
        packet.side = static_cast<uint8_t>(c.side), packet.first = c.first;
        packet.command_count = static_cast<int>(c.count);
        packet.commands_held = c.commands_held, packet.digests_held = c.digests_held;
        for (uint32_t i = 0; i < c.count; ++i) packet.commands[i] = made_at(1, c.first + i);
        packet.digest_count = c.digest_frame ? 1 : 0, packet.digests[0] = {c.digest_frame, 1, {}};
        EXPECT_EQ(lockstep_incoming(&a, packet, c.at), c.at == 1500) << c.name;
        EXPECT_EQ(a.known[1], c.remote_known) << c.name;
        EXPECT_EQ(lockstep_status(a, c.at), c.status) << c.name;
    }
    EXPECT_EQ(a.parting_cause, parted_refusals);
    lockstep_start(&a, 0, 3, 1000);
    const int64_t silences[] = {499, 500, 9999, 10000, 299999, 300000};
    const LockstepStatus said[] = {lockstep_running, lockstep_waiting,  lockstep_waiting,
                                   lockstep_dropped, lockstep_dropped, lockstep_peer_silent};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(lockstep_status(a, 1000 + silences[i]), said[i]) << silences[i] << " ms";
}

// Both sides exchange their packets straight for 10 frames; then side 1
// runs `ahead` frames more on what it holds.
void play_in_step(Lockstep* sides, int ahead) {
    FrameCommands commands;
    for (int side = 0; side < 2; ++side) lockstep_start(&sides[side], side, 3, 0);
    for (int frame = 0; frame < 10; ++frame) {
        LockstepPacket packets[2] = {};
        for (int side = 0; side < 2; ++side)
            lockstep_submit(&sides[side], made_at(side, frame + 3)), lockstep_outgoing(sides[side], &packets[side]);
        for (int side = 0; side < 2; ++side)
            lockstep_incoming(&sides[side], packets[1 - side], 0), lockstep_take(&sides[side], &commands);
    }
    for (int i = 0; i < ahead; ++i) lockstep_take(&sides[1], &commands);
}

// A leaving side's packets end at its last frame: the other runs to it and
// no further, or says where they parted when it ran past it (a forged
// leave that one side believed). The games part when a census differs
// (whichever digest comes first) and when one side says so as it leaves.
TEST(Lockstep, SidesEndOnOneFrameOrSayTheyParted) {
    for (int ahead : {0, 1}) {
        Lockstep sides[2];
        play_in_step(sides, ahead);
        LockstepPacket packet = {};
        packet.side = 1, packet.leaving = 1, packet.first = 10, packet.commands_held = 10;  // forged
        ASSERT_TRUE(lockstep_incoming(&sides[0], packet, 0));
        EXPECT_EQ(lockstep_status(sides[0], 0), lockstep_peer_left);
        lockstep_leave(&sides[0]);
        lockstep_outgoing(sides[0], &packet);
        lockstep_incoming(&sides[1], packet, 0);
        EXPECT_FALSE(lockstep_ready(sides[1], 10)) << ahead << ": commands given past the leaver's last frame";
        EXPECT_EQ(lockstep_status(sides[1], 0), ahead ? lockstep_desynced : lockstep_peer_left) << ahead;
        EXPECT_EQ(sides[1].desync_frame, ahead ? 10u : 0u) << ahead;
        EXPECT_EQ(sides[1].parting_cause, ahead ? parted_overrun : PartingCause()) << ahead;
    }
    for (bool local_first : {true, false}) {
        Lockstep sides[2];
        play_in_step(sides, 0);
        lockstep_note_digest(&sides[1], 9, 1);
        if (local_first) lockstep_note_digest(&sides[0], 9, 1);
        Packet sent = packet_of_kind(packet_lockstep), read;
        sent.lockstep = {1, 0, 0, 13, 0, 13, 0, {}, 1, {{9, 2, {}}}, 0, {}, 0};  // a forged digest parts side 0 only
        lockstep_incoming(&sides[0], sent.lockstep, 0);
        if (!local_first) lockstep_note_digest(&sides[0], 9, 1);
        EXPECT_EQ(sides[0].desync_frame, 9u) << local_first;
        EXPECT_EQ(sides[0].desync_local, 1u) << local_first;
        EXPECT_EQ(sides[0].desync_peer, 2u) << local_first;
        lockstep_leave(&sides[0]);
        lockstep_outgoing(sides[0], &sent.lockstep);
        uint8_t bytes[packet_capacity];
        ASSERT_EQ(read_packet(bytes, write_packet(sent, bytes, sizeof bytes), token, &read), packet_ok);
        lockstep_incoming(&sides[1], read.lockstep, 0);
        EXPECT_EQ(sides[1].parting_cause, parted_told) << "the parting flag";
        EXPECT_EQ(sides[1].desync_frame, 10u) << "the leaver's last frame";
    }
}

// ---- Lobby over loopback --------------------------------------------------------------

constexpr int frame_ms = 16;

void pump(Lobby* lobbies, int count, int64_t* now, int steps) {
    for (int step = 0; step < steps; ++step, *now += 10)
        for (int i = 0; i < count; ++i) lobby_update(&lobbies[i], *now);
}

// The host listens on every address; the tests call it at this machine's.
void open_host(Lobby* host, const char* version, int64_t now) {
    ASSERT_TRUE(lobby_host(host, {version, 0xabcdef, 0x1234}, 0, 4242, 1, frame_ms, now));
}

DatagramAddress loopback(int port) { return datagram_loopback_address(datagram_ipv4, port); }
DatagramAddress at(int socket) { return loopback(datagram_local_port(socket)); }

// A caller of our own: it says hello, pongs at most `pongs` pings, keeps
// the last datagram it heard, and welcomes a hello as a host
// that answers from the address its routes choose.
struct Caller {
    explicit Caller(int family = 0) : socket(datagram_open(family ? datagram_any_address(family, 0) : loopback(0))) {}
    int socket;
    int pongs = 0;
    Packet last = {};
    uint32_t token_heard = 0;
    void knock(const DatagramAddress& to, const char* version = "1.0.0", uint64_t rules = 0xabcdef,
               int protocol = packet_protocol) {
        Packet hello = packet_of_kind(packet_hello);
        hello.protocol = static_cast<uint8_t>(protocol), hello.hello.rules = rules, hello.hello.nonce = 9;
        std::strcpy(hello.hello.version, version);
        uint8_t bytes[packet_capacity];
        datagram_send(socket, to, bytes, write_packet(hello, bytes, sizeof bytes));
    }
    void listen() {
        uint8_t bytes[packet_capacity];
        DatagramAddress from;
        for (int size; (size = datagram_receive(socket, bytes, sizeof bytes, &from)) >= 0;) {
            Packet packet = {};
            if (read_packet(bytes, size, token_heard, &packet) != packet_ok) continue;
            last = packet, token_heard = packet.kind == packet_welcome ? packet.token : token_heard;
            if (packet.kind == packet_hello) packet.kind = packet_welcome, packet.token = 7, packet.welcome.nonce = 5;
            else if (packet.kind != packet_ping || pongs-- <= 0) continue;
            else packet.kind = packet_pong;
            datagram_send(socket, from, bytes, write_packet(packet, bytes, sizeof bytes));
        }
    }
    ~Caller() { datagram_close(socket); }
};

TEST(Lobby, HostAndGuestStartTheSameGameWhileAStrangerKnocks) {
    int64_t now = 1000;
    Lobby lobbies[3];
    Caller stranger;  // never answers a ping
    open_host(&lobbies[0], "1.0.0", now);
    stranger.knock(at(lobbies[0].socket));
    pump(lobbies, 1, &now, 1);
    ASSERT_TRUE(lobby_join(&lobbies[1], {"1.0.0", 0xabcdef, 77}, at(lobbies[0].socket), 5000, now));
    pump(lobbies, 2, &now, 2);
    ASSERT_TRUE(lobby_join(&lobbies[2], {"1.0.0", 0xabcdef, 78}, at(lobbies[0].socket), 5000, now));
    for (int i = 0; i < 300 && lobbies[1].state != lobby_started; ++i) {
        if (i % 10 == 0) stranger.knock(at(lobbies[0].socket));
        pump(lobbies, 3, &now, 1);
    }
    ASSERT_EQ(lobbies[1].state, lobby_started) << "a stranger knocking every 100 ms: " << lobbies[1].message;
    EXPECT_EQ(std::string(lobbies[2].message), "The host already has a player.") << "the caller a step behind";
    EXPECT_EQ(lobbies[1].game.seed, 4242u);
    EXPECT_EQ(lobbies[1].game.local_side, 1);
    EXPECT_EQ(lobbies[1].game.token, lobbies[0].game.token);
    EXPECT_EQ(lobbies[1].game.delay, 3) << "a round trip within a frame";
    EXPECT_EQ(lobbies[1].game.round_trip_ms, 10) << "the guest's round trip: its hello to the welcome";
    stranger.knock(at(lobbies[0].socket));
    pump(lobbies, 1, &now, 1);
    stranger.listen();
    EXPECT_EQ(stranger.last.refuse.reason, refuse_busy) << "a hello once the seat is taken";
    // The guest's first lockstep packet starts the host's game; from then on
    // the host's link turns a newcomer away, and the guest's says nothing.
    Link links[2];
    Lockstep locksteps[2];
    ASSERT_EQ(lobbies[0].state, lobby_starting);
    link_start(&links[1], lobbies[1].game, now);
    lockstep_start(&locksteps[1], 1, 3, now);
    lockstep_submit(&locksteps[1], command(1, 2, 1));
    link_send(&links[1], locksteps[1], now);
    pump(lobbies, 1, &now, 1);
    ASSERT_EQ(lobbies[0].state, lobby_started);
    EXPECT_EQ(lobbies[0].game.local_side, 0);
    link_start(&links[0], lobbies[0].game, now);
    lockstep_start(&locksteps[0], 0, 3, now);
    stranger.knock(at(lobbies[1].socket));
    ASSERT_TRUE(lobby_join(&lobbies[2], {"1.0.0", 0xabcdef, 79}, at(lobbies[0].socket), 5000, now));
    pump(&lobbies[2], 1, &now, 1);
    link_send(&links[1], locksteps[1], now + link_resend_interval_ms);
    for (int i = 0; i < 20 && links[1].datagrams_received == 0; ++i) link_receive(&links[1], &locksteps[1], now);
    link_receive(&links[0], &locksteps[0], now);
    pump(&lobbies[2], 1, &now, 1);
    EXPECT_EQ(std::string(lobbies[2].message), "The host already has a player.");
    EXPECT_EQ(locksteps[0].known[1], 4u) << "the guest's command came through the link";
    stranger.last = {}, stranger.listen();
    EXPECT_EQ(stranger.last.kind, 0) << "the guest answered a stranger's hello";
    for (int side = 0; side < 2; ++side) link_leave(&links[side], &locksteps[side]);
}

// Each part of the comparison refuses alone, and both sides say so; the
// host notes each caller once however often it knocks, and one that leaves
// its handshake unfinished for lobby_handshake_limit_ms, and keeps the last few.
TEST(Lobby, TheHostTellsWhomItRefusedAndWhoStoppedAnswering) {
    int64_t now = 0;
    Lobby lobbies[2];
    open_host(&lobbies[0], "1.0.0", now);
    ASSERT_TRUE(lobby_join(&lobbies[1], {"1.0.1", 0xabcdef, 5}, at(lobbies[0].socket), 5000, now));
    pump(lobbies, 2, &now, 3);
    EXPECT_EQ(std::string(lobbies[1].message),
              "The host plays version 1.0.0, this is version 1.0.1: both players need the same version.");
    const std::string ours = std::to_string(packet_protocol), next = std::to_string(packet_protocol + 1);
    const struct {
        uint64_t rules;
        int protocol;
        std::string host_says;
    } cases[] = {{0xabcdee, packet_protocol, "with version 1.0.0 (rules 0000000000abcdee) could not join: this is "
                                             "version 1.0.0 (rules 0000000000abcdef), and both need"},
                 {0xabcdef, packet_protocol + 1, "with version 1.0.0 (rules 0000000000abcdef, protocol " + next +
                                                     ") could not join: this is version 1.0.0 (rules "
                                                     "0000000000abcdef, protocol " + ours + ")"}};
    Caller callers[3];
    for (int i = 0; i < 2; ++i) {
        for (int knock = 0; knock < 2; ++knock) callers[i].knock(at(lobbies[0].socket), "1.0.0", cases[i].rules,
                                                                 cases[i].protocol), pump(lobbies, 1, &now, 1);
        callers[i].listen();
        EXPECT_EQ(callers[i].last.refuse.reason, refuse_version) << cases[i].host_says;
        EXPECT_NE(std::string(lobby_note(lobbies[0], i + 1)).find(cases[i].host_says), std::string::npos)
            << lobby_note(lobbies[0], i + 1);
    }
    EXPECT_EQ(lobbies[0].notes_made, 3) << "one note each, however often they knocked";
    callers[2].pongs = lobby_pings - 1;
    for (int i = 0; i < lobby_handshake_limit_ms / 10; ++i) {
        if (i % 150 == 0) callers[2].knock(at(lobbies[0].socket));  // a hello again does not put the limit off
        pump(lobbies, 1, &now, 1);
        callers[2].listen();
    }
    EXPECT_EQ(lobbies[0].state, lobby_waiting) << "no seat before the last pong";
    EXPECT_EQ(lobbies[0].notes_made, 3) << "a handshake is given up at its limit";
    pump(lobbies, 1, &now, 1);
    EXPECT_EQ(std::string(lobby_note(lobbies[0], 3)),
              "The player at 127.0.0.1:" + std::to_string(datagram_local_port(callers[2].socket)) + " stopped answering.");
    EXPECT_EQ(std::string(lobby_note(lobbies[0], 0)), "") << "only the last " << lobby_notes_kept << " are kept";
    lobby_close(&lobbies[0]);
}

// The host listens on every address, IPv6 and IPv4, and answers from the
// one its guest called (127.0.0.2, not the 127.0.0.1 its routes choose); a
// guest follows a welcome with its nonce from any other.
TEST(Lobby, AGuestJoinsByAnyAddressOfTheHost) {
    Caller routed(datagram_ipv4);
    Lobby guest;
    DatagramAddress called = at(routed.socket);
    called.bytes[3] = 2;
    ASSERT_TRUE(lobby_join(&guest, {"1.0.0", 0xabcdef, 5}, called, 2000, 0));
    lobby_update(&guest, 0), routed.listen(), lobby_update(&guest, 10);
    EXPECT_EQ(guest.state, lobby_measuring) << guest.message;
    EXPECT_TRUE(same_datagram_address(guest.peer, at(routed.socket))) << "the welcome from 127.0.0.1";
    lobby_close(&guest);
    for (const char* called : {"127.0.0.2", "[::1]"}) {
        int64_t now = 0;
        Lobby lobbies[2];
        open_host(&lobbies[0], "1.0.0", now);
        DatagramAddress host;
        ASSERT_TRUE(datagram_resolve(called, datagram_local_port(lobbies[0].socket), &host));
        if (!lobby_join(&lobbies[1], {"1.0.0", 0xabcdef, 5}, host, 2000, now)) GTEST_SKIP() << lobbies[1].message;
        for (int i = 0; i < 300 && lobbies[1].state != lobby_started; ++i) pump(lobbies, 2, &now, 1);
        EXPECT_EQ(lobbies[1].state, lobby_started) << called << ": " << lobbies[1].message;
        EXPECT_TRUE(same_datagram_address(lobbies[1].game.peer, host)) << called << ": answered from another address";
        Link links[2];
        Lockstep steps[2];
        for (int i = 0; i < 2; ++i) link_start(&links[i], lobbies[i].game, now), lockstep_start(&steps[i], i, 3, now);
        link_send(&links[0], steps[0], now);
        for (int i = 0; i < 20 && steps[1].packets_taken == 0; ++i) link_receive(&links[1], &steps[1], now);
        EXPECT_EQ(steps[1].packets_taken, 1) << called << ": the game's packets from the address called";
        for (const Lobby& lobby : lobbies) datagram_close(lobby.game.socket);
    }
}

// Nobody at the port for the guest's time; a host that welcomes, then
// falls silent for lobby_silence_limit_ms.
TEST(Lobby, AGuestGivesUpOnSilence) {
    int64_t now = 0;
    Caller nobody;
    Lobby lobbies[2];
    ASSERT_TRUE(lobby_join(&lobbies[1], {"1.0.0", 1, 2}, at(nobody.socket), 3000, now));
    pump(&lobbies[1], 1, &now, 300);
    EXPECT_EQ(lobbies[1].state, lobby_joining);
    pump(&lobbies[1], 1, &now, 1);
    EXPECT_EQ(std::string(lobbies[1].message),
              "Nobody answered at 127.0.0.1:" + std::to_string(datagram_local_port(nobody.socket)) + " within 3 s.");
    open_host(&lobbies[0], "1.0.0", now);
    ASSERT_TRUE(lobby_join(&lobbies[1], {"1.0.0", 0xabcdef, 2}, at(lobbies[0].socket), 3000, now));
    pump(lobbies, 2, &now, 2);
    pump(&lobbies[1], 1, &now, lobby_silence_limit_ms / 10 - 1);
    EXPECT_EQ(lobbies[1].state, lobby_measuring);
    pump(&lobbies[1], 1, &now, 1);
    EXPECT_EQ(std::string(lobbies[1].message), "The host stopped answering.");
    lobby_close(&lobbies[0]);
}

TEST(Lobby, InputDelayFollowsTheRoundTrip) {
    const int cases[][3] = {{0, 16, 2}, {1, 16, 3}, {16, 16, 3}, {17, 16, 4}, {100, 17, 8}, {1000, 16, 20}};
    for (const auto& c : cases) EXPECT_EQ(lobby_input_delay(c[0], c[1]), c[2]) << c[0] << " ms at " << c[1];
}

// ---- The games on the LAN, over loopback --------------------------------------------

// A port free at the moment, for a host's discovery.
int free_port() {
    const int socket = datagram_open(loopback(0));
    const int port = datagram_local_port(socket);
    datagram_close(socket);
    return port;
}

void pump_finding(Lobby* hosts, int count, DiscoveryFinder* finder, int64_t* now, int steps) {
    for (int step = 0; step < steps; ++step, *now += 10) {
        for (int i = 0; i < count; ++i) lobby_update(&hosts[i], *now);
        discovery_find_update(finder, *now);
    }
}

int listed(const DiscoveryFinder& finder, int game_port) {
    for (int i = 0; i < finder.game_count; ++i)
        if (finder.games[i].address.port == game_port) return i;
    return -1;
}

// Two hosts, one of another version, each heard at two addresses: listed
// once each, that one marked; a host leaves the list as soon as its game
// starts, and a host that falls silent once the finder stops hearing it.
TEST(Discovery, AFinderListsWaitingHostsUntilTheirGameStartsOrTheyFallSilent) {
    int64_t now = 1000;
    Lobby lobbies[3];
    const int ports[2] = {free_port(), free_port()};
    open_host(&lobbies[0], "1.0.0", now);
    ASSERT_TRUE(lobby_host(&lobbies[1], {"0.9.0", 0xabcdef, 0x99}, 0, 1, 1, frame_ms, now));
    for (int i = 0; i < 2; ++i) ASSERT_TRUE(lobby_announce(&lobbies[i], 0x100 + i, ports[i])) << "host " << i;
    static DiscoveryFinder finder;
    const DatagramAddress first = loopback(ports[0]);
    ASSERT_TRUE(discovery_find_begin(&finder, "1.0.0", 0xabcdef, &first, 0, now));
    finder.targets[finder.target_count++] = loopback(ports[1]);
    // The first host at ::1 too, where the system has IPv6 on loopback.
    if (finder.sockets[1] >= 0) finder.targets[finder.target_count++] = datagram_loopback_address(datagram_ipv6, ports[0]);
    pump_finding(lobbies, 2, &finder, &now, 2);
    ASSERT_EQ(finder.game_count, 2) << "both hosts, each once";
    const int ours = listed(finder, datagram_local_port(lobbies[0].socket));
    const int other = listed(finder, datagram_local_port(lobbies[1].socket));
    ASSERT_GE(ours, 0) << "the host of our version, at its game's port";
    ASSERT_GE(other, 0) << "the host of another version";
    EXPECT_TRUE(finder.games[ours].playable) << "our version's game can be chosen";
    EXPECT_FALSE(finder.games[other].playable) << "another version's cannot";
    EXPECT_EQ(finder.games[ours].address.family, datagram_ipv4) << "a host heard at two addresses keeps its IPv4 one";
    EXPECT_EQ(finder.games[ours].round_trip_ms, 10) << "the probe at one step, its answer taken at the next";

    ASSERT_TRUE(lobby_join(&lobbies[2], {"1.0.0", 0xabcdef, 77}, at(lobbies[0].socket), 5000, now));
    for (int i = 0; i < 100 && lobbies[0].state == lobby_waiting; ++i) pump_finding(lobbies, 3, &finder, &now, 1);
    ASSERT_EQ(lobbies[0].state, lobby_starting);
    pump_finding(lobbies, 1, &finder, &now, 1);
    EXPECT_EQ(listed(finder, datagram_local_port(lobbies[0].socket)), -1) << "gone at once when its game starts";
    EXPECT_EQ(finder.game_count, 1) << "the other host stays";
    const int answered = lobbies[0].discovery.announcements_sent;
    pump_finding(lobbies, 1, &finder, &now, discovery_probe_interval_ms / 10);
    EXPECT_EQ(lobbies[0].discovery.announcements_sent, answered) << "a host whose game started answers no probe";

    datagram_close(lobbies[1].discovery.socket);  // silent, as a host that crashed
    lobbies[1].discovery.socket = -1;
    const int64_t last_heard = finder.games[0].heard_ms;
    pump_finding(lobbies, 1, &finder, &now, static_cast<int>(last_heard + discovery_forget_ms - now) / 10);
    EXPECT_EQ(finder.game_count, 1) << "a silent host while it may still answer";
    pump_finding(lobbies, 1, &finder, &now, 2);
    EXPECT_EQ(finder.game_count, 0) << "a host silent for longer than discovery_forget_ms";
    discovery_find_end(&finder);
    for (Lobby& lobby : lobbies) lobby_close(&lobby);
}

// ---- The pace of a window's game -------------------------------------------------------

// Drawn or minimised, a frame runs at its moment: a hitch is made up for, a
// long stall is not; asleep, the game wakes for the frame's moment or the
// link's next packet, whichever comes first.
TEST(NetPlay, FramesKeepThePaceAndTheSleepEndsWhenSomethingIsDue) {
    const int socket = datagram_open(datagram_loopback_address(datagram_ipv4, 0));
    ASSERT_GE(socket, 0) << datagram_last_error();
    static NetPlay play;
    net_play_start(&play, {socket, datagram_loopback_address(datagram_ipv4, 9), {}, token, 1, 3, 0, false, 0, 0, {}, 0, false}, 1000);
    EXPECT_TRUE(net_play_frame_due(play, 1000)) << "the first frame is due at the start";
    net_play_pace(&play, 0, 1000);
    EXPECT_FALSE(net_play_frame_due(play, 1015)) << "the second frame is due before its moment";
    EXPECT_TRUE(net_play_frame_due(play, 1016)) << "the second frame is not due at its moment";
    net_play_pace(&play, 12, 1040);
    EXPECT_EQ(play.next_frame_ms, 1044) << "the third frame's moment after a late second at the pace keys' 12 ms";
    net_play_pace(&play, 0, 1044 + 15 * 16 + 1);
    EXPECT_EQ(play.next_frame_ms, 1301) << "the fourth frame's moment after a third more than 15 frames late";
    net_play_exchange(&play, 1276);
    EXPECT_EQ(net_play_quiet_ms(play, 1286, 100), 15) << "sleep before the frame's moment";
    EXPECT_EQ(net_play_quiet_ms(play, 1286, 10), 10) << "sleep past the caller's limit";
    play.next_frame_ms = 1400;
    EXPECT_EQ(net_play_quiet_ms(play, 1286, 100), 40) << "sleep before the link's next packet";
    play.stalled_since_ms = 1000;
    EXPECT_EQ(net_play_waited_seconds(play, 1500), 1) << "seconds told as the wait is first shown";
    datagram_close(socket);
}

}  // namespace

// ---- Coming back after a drop ----------------------------------------------------

class Rejoin : public WorldTest {};

// The seat kept for a dropped player: a stranger's knock, another build's
// and a ready that does not match are refused and counted, the game waiting
// untouched; the right secret gets the snapshot, and a matching ready starts
// the lockstep again at the waiting frame, talking to the returner, after
// both sides' countdowns.
TEST_F(Rejoin, OnlyTheSamePlayerOfTheSameBuildTakesTheSeatBack) {
    const int socket = datagram_open(datagram_loopback_address(datagram_ipv4, 0));
    ASSERT_GE(socket, 0) << datagram_last_error();
    static NetPlay play;
    net_play_start(&play, {socket, datagram_loopback_address(datagram_ipv4, 9), {}, token, 1, 3, 0, true, 0, 77, "1.0", 5, false},
                   1000);
    play.lockstep.next_frame = play.frames_run = 40;
    const DatagramAddress returner = datagram_loopback_address(datagram_ipv4, 10);
    Packet knock = packet_of_kind(packet_rejoin);
    std::strcpy(knock.rejoin.version, "1.0"), knock.rejoin.rules = 5, knock.rejoin.secret = 78;
    rejoin_seat_take(&play.seat, &play.link, &play.lockstep, knock, returner, {}, 2000);
    knock.rejoin.secret = 77, knock.rejoin.rules = 6;
    rejoin_seat_take(&play.seat, &play.link, &play.lockstep, knock, returner, {}, 2000);
    EXPECT_FALSE(play.seat.sending) << "a refused knock got the snapshot";
    knock.rejoin.rules = 5;
    rejoin_seat_take(&play.seat, &play.link, &play.lockstep, knock, returner, {}, 1200);
    EXPECT_FALSE(play.seat.sending) << "a knock taken while the game still runs";
    rejoin_seat_take(&play.seat, &play.link, &play.lockstep, knock, returner, {}, 2000);
    EXPECT_TRUE(play.seat.sending) << "the same player's knock got no snapshot";
    Packet ready = packet_of_kind(packet_ready);
    ready.ready = {40, digest_game_state().whole ^ 1};
    EXPECT_FALSE(rejoin_seat_take(&play.seat, &play.link, &play.lockstep, ready, returner, {}, 2000))
        << "a ready whose digest differs";
    EXPECT_EQ(play.seat.refused, 3) << "knocks and readies refused";
    ready.ready.digest ^= 1;
    EXPECT_TRUE(rejoin_seat_take(&play.seat, &play.link, &play.lockstep, ready, returner, {}, 2000))
        << "a ready that matches";
    EXPECT_TRUE(same_datagram_address(play.link.game.peer, returner)) << "the link does not talk to the returner";
    // Both count down; frame 40 runs once both sides let it go, whichever is later.
    net_play_exchange(&play, 2000);
    EXPECT_FALSE(net_play_wants_command(play)) << "a command wanted during the countdown";
    char line[128];
    net_play_waiting_line(play, 2001 + net_resume_countdown_ms - 1000, line, sizeof line);
    EXPECT_STREQ(line, "Both players are here: the game goes on in 1 s.") << "the countdown's line";
    net_play_exchange(&play, 1999 + net_resume_countdown_ms);
    EXPECT_FALSE(net_play_wants_command(play)) << "a command wanted a millisecond before the countdown's end";
    net_play_exchange(&play, 2000 + net_resume_countdown_ms);
    EXPECT_TRUE(net_play_wants_command(play)) << "no command wanted after the countdown";
    EXPECT_FALSE(lockstep_ready(play.lockstep, 40)) << "frame 40 ran before the returner's countdown ended";
    Lockstep other;
    lockstep_start(&other, 1, 3, 2000, 40);
    lockstep_hold(&other);
    lockstep_release(&other);
    Packet sent = packet_of_kind(packet_lockstep);
    lockstep_outgoing(other, &sent.lockstep);
    lockstep_incoming(&play.lockstep, sent.lockstep, 2000 + net_resume_countdown_ms);
    EXPECT_TRUE(lockstep_ready(play.lockstep, 40)) << "frame 40 held once both countdowns ended";
    datagram_close(socket);
}

// The returner's side: chunks that do not fit and a snapshot whose digest
// does not match are refused and counted; a refused snapshot is knocked for
// again, and the third refused ends the return with its reason.
TEST_F(Rejoin, AReturnerRefusesWhatDoesNotFitAndAsksAgainForASnapshotThatDoesNotCheck) {
    const int stayer = datagram_open(datagram_loopback_address(datagram_ipv4, 0));
    ASSERT_GE(stayer, 0) << datagram_last_error();
    const DatagramAddress stayer_address = datagram_loopback_address(datagram_ipv4, datagram_local_port(stayer));
    static uint8_t good[snapshot_bytes], damaged[snapshot_bytes];
    place_unit(5, 1, 30, 20, 20);
    const uint64_t sent_state = digest_game_state().whole;
    snapshot_to_bytes(good);
    place_unit(5, 1, 30, 21, 20);  // the returner's own state moved on
    std::memcpy(damaged, good, sizeof damaged);
    damaged[snapshot_bytes - 1] ^= 1;  // the digest it carries
    static RejoinReturn back;
    NetGame game = {-1, stayer_address, {}, token, 1, 3, 1, false, 0, 77, "1.0", 5, false};
    ASSERT_TRUE(rejoin_return_start(&back, game, "1.0", 5, 0));
    int64_t now = 0;
    DatagramAddress returner{};
    // Knocks heard by the stayer (the returner's acknowledgements are let go).
    auto knocks_heard = [&] {
        int knocks = 0;
        uint8_t bytes[packet_capacity];
        Packet packet;
        for (int size; datagram_wait(stayer, 0) && (size = datagram_receive(stayer, bytes, sizeof bytes, &returner)) >= 0;)
            knocks += read_packet(bytes, size, token, &packet) == packet_ok && packet.kind == packet_rejoin;
        return knocks;
    };
    auto send_chunk = [&](const uint8_t* snapshot, uint32_t total, uint32_t offset, int length) {
        Packet packet = packet_of_kind(packet_chunk);
        packet.chunk = {40, 3, 1, total, offset, length, {}};
        std::memcpy(packet.chunk.bytes, snapshot + offset, static_cast<size_t>(length));
        uint8_t bytes[packet_capacity];
        datagram_send(stayer, returner, bytes, write_packet(packet, bytes, sizeof bytes));
    };
    auto send_snapshot = [&](const uint8_t* snapshot) {
        for (int offset = 0; offset < snapshot_bytes; offset += packet_chunk_most_bytes)
            send_chunk(snapshot, snapshot_bytes, offset, std::min(snapshot_bytes - offset, packet_chunk_most_bytes));
    };
    // Everything sent taken, then a moment later (a knock due).
    auto take = [&](RejoinReturn* returner) {
        for (int i = 0; i < 20 && datagram_wait(returner->game.socket, 50); ++i) rejoin_return_update(returner, now += 1);
        rejoin_return_update(returner, now += rejoin_resend_ms);
    };
    take(&back);
    ASSERT_EQ(knocks_heard(), 1) << "the returner's first knock";
    send_chunk(good, snapshot_bytes + 1, 0, packet_chunk_most_bytes);
    send_chunk(good, snapshot_bytes, 1, packet_chunk_most_bytes);
    send_chunk(good, snapshot_bytes, 0, 10);
    take(&back);
    EXPECT_EQ(back.refused, 3) << "chunks of another size, off their place, of the wrong length";
    EXPECT_EQ(back.state, rejoin_knocking) << "a chunk that does not fit was taken";
    knocks_heard();
    send_snapshot(damaged);
    take(&back);
    EXPECT_EQ(back.snapshots_refused, 1) << "a snapshot whose digest does not match";
    EXPECT_EQ(back.state, rejoin_knocking) << "the state after a snapshot refused";
    EXPECT_GE(knocks_heard(), 1) << "no knock for the snapshot again";
    send_snapshot(good);
    take(&back);
    EXPECT_EQ(back.state, rejoin_back) << "the good snapshot after a damaged one";
    EXPECT_EQ(digest_game_state().whole, sent_state) << "the state loaded";
    static RejoinReturn stubborn;
    ASSERT_TRUE(rejoin_return_start(&stubborn, game, "1.0", 5, 0));
    for (int sent = 0; sent < rejoin_most_snapshots_refused; ++sent) {
        take(&stubborn);
        knocks_heard();
        send_snapshot(damaged);
    }
    take(&stubborn);
    EXPECT_EQ(stubborn.state, rejoin_failed) << "after " << rejoin_most_snapshots_refused << " snapshots refused";
    EXPECT_NE(std::string(stubborn.message).find("The game sent back was refused"), std::string::npos) << stubborn.message;
    datagram_close(back.game.socket);
    datagram_close(stubborn.game.socket);
    datagram_close(stayer);
}
