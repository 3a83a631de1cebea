// fuzz_nat_answer: libFuzzer target for the reader of routers' NAT-PMP and
// PCP answers; a successful answer that reads has its kind's size.
//   fuzz_nat_answer --make-corpus=FOLDER   writes one answer of each kind and exits
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "net/nat_pmp.h"
#include "tests/fuzz/corpus_flag.h"

namespace {

int make_corpus(const char* folder) {
    std::string pcp(60, '\0');
    pcp[0] = 2, pcp[1] = '\x81', pcp[36] = 17, pcp[54] = pcp[55] = '\xFF';
    const std::string answers[] = {pcp, pcp.substr(0, 24), std::string("\0\x80\0\0\0\0\0\x05\x64\xc8\x07\x01", 12),
                                   std::string("\0\x81\0\0\0\0\0\x05\xa3\xf2\xa3\xf2\0\0\x1c\x20", 16),
                                   std::string("\0\x81\0\x01", 4)};
    return write_answer_seeds(folder, answers, 5);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    make_corpus_when_asked(*argc, *argv, make_corpus);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const NatAnswer answer = read_nat_answer(data, static_cast<int>(size));
    if (answer.fault != nat_answer_ok || answer.result != 0) return 0;
    const size_t sized = answer.version == pcp_version ? 60 : answer.opcode == nat_opcode_address ? 12 : 16;
    if (size != sized) {
        std::fprintf(stderr, "fuzz_nat_answer: a successful answer of %zu bytes read\n", size);
        std::abort();
    }
    return 0;
}
