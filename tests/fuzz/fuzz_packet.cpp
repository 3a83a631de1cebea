// fuzz_packet: libFuzzer target for the packet reader. Besides the
// sanitizers, every input is held to what the reader promises: a datagram
// that reads is exactly the datagram the writer makes of what was read (so
// no field escapes its bounds unseen, a snapshot's chunk included), and a lockstep packet that reads
// leaves the lockstep within its window and able to answer.
//
//   fuzz_packet --make-corpus=FOLDER   writes one datagram of each kind and exits
//   fuzz_packet [libFuzzer flags] CORPUS...
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "net/lockstep.h"
#include "net/packet.h"

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
    lockstep.digest_count = 1, lockstep.digests[0] = {30, 0x0123456789abcdefull};
    lockstep.save_at = 9, seed.start.loaded = 1;
    std::strcpy(seed.rejoin.version, "1.0.0");
    seed.chunk = {30, 4, 1, 5000, 1100, 3, {7, 8, 9}};
    for (int kind = packet_hello; kind <= packet_ready; ++kind) {
        seed.kind = static_cast<PacketKind>(kind), seed.protocol = packet_protocol;
        seed.token = kind == packet_hello || kind == packet_refuse ? 0 : token;
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
    std::printf("fuzz_packet: %d datagrams in %s\n", packet_ready, folder);
    return 0;
}

Packet packet;
Lockstep lockstep;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    const char* corpus_flag = "--make-corpus=";
    for (int i = 1; i < *argc; ++i)
        if (std::strncmp((*argv)[i], corpus_flag, std::strlen(corpus_flag)) == 0)
            std::exit(make_corpus((*argv)[i] + std::strlen(corpus_flag)));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > packet_capacity + 1) return 0;
    if (read_packet(data, static_cast<int>(size), token, &packet) != packet_ok) return 0;
    uint8_t again[packet_capacity];
    const int written = write_packet(packet, again, sizeof again);
    if (written != static_cast<int>(size) || std::memcmp(again, data, size) != 0)
        broken_promise("a datagram that reads is not what the writer makes of it");
    if (packet.kind != packet_lockstep) return 0;
    lockstep_start(&lockstep, 0, 4, 0);
    lockstep_incoming(&lockstep, packet.lockstep, 1);
    if (lockstep.known[1] > lockstep.next_frame + lockstep_most_ahead) broken_promise("commands beyond the window");
    packet.lockstep = {};
    lockstep_outgoing(lockstep, &packet.lockstep);
    if (write_packet(packet, again, sizeof again) == 0) broken_promise("the answer cannot be written");
    return 0;
}
