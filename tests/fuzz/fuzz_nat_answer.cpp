// fuzz_nat_answer: libFuzzer target for the reader of routers' NAT-PMP and
// PCP answers. Besides the sanitizers, an answer that reads is held to its
// kind's sizes: what a hostile router sends beyond them is refused.
//
//   fuzz_nat_answer --make-corpus=FOLDER   writes one answer of each kind and exits
//   fuzz_nat_answer [libFuzzer flags] CORPUS...
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "net/nat_pmp.h"

namespace {

int make_corpus(const char* folder) {
    mkdir(folder, 0755);
    std::string pcp(60, '\0');
    pcp[0] = 2, pcp[1] = static_cast<char>(0x81), pcp[36] = 17, pcp[54] = pcp[55] = static_cast<char>(0xFF);
    const std::string answers[] = {pcp, pcp.substr(0, 24), std::string("\x00\x80\x00\x00\x00\x00\x00\x05\x64\xc8\x07\x01", 12),
                                   std::string("\x00\x81\x00\x00\x00\x00\x00\x05\xa3\xf2\xa3\xf2\x00\x00\x1c\x20", 16),
                                   std::string("\x00\x81\x00\x01", 4)};
    int index = 0;
    for (const std::string& answer : answers) {
        const std::string path = std::string(folder) + "/answer-" + std::to_string(index++);
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (!file) return 1;
        std::fwrite(answer.data(), 1, answer.size(), file);
        std::fclose(file);
    }
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    for (int i = 1; i < *argc; ++i)
        if (!std::strncmp((*argv)[i], "--make-corpus=", 14)) std::exit(make_corpus((*argv)[i] + 14));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const NatAnswer answer = read_nat_answer(data, static_cast<int>(size));
    if (answer.fault != nat_answer_ok || answer.result != 0) return 0;
    const bool sized = answer.version == pcp_version ? size == 60
                       : answer.opcode == nat_opcode_address ? size == 12 : size == 16;
    if (!sized) {
        std::fprintf(stderr, "fuzz_nat_answer: a successful answer of %zu bytes read\n", size);
        std::abort();
    }
    return 0;
}
