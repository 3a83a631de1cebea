// fuzz_upnp_answer: libFuzzer target for the reader of a UPnP device's HTTP
// answers (its head, its length, its chunks): hostile devices answer here.
// An answer that reads has its body inside what was received.
//   fuzz_upnp_answer --make-corpus=FOLDER   writes a few answers and exits
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "net/upnp_http.h"
#include "tests/fuzz/corpus_flag.h"

namespace {

UpnpHttpAnswer answer;

int make_corpus(const char* folder) {
    const std::string answers[] = {
        "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: 12\r\n\r\n<root></root>",
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n6\r\n<root>\r\n7\r\n</root>\r\n0\r\n\r\n",
        "HTTP/1.0 500 Internal Server Error\r\n\r\n<errorCode>718</errorCode>",
    };
    return write_answer_seeds(folder, answers, 3);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    make_corpus_when_asked(*argc, *argv, make_corpus);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > upnp_answer_capacity) return 0;
    std::memcpy(answer.bytes, data, size);
    answer.size = static_cast<int>(size);
    if (!upnp_read_http_answer(&answer)) return 0;
    if (answer.body < answer.bytes || answer.body_size < 0 || answer.body + answer.body_size > answer.bytes + size) {
        std::fprintf(stderr, "fuzz_upnp_answer: a body outside the answer read\n");
        std::abort();
    }
    return 0;
}
