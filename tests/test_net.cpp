// Network play: every out-of-bounds datagram is refused with its fault; two
// lockstep cores run the same commands through their packets' bytes over
// loss, repeats and reordering, stall without the other side, refuse what no
// honest peer sends, and find a differing census; over loopback the lobby
// starts a game, refuses another version and a third player, and gives up on
// silence, and the link carries the game; a window's game keeps its pace
// and sleeps until something is due.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "net/link.h"
#include "net/lobby.h"
#include "net/lockstep.h"
#include "net/net_play.h"
#include "net/packet.h"

namespace {

constexpr uint32_t token = 0x5eed1234;

Packet new_packet(PacketKind kind) {
    Packet packet = {};
    packet.kind = kind, packet.protocol = packet_protocol, packet.token = kind == packet_hello ? 0 : token;
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
// the start: the delay 12, the guest's side 13.
struct Damage {
    const char* name;
    PacketKind kind;
    int offset;  // -1: the size changes instead
    int value;   // the byte written there (over `width` bytes), or the new size
    PacketFault fault;
    int width = 1;
};

TEST(Packet, HostileDatagramsAreRefused) {
    Packet packets[3] = {new_packet(packet_lockstep), new_packet(packet_hello), new_packet(packet_start)};
    packets[0].lockstep.first = 10, packets[0].lockstep.command_count = 1;
    packets[0].lockstep.commands[0] = command(1, 2, 0);
    std::strcpy(packets[1].hello.version, "1.0");
    packets[2].start.delay = 2;
    uint8_t good[3][packet_capacity + 1] = {};
    int sizes[3];
    for (int i = 0; i < 3; ++i) sizes[i] = write_packet(packets[i], good[i], packet_capacity);
    ASSERT_EQ(sizes[0], 20);  // 16, the command's flags and two one-byte moves, the digest count
    const Damage damages[] = {
        {"shorter than a header", packet_lockstep, -1, 7, packet_wrong_size},
        {"longer than the bound", packet_lockstep, -1, packet_capacity + 1, packet_wrong_size},
        {"wrong magic", packet_lockstep, 0, 'X', packet_wrong_magic},
        {"another protocol", packet_lockstep, 2, packet_protocol + 1, packet_wrong_protocol},
        {"unknown kind", packet_lockstep, 3, 8, packet_unknown_kind},
        {"wrong token", packet_lockstep, 4, 0x35, packet_wrong_token},
        {"cut in the command", packet_lockstep, -1, 18, packet_cut_short},
        {"a byte too many", packet_lockstep, -1, sizes[0] + 1, packet_trailing_bytes},
        {"a side beyond 1", packet_lockstep, 8, 4, packet_bad_field},
        {"first frame at the end of time", packet_lockstep, 9, 0xff, packet_bad_field, 4},
        {"an acknowledgement before frame 0", packet_lockstep, 13, 21, packet_bad_field},
        {"65 commands", packet_lockstep, 15, 65, packet_bad_field},
        {"pace 5", packet_lockstep, 16, 0xa3, packet_bad_field},
        {"a move without a cursor", packet_lockstep, 16, 0x02, packet_bad_field},
        {"a move of nothing", packet_lockstep, 17, 0x00, packet_bad_field, 2},
        {"an overlong varint", packet_lockstep, 18, 0x80, packet_bad_field},
        {"5 digests", packet_lockstep, 19, 5, packet_bad_field},
        {"a control character in the version", packet_hello, 9, '\n', packet_bad_field},
        {"a version of 32", packet_hello, 8, 32, packet_bad_field},
        {"a hello with a token", packet_hello, 4, 1, packet_wrong_token},
        {"a hello of another protocol still reads", packet_hello, 2, packet_protocol + 1, packet_ok},
        {"delay 1", packet_start, 12, 1, packet_bad_field},
        {"delay 21", packet_start, 12, 21, packet_bad_field},
        {"guest side 2", packet_start, 13, 2, packet_bad_field},
    };
    for (const Damage& damage : damages) {
        const int base = damage.kind == packet_lockstep ? 0 : damage.kind == packet_hello ? 1 : 2;
        uint8_t bytes[packet_capacity + 1];
        std::memcpy(bytes, good[base], sizeof bytes);
        int size = sizes[base];
        if (damage.offset < 0) size = damage.value;
        else std::memset(bytes + damage.offset, damage.value, static_cast<size_t>(damage.width));
        Packet read;
        EXPECT_EQ(read_packet(bytes, size, base == 1 ? 0 : token, &read), damage.fault) << damage.name;
    }
    for (int cut = 0; cut < sizes[0]; ++cut) {
        Packet read;
        EXPECT_NE(read_packet(good[0], cut, token, &read), packet_ok) << "cut to " << cut << " bytes";
    }
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
        for (int side = 0; side < 2; ++side) lockstep_start(&sides[side], side, 4, 0), wires[side].count = 0;
        for (int tick = 0; tick < 2000; ++tick)
            for (int side = 0; side < 2; ++side) {
                Lockstep& me = sides[side];
                if (lockstep_wants_command(me)) lockstep_submit(&me, made_at(side, me.next_frame + 4));
                Wire& out = wires[1 - side];
                const int copies =
                    dice.below(100) < weather.drop_percent ? 0 : dice.below(100) < weather.repeat_percent ? 2 : 1;
                Packet packet = new_packet(packet_lockstep);
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
            }
        EXPECT_EQ(wrong, 0) << weather.name;
        for (const Lockstep& side : sides) {
            EXPECT_GT(side.next_frame, 400u) << weather.name;
            EXPECT_EQ(side.packets_refused, 0) << weather.name;
            EXPECT_FALSE(side.desynced) << weather.name;
            EXPECT_LE(side.local_digest_count, 2) << weather.name << ": acknowledged digests are let go";
        }
    }
}

TEST(Lockstep, ImplausiblePacketsChangeNothing) {
    const struct {
        const char* name;
        uint32_t remote_known, side, first, count, commands_held, digests_held, digest_frame;
    } cases[] = {{"our own side", 3, 0, 3, 1, 3, 0, 0}, {"a gap after what we hold", 3, 1, 4, 1, 3, 0, 0},
                 {"beyond the window", 100, 1, 100, 29, 3, 0, 0},
                 {"acknowledges commands never made", 3, 1, 3, 1, 5, 0, 0},
                 {"acknowledges a digest never made", 3, 1, 3, 1, 3, 1, 0},
                 {"a digest beyond the window", 3, 1, 3, 1, 3, 0, 128}};
    for (const auto& c : cases) {
        Lockstep a;
        lockstep_start(&a, 0, 3, 0);
        lockstep_submit(&a, made_at(0, 3));
        a.known[1] = c.remote_known;
        LockstepPacket packet = {};
        packet.side = static_cast<uint8_t>(c.side), packet.first = c.first;
        packet.command_count = static_cast<int>(c.count);
        packet.commands_held = c.commands_held, packet.digests_held = c.digests_held;
        for (uint32_t i = 0; i < c.count; ++i) packet.commands[i] = made_at(1, c.first + i);
        packet.digest_count = c.digest_frame ? 1 : 0, packet.digests[0] = {c.digest_frame, 1, {}};
        EXPECT_FALSE(lockstep_incoming(&a, packet, 5000)) << c.name;
        EXPECT_EQ(a.known[1], c.remote_known) << c.name;
        EXPECT_EQ(a.packets_refused, 1) << c.name;
        EXPECT_EQ(lockstep_silence_ms(a, 5000), 5000) << c.name << ": a refused packet is no word from the peer";
    }
}

TEST(Lockstep, CensusDigestsAreComparedWhicheverComesFirst) {
    for (bool local_first : {true, false}) {
        Lockstep a;
        lockstep_start(&a, 0, 2, 0);
        LockstepPacket packet = {};
        packet.side = 1, packet.first = 2, packet.commands_held = 2, packet.digest_count = 2;
        packet.digests[0] = {30, 111, {}}, packet.digests[1] = {60, 222, {}};
        if (local_first) lockstep_note_digest(&a, 30, 111), lockstep_note_digest(&a, 60, 999);
        lockstep_incoming(&a, packet, 0);
        if (!local_first) lockstep_note_digest(&a, 30, 111), lockstep_note_digest(&a, 60, 999);
        EXPECT_TRUE(a.desynced) << local_first;
        EXPECT_EQ(a.desync_frame, 60u) << local_first;
        EXPECT_EQ(a.desync_local, 999u) << local_first;
        EXPECT_EQ(a.desync_peer, 222u) << local_first;
        EXPECT_EQ(lockstep_status(a, 0), lockstep_desynced);
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

TEST(Lobby, HostAndGuestStartTheSameGameAndTurnAThirdAway) {
    int64_t now = 1000;
    Lobby lobbies[3];
    open_host(&lobbies[0], "1.0.0", now);
    ASSERT_TRUE(lobby_join(&lobbies[1], {"1.0.0", 0xabcdef, 77}, host_address(lobbies[0]), 5000, now));
    pump(lobbies, 2, &now, 2);
    ASSERT_EQ(lobbies[0].state, lobby_measuring);
    ASSERT_TRUE(lobby_join(&lobbies[2], {"1.0.0", 0xabcdef, 78}, host_address(lobbies[0]), 5000, now));
    for (int i = 0; i < 100 && lobbies[1].state != lobby_started; ++i) pump(lobbies, 3, &now, 1);
    ASSERT_EQ(lobbies[1].state, lobby_started) << lobbies[1].message;
    EXPECT_EQ(std::string(lobbies[2].message), "The host already has a player.");
    EXPECT_EQ(lobbies[1].game.seed, 4242u);
    EXPECT_EQ(lobbies[1].game.local_side, 1);
    EXPECT_EQ(lobbies[1].game.token, lobbies[0].game.token);
    EXPECT_EQ(lobbies[1].game.delay, 3) << "a round trip within a frame";
    // The guest's first lockstep packet starts the host's game; from then on
    // the link turns a newcomer away.
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
    EXPECT_EQ(lobbies[0].game.delay, 3);
    link_start(&links[0], lobbies[0].game, now);
    lockstep_start(&locksteps[0], 0, 3, now);
    ASSERT_TRUE(lobby_join(&lobbies[2], {"1.0.0", 0xabcdef, 79}, host_address(lobbies[0]), 5000, now));
    pump(&lobbies[2], 1, &now, 1);
    link_send(&links[1], locksteps[1], now + link_resend_interval_ms);
    link_receive(&links[0], &locksteps[0], now);
    pump(&lobbies[2], 1, &now, 1);
    EXPECT_EQ(std::string(lobbies[2].message), "The host already has a player.");
    EXPECT_EQ(locksteps[0].known[1], 4u) << "the guest's command came through the link";
    for (int side = 0; side < 2; ++side) link_leave(&links[side], &locksteps[side]);
}

TEST(Lobby, AnotherVersionIsRefusedOnBothSides) {
    int64_t now = 0;
    Lobby lobbies[2];
    open_host(&lobbies[0], "1.0.0", now);
    ASSERT_TRUE(lobby_join(&lobbies[1], {"1.0.1", 0xabcdef, 5}, host_address(lobbies[0]), 5000, now));
    pump(lobbies, 2, &now, 3);
    EXPECT_EQ(lobbies[1].state, lobby_failed);
    EXPECT_EQ(std::string(lobbies[1].message),
              "The host plays version 1.0.0, this is version 1.0.1: both players need the same version.");
    EXPECT_NE(std::strstr(lobbies[0].message, "with version 1.0.1 could not join: this is version 1.0.0"), nullptr)
        << lobbies[0].message;
    EXPECT_EQ(lobbies[0].state, lobby_waiting);
    lobby_close(&lobbies[0]);
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

// ---- The pace of a window's game -------------------------------------------------------

// Drawn or minimised, a frame runs at its moment: a hitch is made up for, a
// long stall is not; asleep, the game wakes for the frame's moment or the
// link's next packet, whichever comes first.
TEST(NetPlay, FramesKeepThePaceAndTheSleepEndsWhenSomethingIsDue) {
    const int socket = datagram_open(datagram_loopback_address(datagram_ipv4, 0));
    ASSERT_GE(socket, 0) << datagram_last_error();
    static NetPlay play;
    net_play_start(&play, {socket, datagram_loopback_address(datagram_ipv4, 9), token, 1, 3, 0, 0}, 1000);
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
