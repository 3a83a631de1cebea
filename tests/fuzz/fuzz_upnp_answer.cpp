// fuzz_upnp_answer: libFuzzer target for the reader of a UPnP device's HTTP
// answers (its head, its length, its chunks): hostile devices answer here.
// An answer that reads has its body inside what was received.
//   fuzz_upnp_answer --make-corpus=FOLDER   writes a few answers and exits
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "net/upnp_http.h"
#include "tests/fuzz/corpus_flag.h"

namespace {

UpnpHttpAnswer answer;

int make_corpus(const char* folder_text) {
    const std::string folder = folder_text;
    mkdir(folder.c_str(), 0755);
    const std::string answers[] = {
        "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: 12\r\n\r\n<root></root>",
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n6\r\n<root>\r\n7\r\n</root>\r\n0\r\n\r\n",
        "HTTP/1.0 500 Internal Server Error\r\n\r\n<errorCode>718</errorCode>",
    };
    for (int index = 0; index < 3; ++index) {
        std::FILE* file = std::fopen((folder + "/answer-" + std::to_string(index)).c_str(), "wb");
        if (!file || std::fwrite(answers[index].data(), 1, answers[index].size(), file) != answers[index].size()) return 1;
        std::fclose(file);
    }
    return 0;
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
