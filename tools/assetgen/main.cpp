// The asset generator: draws one picture or synthesises one sound from its
// text source, or stops the build with the file and line that are wrong.
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/assetgen/canvas.h"
#include "tools/assetgen/output_files.h"
#include "tools/assetgen/picture_source.h"
#include "tools/assetgen/sound_source.h"

namespace {

int print_usage() {
    std::fprintf(stderr,
                 "usage: varnhold_assetgen picture SOURCE.txt OUTPUT.bmp\n"
                 "       varnhold_assetgen sound SOURCE.txt OUTPUT.wav\n");
    return 2;
}

int report_failure(const std::string& error) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
}

int make_picture(const std::string& source, const std::string& output) {
    Canvas canvas;
    std::string error;
    if (!draw_picture_source(source, &canvas, &error)) return report_failure(error);
    if (!write_bmp_file(output, canvas, &error)) return report_failure(error);
    return 0;
}

int make_sound(const std::string& source, const std::string& output) {
    ExplosionShape shape;
    std::string error;
    if (!read_explosion_source(source, &shape, &error)) return report_failure(error);
    if (!write_wave_file(output, synthesise_explosion(shape), shape.rate, &error)) return report_failure(error);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) return print_usage();
    // A failed run leaves no stale output behind for the build to trust.
    std::remove(argv[3]);
    if (std::strcmp(argv[1], "picture") == 0) return make_picture(argv[2], argv[3]);
    if (std::strcmp(argv[1], "sound") == 0) return make_sound(argv[2], argv[3]);
    return print_usage();
}
