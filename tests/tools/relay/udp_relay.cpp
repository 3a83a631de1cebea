// udp_relay: forwards datagrams between a guest and a host on 127.0.0.1 only,
// each delayed, and some lost, repeated or held back (so that they arrive
// after later ones), from a seed, so a bad network can be played back.
//
//   udp_relay LISTEN_PORT HOST_PORT [DELAY_MS DROP% REPEAT% LATE% SEED SECONDS]
//   (defaults: 50 ms, 5%, 2%, 2%, seed 1, 60 s)
//
// The guest sends to 127.0.0.1:LISTEN_PORT; the relay sends on to
// 127.0.0.1:HOST_PORT from a port of its own, and the host's answers back to
// the guest. It ends after SECONDS, or at SIGINT or SIGTERM, with its counts.
#include <chrono>
#include <csignal>
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
uint32_t dice = 1;
volatile std::sig_atomic_t stopping = 0;

bool chance(int percent) { return static_cast<int>((dice = dice * 1664525u + 1013904223u) >> 8) % 100 < percent; }

int64_t now_ms() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: udp_relay LISTEN_PORT HOST_PORT [DELAY_MS DROP%% REPEAT%% LATE%% SEED SECONDS]\n");
        return 2;
    }
    int n[8] = {0, 0, 50, 5, 2, 2, 1, 60};  // the arguments in order
    for (int i = 1; i < argc && i <= 8; ++i) n[i - 1] = std::atoi(argv[i]);
    dice = static_cast<uint32_t>(n[6]);
    const int sockets[2] = {datagram_open(datagram_loopback_address(datagram_ipv4, 0)),  // to and from the host
                            datagram_open(datagram_loopback_address(datagram_ipv4, n[0]))};
    if (sockets[0] < 0 || sockets[1] < 0) {
        std::fprintf(stderr, "udp_relay: %s\n", datagram_last_error());
        return 1;
    }
    // The guest (known from its first datagram) and the host.
    DatagramAddress peers[2] = {datagram_any_address(0, 0), datagram_loopback_address(datagram_ipv4, n[1])};
    std::signal(SIGINT, [](int) { stopping = 1; });
    std::signal(SIGTERM, [](int) { stopping = 1; });
    int counts[2][4] = {};  // by direction (1: to the host): received, dropped, repeated, sent
    for (const int64_t end = now_ms() + n[7] * 1000ll; !stopping && now_ms() < end;) {
        for (int to_host = 0; to_host < 2; ++to_host) {
            Held in;
            DatagramAddress from;
            while ((in.size = datagram_receive(sockets[to_host], in.bytes, sizeof in.bytes, &from)) >= 0) {
                if (to_host) peers[0] = from;
                ++counts[to_host][0];
                if (chance(n[3]) || in.size > static_cast<int>(sizeof in.bytes)) {
                    ++counts[to_host][1];
                    continue;
                }
                const int copies = chance(n[4]) ? 2 : 1;
                counts[to_host][2] += copies - 1;
                for (int copy = 0; copy < copies && held_count < 2048; ++copy) {
                    in.to_host = to_host;
                    in.due_ms = now_ms() + n[2] + copy + (chance(n[5]) ? 2 * n[2] + 1 : 0);
                    held[held_count++] = in;
                }
            }
        }
        for (int i = 0; i < held_count;) {
            Held& next = held[i];
            if (next.due_ms > now_ms()) {
                ++i;
                continue;
            }
            const int to = next.to_host;
            counts[to][3] += peers[to].family && datagram_send(sockets[1 - to], peers[to], next.bytes, next.size);
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
