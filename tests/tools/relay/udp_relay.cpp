// udp_relay: forwards datagrams between a guest and a host on 127.0.0.1 only,
// each delayed, and some lost, repeated or held back (so that they arrive
// after later ones), from a seed, so a bad network can be played back.
//
//   udp_relay LISTEN_PORT HOST_PORT [DELAY_MS DROP% REPEAT% LATE% SEED SECONDS]
//
// The guest sends to 127.0.0.1:LISTEN_PORT; the relay sends on to
// 127.0.0.1:HOST_PORT from a port of its own and the host's answers back to
// the guest. Ends after SECONDS (or at SIGINT/SIGTERM) with its counts.
#include <csignal>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "platform/datagram.h"

namespace {

struct Held {
    uint8_t bytes[1200];
    int size;
    int to_host;
    int64_t due_ms;
};
Held held[2048];
int held_count = 0;
uint32_t dice_state = 1;
volatile std::sig_atomic_t stopping = 0;

int dice_percent() { return static_cast<int>((dice_state = dice_state * 1664525u + 1013904223u) >> 8) % 100; }

int64_t now_ms() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: udp_relay LISTEN_PORT HOST_PORT [DELAY_MS DROP%% REPEAT%% LATE%% SEED SECONDS]\n");
        return 2;
    }
    const int number_count = 8;
    int numbers[number_count] = {0, 0, 50, 5, 2, 2, 1, 60};
    for (int i = 1; i < argc && i <= number_count; ++i) numbers[i - 1] = std::atoi(argv[i]);
    const int delay = numbers[2], drop = numbers[3], repeat = numbers[4], late = numbers[5];
    dice_state = static_cast<uint32_t>(numbers[6]);
    const int guest_side = datagram_open(datagram_loopback_address(datagram_ipv4, numbers[0]));
    const int host_side = datagram_open(datagram_loopback_address(datagram_ipv4, 0));
    if (guest_side < 0 || host_side < 0) {
        std::fprintf(stderr, "udp_relay: %s\n", datagram_last_error());
        return 1;
    }
    const DatagramAddress host = datagram_loopback_address(datagram_ipv4, numbers[1]);
    DatagramAddress guest = datagram_any_address(0, 0);
    std::signal(SIGINT, [](int) { stopping = 1; });
    std::signal(SIGTERM, [](int) { stopping = 1; });
    int counts[2][4] = {};  // [to host][received, dropped, repeated, sent]
    const int64_t end = now_ms() + numbers[7] * 1000ll;
    while (!stopping && now_ms() < end) {
        for (int to_host = 0; to_host < 2; ++to_host) {
            Held incoming;
            DatagramAddress from;
            const int socket = to_host ? guest_side : host_side;
            while ((incoming.size = datagram_receive(socket, incoming.bytes, sizeof incoming.bytes, &from)) >= 0) {
                if (incoming.size > static_cast<int>(sizeof incoming.bytes)) continue;
                if (to_host) guest = from;
                ++counts[to_host][0];
                if (dice_percent() < drop) {
                    ++counts[to_host][1];
                    continue;
                }
                const int copies = dice_percent() < repeat ? 2 : 1;
                counts[to_host][2] += copies - 1;
                for (int copy = 0; copy < copies && held_count < 2048; ++copy) {
                    incoming.to_host = to_host;
                    incoming.due_ms = now_ms() + delay + copy + (dice_percent() < late ? 2 * delay + 1 : 0);
                    held[held_count++] = incoming;
                }
            }
        }
        for (int i = 0; i < held_count;) {
            Held& next = held[i];
            if (next.due_ms > now_ms()) {
                ++i;
                continue;
            }
            const bool sent = next.to_host ? datagram_send(host_side, host, next.bytes, next.size)
                                           : guest.family && datagram_send(guest_side, guest, next.bytes, next.size);
            counts[next.to_host][3] += sent;
            next = held[--held_count];
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    for (int to_host = 1; to_host >= 0; --to_host)
        std::printf("udp_relay: %s: %d received, %d dropped, %d repeated, %d sent\n",
                    to_host ? "guest to host" : "host to guest", counts[to_host][0], counts[to_host][1],
                    counts[to_host][2], counts[to_host][3]);
    return 0;
}
