// Bytes a minute each way, stalls and agreement of two locksteps playing a
// minute at 60 frames a second over a simulated link, through the real
// packet writer and reader and the link's rule for when a packet goes. The
// players move the cursor most frames and click now and then, as a busy
// player does; the census digest stands in for the game's state (a hash of
// every command run), so two sides agree exactly when their commands do.
#include <cstdio>
#include <cstring>

#include "net/link.h"
#include "net/lobby.h"
#include "net/lockstep.h"

namespace {

struct Dice {
    uint32_t state;
    int below(int n) { return static_cast<int>((state = state * 1664525u + 1013904223u) >> 8) % n; }
};

struct Flight {
    uint8_t bytes[packet_capacity];
    int size;
    int64_t due_ms;
};

struct Side {
    Lockstep lockstep;
    Link link;
    Dice dice;
    SideCommand command;
    uint64_t state;  // FNV-1a of the commands run
    int64_t frames_run;
    int64_t stalled_ms;
    int64_t bytes;
    int datagrams;
    Flight flights[1024];  // on the way to this side
    int flight_count;
};
Side sides[2];

struct Network {
    const char* name;
    int one_way_ms;
    int jitter_ms;
    int loss_percent;
    int moving_percent;  // frames in which the player's cursor moves
};

constexpr uint32_t token = 0x600d;
constexpr int seconds = 60;

uint64_t hash_command(uint64_t hash, const SideCommand& command) {
    const int32_t fields[] = {command.has_cursor, command.cursor_x, command.cursor_y, command.left, command.right};
    for (int32_t field : fields)
        for (int i = 0; i < 4; ++i) hash = (hash ^ static_cast<uint8_t>(field >> (8 * i))) * 0x100000001b3ull;
    return hash;
}

SideCommand next_command(Side* side, int moving_percent) {
    SideCommand& command = side->command;
    command.has_cursor = 1;
    if (side->dice.below(100) < moving_percent) {
        command.cursor_x = (command.cursor_x + side->dice.below(3) + 63) % 64;
        command.cursor_y = (command.cursor_y + side->dice.below(3) + 63) % 64;
    }
    if (side->dice.below(100) < moving_percent / 25) command.left ^= 1;
    if (side->dice.below(100) < moving_percent / 80) command.right ^= 1;
    return command;
}

void deliver(Side* side, int64_t now) {
    for (int i = 0; i < side->flight_count;) {
        Flight& flight = side->flights[i];
        if (flight.due_ms > now) {
            ++i;
            continue;
        }
        Packet packet;
        if (read_packet(flight.bytes, flight.size, token, &packet) == packet_ok)
            lockstep_incoming(&side->lockstep, packet.lockstep, now);
        flight = side->flights[--side->flight_count];
    }
}

void play(Side* me, Side* other, const Network& network, Dice* weather, int64_t now) {
    deliver(me, now);
    const int64_t frame_due = me->frames_run * 1000 / 60;
    if (now >= frame_due) {
        if (lockstep_wants_command(me->lockstep))
            lockstep_submit(&me->lockstep, next_command(me, network.moving_percent));
        FrameCommands commands;
        const uint32_t frame = me->lockstep.next_frame;
        if (lockstep_take(&me->lockstep, &commands)) {
            for (const SideCommand& command : commands.side) me->state = hash_command(me->state, command);
            if (frame % 30 == 0) lockstep_note_digest(&me->lockstep, frame, me->state);
            ++me->frames_run;
        } else {
            ++me->stalled_ms;
        }
    }
    if (!link_send_due(me->link, me->lockstep, now)) return;
    me->link.last_sent_ms = now;
    me->link.commands_sent = me->lockstep.known[me->lockstep.local_side];
    Flight flight;
    flight.size = link_datagram(me->link, me->lockstep, flight.bytes, sizeof flight.bytes);
    flight.due_ms = now + network.one_way_ms + (network.jitter_ms ? weather->below(network.jitter_ms + 1) : 0);
    me->bytes += flight.size + link_header_bytes;
    ++me->datagrams;
    if (weather->below(100) >= network.loss_percent && other->flight_count < 1024)
        other->flights[other->flight_count++] = flight;
}

void run(const Network& network) {
    const int delay = lobby_input_delay(2 * network.one_way_ms + network.jitter_ms, 17);
    Dice weather = {99};
    for (int i = 0; i < 2; ++i) {
        std::memset(&sides[i], 0, sizeof sides[i]);
        lockstep_start(&sides[i].lockstep, i, delay, 0);
        NetGame game = {};
        game.token = token;
        link_start(&sides[i].link, game, 0);
        sides[i].dice.state = 1234u + static_cast<uint32_t>(i);
        sides[i].state = 0xcbf29ce484222325ull;
    }
    for (int64_t now = 0; now < seconds * 1000; ++now)
        for (int i = 0; i < 2; ++i) play(&sides[i], &sides[1 - i], network, &weather, now);
    std::printf("%s: %d ms each way (+0-%d), %d%% lost, cursor moving in %d%% of frames, input delay %d frames\n",
                network.name, network.one_way_ms, network.jitter_ms, network.loss_percent, network.moving_percent,
                delay);
    for (const Side& side : sides)
        std::printf("  side %d: %lld frames run, %.2f s stalled, %d datagrams of %.1f bytes on the wire, "
                    "%.1f kB a minute out\n",
                    side.lockstep.local_side, static_cast<long long>(side.frames_run), side.stalled_ms / 1000.0,
                    side.datagrams, side.datagrams ? static_cast<double>(side.bytes) / side.datagrams : 0.0,
                    side.bytes / 1000.0 * 60 / seconds);
    const Lockstep& a = sides[0].lockstep;
    std::printf("  digests: %s%s\n", a.desynced || sides[1].lockstep.desynced ? "DIFFER" : "agree",
                sides[0].frames_run == sides[1].frames_run && sides[0].state == sides[1].state
                    ? ", both sides ran the same commands" : "");
}

}  // namespace

int main() {
    const Network networks[] = {
        {"LAN", 1, 0, 0, 80}, {"Internet", 50, 0, 5, 80}, {"poor Internet", 60, 40, 10, 80},
        {"idle players on the Internet", 50, 0, 5, 0}};
    for (const Network& network : networks) run(network);
    return 0;
}
