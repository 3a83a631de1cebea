// fuzz_packet: libFuzzer target for the packet reader. Besides the
// sanitizers, every input is held to what the reader promises: a datagram
// that reads is exactly the datagram the writer makes of what was read (so
// no field escapes its bounds unseen, a snapshot's chunk included), and a lockstep packet that reads
// leaves the lockstep within its window and able to answer, and lets
// through only chat the bound allows, of text the overlay draws; every datagram
// heard by a host's discovery and by a finder's list leaves the list within
// its bounds, each game once, with its texts printable.
//
//   fuzz_packet --make-corpus=FOLDER   writes one datagram of each kind and exits
//   fuzz_packet [libFuzzer flags] CORPUS...
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "net/discovery.h"
#include "net/lockstep.h"
#include "net/packet.h"
#include "tests/fuzz/corpus_flag.h"

namespace {

constexpr uint32_t token = 0x5eed1234;

[[noreturn]] void broken_promise(const char* what) {
    std::fprintf(stderr, "fuzz_packet: %s\n", what);
    std::abort();
}

// One datagram of each kind, the lockstep one with every field of a command
// and a save asked, the start of a loaded game.
int make_corpus(const char* folder) {
    mkdir(folder, 0755);
    Packet seed = {};
    std::strcpy(seed.hello.version, "1.0.0");
    seed.refuse.reason = refuse_busy, seed.start.delay = 4;
    LockstepPacket& lockstep = seed.lockstep;
    lockstep.side = 1, lockstep.first = 4, lockstep.commands_held = 4, lockstep.command_count = 6;
    for (int i = 0; i < lockstep.command_count; ++i)
        lockstep.commands[i] = {i != 2, i * 300 - 20, -i, static_cast<uint8_t>(i & 1), 0, i == 4, 77,
                                static_cast<uint8_t>(i % 5)};
    lockstep.digest_count = 1, lockstep.digests[0] = {30, 0x0123456789abcdefull, {}};
    lockstep.chat_count = 2, lockstep.chats[0] = {4, "Hello, side 0!"}, lockstep.chats[1] = {7, "~{|}` 80"};
    lockstep.save_at = 9, seed.start.loaded = 1;
    std::strcpy(seed.rejoin.version, "1.0.0");
    seed.chunk = {30, 4, 1, 5000, 1100, 3, {7, 8, 9}};
    seed.probe.sent_ms = 1234;
    seed.announce = {1234, 1, 41970, 0x42, "1.0.0", 0xabcdef, "lan-host"};
    for (int kind = packet_hello; kind <= packet_announce; ++kind) {
        seed.kind = static_cast<PacketKind>(kind), seed.protocol = packet_protocol;
        seed.token = kind == packet_hello || kind == packet_refuse || kind >= packet_probe ? 0 : token;
        uint8_t bytes[packet_capacity];
        const int size = write_packet(seed, bytes, sizeof bytes);
        const std::string path = std::string(folder) + "/kind_" + std::to_string(kind);
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (size == 0 || !file || std::fwrite(bytes, 1, static_cast<size_t>(size), file) != static_cast<size_t>(size) ||
            std::fclose(file) != 0) {
            std::fprintf(stderr, "fuzz_packet: cannot write the seed %s\n", path.c_str());
            return 1;
        }
    }
    std::printf("fuzz_packet: %d datagrams in %s\n", packet_announce, folder);
    return 0;
}

Packet packet;
Lockstep lockstep;
DiscoveryHost host = {-1, true, {}, {}, {}, 0, 0, 0};
DiscoveryFinder finder = {{-1, -1}, {}, 0, "1.0.0", 0xabcdef, 0, {}, 0, 0, 0};
int64_t now_ms = 0;

bool printable(const char* text, int capacity) {
    for (int i = 0; i < capacity; ++i) {
        if (text[i] == '\0') return true;
        if (text[i] < 0x20 || text[i] > 0x7e) return false;
    }
    return false;
}

// The finder's list after one more datagram: bounded, each host once,
// every text printable, every game with a port to join.
void check_discovery(const uint8_t* data, int size) {
    const DatagramAddress from = datagram_loopback_address(datagram_ipv4, 5000 + (size > 0 ? data[size - 1] : 0));
    now_ms += 100;
    discovery_host_hear(&host, data, size, from, now_ms);
    discovery_find_hear(&finder, data, size, from, now_ms);
    if (finder.game_count < 0 || finder.game_count > discovery_most_games) broken_promise("a list beyond its bounds");
    for (int i = 0; i < finder.game_count; ++i) {
        const DiscoveredGame& game = finder.games[i];
        if (!printable(game.name, packet_version_capacity) || !printable(game.version, packet_version_capacity))
            broken_promise("a game's name or version the fonts cannot draw");
        if (game.address.port == 0) broken_promise("a game listed without its port");
        if (game.round_trip_ms > discovery_most_round_trip_ms) broken_promise("a stranger's echo taken as a round trip");
        for (int j = 0; j < i; ++j)
            if (finder.games[j].host_id == game.host_id) broken_promise("a host listed twice");
    }
    // The list is emptied now and then, so that hosts keep being added.
    if (finder.game_count == discovery_most_games) finder.game_count = 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    make_corpus_when_asked(*argc, *argv, make_corpus);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > packet_capacity + 1) return 0;
    check_discovery(data, static_cast<int>(size));
    if (read_packet(data, static_cast<int>(size), token, &packet) != packet_ok) return 0;
    uint8_t again[packet_capacity];
    const int written = write_packet(packet, again, sizeof again);
    // Another version's probe or announcement may carry fields of its own
    // after ours: what reads is then what the writer makes, and more.
    const bool may_grow = (packet.kind == packet_probe || packet.kind == packet_announce) &&
                          packet.protocol != packet_protocol;
    if (written == 0 || written > static_cast<int>(size) || (!may_grow && written != static_cast<int>(size)) ||
        std::memcmp(again, data, static_cast<size_t>(written)) != 0)
        broken_promise("a datagram that reads is not what the writer makes of it");
    if (packet.kind != packet_lockstep) return 0;
    lockstep_start(&lockstep, 0, 4, 0);
    lockstep_incoming(&lockstep, packet.lockstep, 1);
    if (lockstep.known[1] > lockstep.next_frame + lockstep_most_ahead) broken_promise("commands beyond the window");
    FrameCommands commands;
    while (lockstep_take(&lockstep, &commands)) {
    }
    ChatMessage message;
    int heard = 0;
    for (; lockstep_next_chat(&lockstep, &message); ++heard)
        for (size_t i = 0; i == 0 || message.text[i]; ++i)
            if (i >= packet_chat_capacity || message.text[i] < 0x20 || message.text[i] > 0x7e)
                broken_promise("a message of no text, too long, or that the font cannot draw");
    if (heard > chat_most_per_window) broken_promise("more messages than the bound lets through");
    packet.lockstep = {};
    lockstep_outgoing(lockstep, &packet.lockstep);
    if (write_packet(packet, again, sizeof again) == 0) broken_promise("the answer cannot be written");
    return 0;
}
