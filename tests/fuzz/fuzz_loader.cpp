// fuzz_loader: libFuzzer target for the picture loader. Each input becomes a
// file that load_image reads into the intro's slot, the largest picture the
// overlay draws; whatever it took is drawn in the middle and half off two
// corners, so the sanitizers watch every byte the loader and the drawing touch.
//
//   fuzz_loader --make-corpus=FOLDER   writes the seed files and exits
//   fuzz_loader [libFuzzer flags] CORPUS...
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "render/image_loader.h"
#include "render/image_table.h"
#include "render/overlay.h"
#include "tests/support/bmp_file.h"
#include "world/settings.h"
#include "world/world_arrays.h"
#include "tests/fuzz/corpus_flag.h"

namespace {

constexpr int fuzz_slot = 3;
std::string input_path;

bool write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

// Pictures the game is made of and ones a paint program may write (padded
// rows, a palette gap, trailing bytes); the fuzzer finds the broken ones.
int make_corpus(const char* folder_text) {
    const std::string folder = folder_text;
    mkdir(folder.c_str(), 0755);
    std::vector<uint8_t> trailing = make_bmp(8, 8);
    trailing.resize(trailing.size() + 100, 0x77);
    const std::vector<uint8_t> seeds[] = {make_bmp(16, 16), make_bmp(64, 64), make_bmp(1, 1), make_bmp(5, 3),
                                          make_bmp(700, 1), make_bmp(8, 8, 54 + 1024), trailing};
    int made = 0;
    for (const std::vector<uint8_t>& seed : seeds)
        if (!write_file(folder + "/seed_" + std::to_string(made++) + ".bmp", seed)) {
            std::fprintf(stderr, "fuzz_loader: cannot write the seeds into %s\n", folder.c_str());
            return 1;
        }
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    make_corpus_when_asked(*argc, *argv, make_corpus);
    if (!alloc_image_table() || !alloc_world()) std::abort();
    const char* temp = std::getenv("TMPDIR");
    input_path = std::string(temp && *temp ? temp : "/tmp") + "/fuzz_loader_" + std::to_string(getpid()) + ".bmp";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!write_file(input_path, std::vector<uint8_t>(data, data + size))) std::abort();
    if (load_image(input_path.c_str(), fuzz_slot)) {
        const Image& image = image_table[fuzz_slot];
        if (!image.pixels || image.width < 1 || image.width > 4096 || image.height < 1 || image.height > 4096)
            std::abort();  // a picture taken is one the game can draw
        const int side = image.width;
        for (const int place : {-side / 2, 200, screen_height - side / 2}) draw_image(place, place, fuzz_slot);
        clear_overlay();
    }
    std::remove(input_path.c_str());
    clear_image_slot(fuzz_slot);
    return 0;
}
