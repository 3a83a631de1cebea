// Network play: packets read back as written and every out-of-bounds datagram
// is refused with its fault; two lockstep cores run the same commands
// through loss, duplication and reordering, stall without the other side,
// and find a differing census; the lobby over loopback starts a game,
// refuses another version and a third player, and gives up on silence.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "net/lobby.h"
#include "net/lockstep.h"
#include "net/packet.h"

namespace {

constexpr uint32_t token = 0x5eed1234;

Packet new_packet(PacketKind kind) {
    Packet packet;
    std::memset(&packet, 0, sizeof packet);
    packet.kind = kind;
    packet.protocol = packet_protocol;
    packet.token = kind == packet_hello || kind == packet_refuse ? 0 : token;
    return packet;
}

SideCommand command(int x, int y, int left, int pace = 0, int deals = 0, uint32_t seed = 0) {
    SideCommand made = no_command();
    made.has_cursor = 1;
    made.cursor_x = x, made.cursor_y = y, made.left = static_cast<uint8_t>(left);
    made.pace = static_cast<uint8_t>(pace), made.deals = static_cast<uint8_t>(deals), made.deal_seed = seed;
    return made;
}

// Commands that reach every field and every size of cursor move.
Packet varied_lockstep_packet() {
    Packet packet = new_packet(packet_lockstep);
    LockstepPacket& lockstep = packet.lockstep;
    lockstep.side = 1, lockstep.leaving = 1, lockstep.commands_held = 77, lockstep.digests_held = 61;
    lockstep.first = 70;
    const SideCommand commands[] = {command(5, 7, 1), command(5, 7, 0, 3), no_command(), command(-20, 4075, 1),
                                    command(INT32_MIN, INT32_MAX, 0, 4, 1, 0xdeadbeef), command(63, 0, 1)};
    for (const SideCommand& made : commands) lockstep.commands[lockstep.command_count++] = made;
    lockstep.commands[2].right = 1;
    lockstep.digest_count = 2;
    lockstep.digests[0] = {30, 0x0123456789abcdefull};
    lockstep.digests[1] = {60, 42};
    return packet;
}

TEST(Packet, LockstepReadsBackAsWritten) {
    const Packet sent = varied_lockstep_packet();
    uint8_t bytes[packet_capacity];
    const int size = write_packet(sent, bytes, sizeof bytes);
    Packet read;
    ASSERT_EQ(read_packet(bytes, size, token, &read), packet_ok);
    EXPECT_EQ(read.lockstep.side, 1);
    EXPECT_EQ(read.lockstep.leaving, 1);
    EXPECT_EQ(read.lockstep.commands_held, 77u);
    EXPECT_EQ(read.lockstep.digests_held, 61u);
    EXPECT_EQ(read.lockstep.first, 70u);
    ASSERT_EQ(read.lockstep.command_count, sent.lockstep.command_count);
    for (int i = 0; i < sent.lockstep.command_count; ++i) {
        const SideCommand& a = read.lockstep.commands[i];
        const SideCommand& b = sent.lockstep.commands[i];
        EXPECT_TRUE(same_command(a, b)) << "command " << i;
        EXPECT_EQ(a.cursor_x, b.cursor_x) << "command " << i;
        EXPECT_EQ(a.cursor_y, b.cursor_y) << "command " << i;
        EXPECT_EQ(a.deal_seed, b.deal_seed) << "command " << i;
    }
    ASSERT_EQ(read.lockstep.digest_count, 2);
    EXPECT_EQ(read.lockstep.digests[0].frame, 30u);
    EXPECT_EQ(read.lockstep.digests[0].whole, 0x0123456789abcdefull);
    EXPECT_EQ(read.lockstep.digests[1].whole, 42u);
}

TEST(Packet, LobbyKindsReadBackAsWritten) {
    Packet hello = new_packet(packet_hello);
    std::strcpy(hello.hello.version, "1.0.0");
    hello.hello.rules = 0xfeedfacecafebeefull, hello.hello.nonce = 99;
    Packet refuse = new_packet(packet_refuse);
    refuse.refuse.reason = refuse_version, refuse.refuse.nonce = 99, refuse.refuse.rules = 5;
    std::strcpy(refuse.refuse.version, "2.1 beta");
    Packet start = new_packet(packet_start);
    start.start.seed = 0x87654321u, start.start.delay = 20, start.start.guest_side = 1;
    Packet pong = new_packet(packet_pong);
    pong.ping.sent_ms = 0xfffffff0u;
    uint8_t bytes[packet_capacity];
    Packet read;
    ASSERT_EQ(read_packet(bytes, write_packet(hello, bytes, sizeof bytes), 0, &read), packet_ok);
    EXPECT_STREQ(read.hello.version, "1.0.0");
    EXPECT_EQ(read.hello.rules, 0xfeedfacecafebeefull);
    EXPECT_EQ(read.hello.nonce, 99u);
    ASSERT_EQ(read_packet(bytes, write_packet(refuse, bytes, sizeof bytes), 0, &read), packet_ok);
    EXPECT_STREQ(read.refuse.version, "2.1 beta");
    EXPECT_EQ(read.refuse.reason, refuse_version);
    ASSERT_EQ(read_packet(bytes, write_packet(start, bytes, sizeof bytes), token, &read), packet_ok);
    EXPECT_EQ(read.start.seed, 0x87654321u);
    EXPECT_EQ(read.start.delay, 20);
    EXPECT_EQ(read.start.guest_side, 1);
    ASSERT_EQ(read_packet(bytes, write_packet(pong, bytes, sizeof bytes), token, &read), packet_ok);
    EXPECT_EQ(read.kind, packet_pong);
    EXPECT_EQ(read.ping.sent_ms, 0xfffffff0u);
}

// What a frame costs when the cursor moves a tile each frame and nothing else
// happens: the figure behind the bytes per minute (docs/network.md).
TEST(Packet, EightFramesOfAMovingCursorStaySmall) {
    Packet packet = new_packet(packet_lockstep);
    packet.lockstep.command_count = 8;
    for (int i = 0; i < 8; ++i) packet.lockstep.commands[i] = command(30 + i, 20, 0);
    uint8_t bytes[packet_capacity];
    EXPECT_LE(write_packet(packet, bytes, sizeof bytes), 50);
}

// Offsets in a lockstep datagram: side and leaving 8, the first frame 9, the
// acknowledgements 13 and 14 (a byte each here), the command count 15, the
// first command 16.
struct Damage {
    const char* name;
    int offset;  // -1: the size changes instead
    int value;   // the byte written there (over `width` bytes), or the new size
    PacketFault fault;
    int width = 1;
};

TEST(Packet, HostileDatagramsAreRefused) {
    Packet packet = new_packet(packet_lockstep);
    packet.lockstep.first = 10, packet.lockstep.command_count = 1, packet.lockstep.commands[0] = command(1, 2, 0);
    uint8_t good[packet_capacity + 1] = {};
    const int size = write_packet(packet, good, sizeof good);
    ASSERT_EQ(size, 20);  // 16, the command's flags and two one-byte moves, the digest count
    const Damage damages[] = {
        {"shorter than a header", -1, 7, packet_wrong_size},
        {"longer than the bound", -1, packet_capacity + 1, packet_wrong_size},
        {"wrong magic", 0, 'X', packet_wrong_magic},
        {"another protocol", 2, packet_protocol + 1, packet_wrong_protocol},
        {"unknown kind", 3, 8, packet_unknown_kind},
        {"wrong token", 4, 0x35, packet_wrong_token},
        {"cut in the command", -1, 18, packet_cut_short},
        {"a byte too many", -1, size + 1, packet_trailing_bytes},
        {"a side beyond 1", 8, 4, packet_bad_field},
        {"first frame at the end of time", 9, 0xff, packet_bad_field, 4},
        {"an acknowledgement before frame 0", 13, 21, packet_bad_field},
        {"65 commands", 15, 65, packet_bad_field},
        {"pace 5", 16, 0xa3, packet_bad_field},
        {"a move without a cursor", 16, 0x02, packet_bad_field},
        {"a move of nothing", 17, 0x00, packet_bad_field, 2},
        {"an overlong varint", 18, 0x80, packet_bad_field},
        {"5 digests", 19, 5, packet_bad_field},
    };
    for (const Damage& damage : damages) {
        uint8_t bytes[packet_capacity + 1];
        std::memcpy(bytes, good, sizeof bytes);
        int damaged_size = size;
        if (damage.offset < 0) damaged_size = damage.value;
        else std::memset(bytes + damage.offset, damage.value, static_cast<size_t>(damage.width));
        Packet read;
        EXPECT_EQ(read_packet(bytes, damaged_size, token, &read), damage.fault) << damage.name;
    }
    for (int cut = 0; cut < size; ++cut) {
        Packet read;
        EXPECT_NE(read_packet(good, cut, token, &read), packet_ok) << "cut to " << cut << " bytes";
    }
}

TEST(Packet, LobbyFieldsOutOfBoundsAreRefused) {
    Packet hello = new_packet(packet_hello);
    std::strcpy(hello.hello.version, "1.0");
    uint8_t bytes[packet_capacity];
    const int hello_size = write_packet(hello, bytes, sizeof bytes);
    Packet read;
    bytes[9] = '\n';  // inside the version text
    EXPECT_EQ(read_packet(bytes, hello_size, 0, &read), packet_bad_field) << "control character";
    bytes[8] = 32;
    EXPECT_EQ(read_packet(bytes, hello_size, 0, &read), packet_bad_field) << "text of 32";
    bytes[8] = 3, bytes[9] = '1', bytes[2] = packet_protocol + 1;
    EXPECT_EQ(read_packet(bytes, hello_size, 0, &read), packet_ok) << "a hello of another protocol still reads";
    bytes[4] = 1;
    EXPECT_EQ(read_packet(bytes, hello_size, 0, &read), packet_wrong_token) << "a hello with a token";
    Packet start = new_packet(packet_start);
    start.start.delay = 2;
    const int start_size = write_packet(start, bytes, sizeof bytes);
    for (int delay : {1, 21}) {
        bytes[12] = static_cast<uint8_t>(delay);
        EXPECT_EQ(read_packet(bytes, start_size, token, &read), packet_bad_field) << "delay " << delay;
    }
    start.start.delay = 21;
    EXPECT_EQ(write_packet(start, bytes, sizeof bytes), 0) << "the writer keeps the same bounds";
}

// ---- Lockstep -------------------------------------------------------------------

// A tiny generator of our own for the tests' choices (never the game's rand).
struct Dice {
    uint32_t state;
    int below(int n) { return static_cast<int>((state = state * 1664525u + 1013904223u) >> 8) % n; }
};

SideCommand made_at(int side, uint32_t frame) { return command(static_cast<int>(frame % 64), side * 7, frame % 3 == 0); }

// Two sides exchange a packet per tick through wires that drop, repeat and
// delay them (a late packet arrives after later ones); both must run every
// frame with the commands made for it, and keep going.
struct InFlight {
    LockstepPacket packet;
    int due;
};
struct Wire {
    InFlight flights[32];
    int count;
};
Wire wires[2];

struct Weather {
    const char* name;
    int drop_percent;
    int repeat_percent;
    int late_percent;
};

TEST(Lockstep, BothSidesRunTheSameCommandsThroughBadWeather) {
    const Weather weathers[] = {{"clear", 0, 0, 0}, {"loss", 30, 0, 0}, {"repeats", 0, 50, 0},
                                {"reordering", 0, 0, 50}, {"all at once", 20, 20, 20}};
    for (const Weather& weather : weathers) {
        Lockstep sides[2];
        Dice dice = {7};
        int wrong = 0;
        for (int side = 0; side < 2; ++side) lockstep_start(&sides[side], side, 4, 0), wires[side].count = 0;
        for (int tick = 0; tick < 2000; ++tick)
            for (int side = 0; side < 2; ++side) {
                Lockstep& me = sides[side];
                if (lockstep_wants_command(me)) lockstep_submit(&me, made_at(side, me.next_frame + 4));
                Wire& out = wires[1 - side];
                const int copies = dice.below(100) < weather.drop_percent ? 0 : dice.below(100) < weather.repeat_percent ? 2 : 1;
                for (int copy = 0; copy < copies && out.count < 32; ++copy, ++out.count) {
                    lockstep_outgoing(me, &out.flights[out.count].packet);
                    out.flights[out.count].due = tick + 3 + copy + (dice.below(100) < weather.late_percent ? 8 : 0);
                }
                Wire& in = wires[side];
                for (int i = 0; i < in.count;)
                    if (in.flights[i].due <= tick) lockstep_incoming(&me, in.flights[i].packet, tick), in.flights[i] = in.flights[--in.count];
                    else ++i;
                FrameCommands commands;
                const uint32_t frame = me.next_frame;
                if (!lockstep_take(&me, &commands)) continue;
                for (int maker = 0; maker < 2; ++maker)
                    wrong += !same_command(commands.side[maker], frame < 4 ? no_command() : made_at(maker, frame));
            }
        EXPECT_EQ(wrong, 0) << weather.name;
        EXPECT_GT(sides[0].next_frame, 400u) << weather.name;
        EXPECT_GT(sides[1].next_frame, 400u) << weather.name;
        EXPECT_EQ(sides[0].packets_refused + sides[1].packets_refused, 0) << weather.name;
    }
}

TEST(Lockstep, StallsWithoutTheOtherSideAndAcknowledgementsTrimThePacket) {
    Lockstep a, b;
    lockstep_start(&a, 0, 3, 1000);
    lockstep_start(&b, 1, 3, 1000);
    FrameCommands commands;
    int run = 0;
    for (int i = 0; i < 10; ++i) {
        if (lockstep_wants_command(a)) lockstep_submit(&a, made_at(0, a.next_frame + 3));
        run += lockstep_take(&a, &commands);
    }
    EXPECT_EQ(run, 3) << "the frames before the delay run without the other side";
    EXPECT_EQ(lockstep_status(a, 1499), lockstep_running);
    EXPECT_EQ(lockstep_status(a, 1500), lockstep_waiting);
    EXPECT_EQ(lockstep_status(a, 10999), lockstep_waiting);
    EXPECT_EQ(lockstep_status(a, 11000), lockstep_peer_silent);
    LockstepPacket packet;
    lockstep_outgoing(a, &packet);
    EXPECT_EQ(packet.first, 3u);
    EXPECT_EQ(packet.command_count, 4) << "frames 3 to 6 wait to be acknowledged";
    lockstep_submit(&b, made_at(1, 3));
    lockstep_incoming(&b, packet, 2000);
    LockstepPacket answer;
    lockstep_outgoing(b, &answer);
    EXPECT_EQ(answer.commands_held, 7u);
    EXPECT_TRUE(lockstep_incoming(&a, answer, 12000));
    EXPECT_EQ(lockstep_status(a, 12000), lockstep_running) << "a packet ends the silence";
    EXPECT_TRUE(lockstep_take(&a, &commands));
    EXPECT_TRUE(same_command(commands.side[1], made_at(1, 3)));
    lockstep_outgoing(a, &packet);
    EXPECT_EQ(packet.first, 7u) << "acknowledged commands are not sent again";
    EXPECT_EQ(packet.command_count, 0);
}

TEST(Lockstep, ImplausiblePacketsChangeNothing) {
    struct Case {
        const char* name;
        uint32_t remote_known;  // the other side's commands we hold
        uint8_t side;
        uint32_t first;
        int count;
        uint32_t commands_held, digests_held, digest_frame;
    } cases[] = {
        {"our own side", 3, 0, 3, 1, 3, 0, 0},
        {"a gap after what we hold", 3, 1, 4, 1, 3, 0, 0},
        {"beyond the window", 100, 1, 100, 29, 3, 0, 0},
        {"acknowledges commands never made", 3, 1, 3, 1, 5, 0, 0},
        {"acknowledges a digest never made", 3, 1, 3, 1, 3, 1, 0},
        {"a digest beyond the window", 3, 1, 3, 1, 3, 0, 128},
    };
    for (const Case& c : cases) {
        Lockstep a;
        lockstep_start(&a, 0, 3, 0);
        lockstep_submit(&a, made_at(0, 3));
        a.known[1] = c.remote_known;
        LockstepPacket packet = {};
        packet.side = c.side, packet.first = c.first, packet.command_count = c.count;
        packet.commands_held = c.commands_held, packet.digests_held = c.digests_held;
        for (int i = 0; i < c.count; ++i) packet.commands[i] = made_at(1, c.first + i);
        packet.digest_count = c.digest_frame ? 1 : 0, packet.digests[0] = {c.digest_frame, 1};
        EXPECT_FALSE(lockstep_incoming(&a, packet, 5000)) << c.name;
        EXPECT_EQ(a.known[1], c.remote_known) << c.name;
        EXPECT_EQ(a.packets_refused, 1) << c.name;
        EXPECT_EQ(lockstep_silence_ms(a, 5000), 5000) << c.name << ": a refused packet is no word from the peer";
    }
}

TEST(Lockstep, RepeatedFramesKeepTheFirstCommandAndTheLeavingFlagEndsTheGame) {
    Lockstep a;
    lockstep_start(&a, 0, 2, 0);
    LockstepPacket packet = {};
    packet.side = 1, packet.first = 2, packet.commands_held = 2, packet.command_count = 1;
    packet.commands[0] = made_at(1, 2);
    ASSERT_TRUE(lockstep_incoming(&a, packet, 10));
    packet.commands[0] = command(9, 9, 1);
    packet.leaving = 1;
    ASSERT_TRUE(lockstep_incoming(&a, packet, 20));
    lockstep_submit(&a, no_command());
    EXPECT_TRUE(same_command(lockstep_commands(a, 2).side[1], made_at(1, 2)));
    EXPECT_EQ(lockstep_status(a, 20), lockstep_peer_left);
}

TEST(Lockstep, CensusDigestsAreComparedWhicheverComesFirst) {
    for (bool local_first : {true, false}) {
        Lockstep a;
        lockstep_start(&a, 0, 2, 0);
        LockstepPacket packet = {};
        packet.side = 1, packet.first = 2, packet.commands_held = 2, packet.digest_count = 2;
        packet.digests[0] = {30, 111}, packet.digests[1] = {60, 222};
        if (local_first) lockstep_note_digest(&a, 30, 111), lockstep_note_digest(&a, 60, 999);
        lockstep_incoming(&a, packet, 0);
        if (!local_first) lockstep_note_digest(&a, 30, 111), lockstep_note_digest(&a, 60, 999);
        EXPECT_TRUE(a.desynced) << local_first;
        EXPECT_EQ(a.desync_frame, 60u) << local_first;
        EXPECT_EQ(a.desync_local, 999u) << local_first;
        EXPECT_EQ(a.desync_peer, 222u) << local_first;
        EXPECT_EQ(lockstep_status(a, 0), lockstep_desynced);
        LockstepPacket out;
        lockstep_outgoing(a, &out);
        EXPECT_EQ(out.digests_held, 61u) << local_first;
        ASSERT_EQ(out.digest_count, 2) << "ours go until acknowledged";
        packet.digests_held = 31, packet.digest_count = 0;
        lockstep_incoming(&a, packet, 0);
        lockstep_outgoing(a, &out);
        ASSERT_EQ(out.digest_count, 1);
        EXPECT_EQ(out.digests[0].frame, 60u);
    }
}

// ---- Lobby over loopback --------------------------------------------------------------

constexpr int frame_ms = 16;

void pump(Lobby* lobbies, int count, int64_t* now, int steps) {
    for (int step = 0; step < steps; ++step, *now += 10)
        for (int i = 0; i < count; ++i) lobby_update(&lobbies[i], *now);
}

void open_host(Lobby* host, const char* version, int64_t now) {
    ASSERT_TRUE(lobby_host(host, {version, 0xabcdef, 0x1234}, datagram_loopback_address(datagram_ipv4, 0), 4242, 1,
                           frame_ms, now));
}

DatagramAddress host_address(const Lobby& host) {
    return datagram_loopback_address(datagram_ipv4, datagram_local_port(host.socket));
}

TEST(Lobby, HostAndGuestStartTheSameGame) {
    int64_t now = 1000;
    Lobby lobbies[2];
    open_host(&lobbies[0], "1.0.0", now);
    ASSERT_TRUE(lobby_join(&lobbies[1], {"1.0.0", 0xabcdef, 77}, host_address(lobbies[0]), 5000, now));
    for (int i = 0; i < 100 && lobbies[1].state != lobby_started; ++i) pump(lobbies, 2, &now, 1);
    ASSERT_EQ(lobbies[1].state, lobby_started) << lobbies[1].message;
    EXPECT_EQ(lobbies[0].state, lobby_starting) << "until the guest's first lockstep packet";
    EXPECT_EQ(lobbies[1].game.seed, 4242u);
    EXPECT_EQ(lobbies[1].game.local_side, 1);
    EXPECT_EQ(lobbies[0].game.local_side, 0);
    EXPECT_EQ(lobbies[1].game.token, lobbies[0].game.token);
    EXPECT_EQ(lobbies[1].game.delay, lobbies[0].game.delay);
    EXPECT_EQ(lobbies[0].game.delay, 3) << "a round trip within a frame";
    for (Lobby& lobby : lobbies) datagram_close(lobby.game.socket);
}

TEST(Lobby, AnotherVersionAndAThirdPlayerAreRefused) {
    int64_t now = 0;
    Lobby lobbies[3];
    open_host(&lobbies[0], "1.0.0", now);
    ASSERT_TRUE(lobby_join(&lobbies[1], {"1.0.1", 0xabcdef, 5}, host_address(lobbies[0]), 5000, now));
    pump(lobbies, 2, &now, 3);
    EXPECT_EQ(lobbies[1].state, lobby_failed);
    EXPECT_EQ(std::string(lobbies[1].message),
              "The host plays version 1.0.0, this is version 1.0.1: both players need the same version.");
    EXPECT_NE(std::strstr(lobbies[0].message, "with version 1.0.1 could not join: this is version 1.0.0"), nullptr)
        << lobbies[0].message;
    EXPECT_EQ(lobbies[0].state, lobby_waiting);
    ASSERT_TRUE(lobby_join(&lobbies[1], {"1.0.0", 0xabcdef, 6}, host_address(lobbies[0]), 5000, now));
    pump(lobbies, 2, &now, 2);
    ASSERT_EQ(lobbies[0].state, lobby_measuring);
    ASSERT_TRUE(lobby_join(&lobbies[2], {"1.0.0", 0xabcdef, 7}, host_address(lobbies[0]), 5000, now));
    pump(lobbies, 3, &now, 3);
    EXPECT_EQ(std::string(lobbies[2].message), "The host already has a player.");
    EXPECT_NE(lobbies[1].state, lobby_failed);
    for (Lobby& lobby : lobbies) lobby_close(&lobby);
}

TEST(Lobby, AJoinThatHearsNobodyGivesUp) {
    int64_t now = 0;
    Lobby nobody;  // a port that is open but never answers
    open_host(&nobody, "1.0.0", now);
    Lobby guest;
    ASSERT_TRUE(lobby_join(&guest, {"1.0.0", 1, 2}, host_address(nobody), 3000, now));
    pump(&guest, 1, &now, 300);
    EXPECT_EQ(guest.state, lobby_joining);
    pump(&guest, 1, &now, 1);
    EXPECT_EQ(guest.state, lobby_failed);
    EXPECT_NE(std::strstr(guest.message, "Nobody answered at 127.0.0.1:"), nullptr) << guest.message;
    EXPECT_NE(std::strstr(guest.message, "within 3 s."), nullptr) << guest.message;
    lobby_close(&nobody);
}

TEST(Lobby, InputDelayFollowsTheRoundTrip) {
    const int cases[][3] = {{0, 16, 2}, {1, 16, 3}, {16, 16, 3}, {17, 16, 4}, {100, 17, 8}, {1000, 16, 20}};
    for (const auto& c : cases) EXPECT_EQ(lobby_input_delay(c[0], c[1]), c[2]) << c[0] << " ms at " << c[1];
}

}  // namespace
