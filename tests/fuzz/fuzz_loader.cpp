// fuzz_loader: libFuzzer target for the picture loader. Each input becomes a
// file that load_image reads into a slot through the game's own file opening;
// the slot is then drawn into the overlay at the screen's corners and middle.
// Besides the sanitizers, every input is checked against what the loader
// promises: it takes exactly the sound files, decodes them to the file's own
// pixels, leaves the slot alone or empty when it refuses, never changes the
// file, and draws only inside the picture's square.
//
//   fuzz_loader --make-corpus=FOLDER   writes the seed files and exits
//   fuzz_loader [libFuzzer flags] CORPUS...
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "render/image_loader.h"
#include "render/image_table.h"
#include "render/overlay.h"
#include "tests/fuzz/loader_seeds.h"
#include "tests/support/bmp_file.h"
#include "world/settings.h"
#include "world/world_arrays.h"

namespace {

// The intro's slot: the largest picture the game draws into the overlay.
constexpr int fuzz_slot = 3;
constexpr int header_size = 54;
constexpr int32_t largest_side = 4096;

std::string work_folder;
std::string input_path;
std::string before_path;

[[noreturn]] void broken_promise(const char* what) {
    std::fprintf(stderr, "fuzz_loader: %s\n", what);
    std::abort();
}

uint32_t read_u32(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

// What the file's header says, read straight from the bytes.
struct Expected {
    bool header_sound;
    bool pixels_complete;
    int32_t width, height;
    uint64_t offset, stride;
};

Expected expect_from(const uint8_t* data, size_t size) {
    Expected e = {};
    if (size < header_size || data[0] != 'B' || data[1] != 'M') return e;
    if ((data[28] | data[29] << 8) != 24) return e;
    e.width = static_cast<int32_t>(read_u32(data + 18));
    e.height = static_cast<int32_t>(read_u32(data + 22));
    e.offset = read_u32(data + 10);
    if (e.width <= 0 || e.width > largest_side || e.height <= 0 || e.height > largest_side) return e;
    if (e.offset < header_size || e.offset > size) return e;
    e.header_sound = true;
    const uint64_t row_bytes = static_cast<uint64_t>(e.width) * 3;
    e.stride = (row_bytes + 3) / 4 * 4;
    e.pixels_complete = e.offset + e.stride * static_cast<uint64_t>(e.height - 1) + row_bytes <= size;
    return e;
}

bool write_file(const std::string& path, const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

void remove_work_folder() {
    if (!input_path.empty()) std::remove(input_path.c_str());
    if (!before_path.empty()) std::remove(before_path.c_str());
    if (!work_folder.empty()) rmdir(work_folder.c_str());
    free_world();
}

bool make_work_folder() {
    const char* temp = std::getenv("TMPDIR");
    std::string pattern = std::string(temp && *temp ? temp : "/tmp") + "/fuzz_loader.XXXXXX";
    char buffer[PATH_MAX];
    std::snprintf(buffer, sizeof buffer, "%s", pattern.c_str());
    if (!mkdtemp(buffer)) return false;
    work_folder = buffer;
    input_path = work_folder + "/input.bmp";
    before_path = work_folder + "/before.bmp";
    std::atexit(remove_work_folder);
    const std::vector<uint8_t> before = make_bmp(12, 12);
    return write_file(before_path, before.data(), before.size());
}

int make_corpus(const char* folder) {
    mkdir(folder, 0755);
    if (!write_seed_pictures(folder)) {
        std::fprintf(stderr, "fuzz_loader: cannot write the seeds into %s\n", folder);
        return 1;
    }
    std::printf("fuzz_loader: %zu seeds in %s\n", all_seed_pictures().size(), folder);
    return 0;
}

void check_decoded(const Image& image, const Expected& e, const uint8_t* data) {
    if (image.width != e.width || image.height != e.height || image.bytes_per_pixel != 3 || !image.pixels)
        broken_promise("an accepted picture has the wrong size in its slot");
    for (int32_t row = 0; row < e.height; ++row) {
        const uint8_t* in = data + e.offset + e.stride * static_cast<uint64_t>(row);
        const uint8_t* out = image.pixels + static_cast<size_t>(row) * e.width * 3;
        for (int32_t column = 0; column < e.width; ++column, in += 3, out += 3)
            if (out[0] != in[2] || out[1] != in[1] || out[2] != in[0])
                broken_promise("an accepted picture's pixels differ from the file's");
    }
}

// The overlay after one picture drawn at (x, y) on a cleared overlay: its
// own colours inside its square (black and the key colour see-through), and
// nothing in the ring of pixels just outside it.
void check_drawn(const Image& image, int x, int y) {
    const int side = image.pixels ? image.width : 0;
    const int rows = image.height < side ? image.height : side;
    const int left = x - 1 < 0 ? 0 : x - 1;
    const int bottom = y - 1 < 0 ? 0 : y - 1;
    const int right = x + side + 1 > screen_width ? screen_width : x + side + 1;
    const int top = y + rows + 1 > screen_height ? screen_height : y + rows + 1;
    for (int py = bottom; py < top; ++py) {
        for (int px = left; px < right; ++px) {
            const uint8_t* shown = overlay_pixels + (static_cast<size_t>(py) * screen_width + px) * 4;
            const int column = px - x, row = py - y;
            bool inside = column >= 0 && column < side && row >= 0 && row < rows;
            uint8_t want[4] = {0, 0, 0, 0};
            if (inside) {
                const uint8_t* pixel = image.pixels + (static_cast<size_t>(row) * side + column) * 3;
                bool key = pixel[0] == 255 && pixel[1] == 0 && pixel[2] == 246;
                bool black = pixel[0] == 0 && pixel[1] == 0 && pixel[2] == 0;
                if (!key && !black) {
                    want[0] = pixel[0];
                    want[1] = pixel[1];
                    want[2] = pixel[2];
                    want[3] = 255;
                }
            }
            if (std::memcmp(shown, want, 4) != 0) broken_promise("the overlay differs from the drawn picture");
        }
    }
}

// Clears what a picture drawn at (x, y) may have touched: cheaper than
// clearing the whole overlay for every input.
void erase_square(int x, int y, int side, int rows) {
    const int64_t left = x < 0 ? 0 : x, bottom = y < 0 ? 0 : y;
    const int64_t right = static_cast<int64_t>(x) + side + 1 > screen_width ? screen_width : x + side + 1;
    const int64_t top = static_cast<int64_t>(y) + rows + 1 > screen_height ? screen_height : y + rows + 1;
    for (int64_t py = bottom; py < top; ++py)
        if (left < right)
            std::memset(overlay_pixels + (py * screen_width + left) * 4, 0, static_cast<size_t>(right - left) * 4);
}

// Half off each edge, far off the screen, at the corner, and last at the
// intro's own place, which is checked pixel by pixel on a clean overlay.
void draw_everywhere(const Image& image) {
    const int side = image.pixels ? image.width : 0;
    const int rows = image.height < side ? image.height : side;
    const int places[][2] = {{-side / 2, -rows / 2},
                             {screen_width - side / 2, screen_height - rows / 2},
                             {-side / 2, screen_height - rows / 2},
                             {screen_width - side / 2, -rows / 2},
                             {INT_MIN / 2, INT_MAX / 2},
                             {0, 0}};
    for (const auto& place : places) {
        draw_image(place[0], place[1], fuzz_slot);
        erase_square(place[0], place[1], side, rows);
    }
    draw_image(200, 200, fuzz_slot);
    check_drawn(image, 200, 200);
    erase_square(200, 200, side, rows);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    const char* corpus_flag = "--make-corpus=";
    for (int i = 1; i < *argc; ++i)
        if (std::strncmp((*argv)[i], corpus_flag, std::strlen(corpus_flag)) == 0)
            std::exit(make_corpus((*argv)[i] + std::strlen(corpus_flag)));
    if (!alloc_image_table() || !alloc_world()) broken_promise("out of memory for the world");
    if (!make_work_folder()) broken_promise("cannot make a folder for the inputs");
    clear_overlay();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The slot starts with a picture, so that a refusal can be seen to keep it.
    if (!load_image(before_path.c_str(), fuzz_slot)) broken_promise("the starting picture did not load");
    if (!write_file(input_path, data, size)) broken_promise("cannot write the input file");
    const Image before = image_table[fuzz_slot];

    const bool loaded = load_image(input_path.c_str(), fuzz_slot);
    const Image& image = image_table[fuzz_slot];
    const Expected e = expect_from(data, size);

    if (loaded != (e.header_sound && e.pixels_complete)) broken_promise("accepted a file it should refuse, or the reverse");
    if (loaded) {
        check_decoded(image, e, data);
    } else if (!e.header_sound) {
        if (image.pixels != before.pixels || image.width != before.width || image.height != before.height)
            broken_promise("a refused header changed the slot");
    } else if (image.pixels || image.width || image.height) {
        broken_promise("a file short of its pixels left something in the slot");
    }

    struct stat after;
    if (stat(input_path.c_str(), &after) != 0 || static_cast<size_t>(after.st_size) != size)
        broken_promise("the loader changed the file");

    draw_everywhere(image);
    clear_image_slot(fuzz_slot);
    return 0;
}
