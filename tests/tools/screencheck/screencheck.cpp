// screencheck: checks the game's screen from outside, for the end-to-end test.
//   screencheck shows DUMP X Y TEXT          exit 0 when the text is there in white
//   screencheck read DUMP X Y FORMAT FROM TO prints the %d in FORMAT that matches best
//   screencheck picture DUMP X Y BMP         prints how much of the picture (per mille) is at X, Y
//   screencheck colours DUMP BMP... -- BMP... prints how many pixels have colours only the first pictures use
//   screencheck close WINDOW_ID              asks the window to close
//   screencheck blocks DUMP LEFT TOP FACTOR  prints how many FACTOR x FACTOR blocks of the
//                                            enlarged picture at LEFT, TOP hold two colours
//   screencheck outside DUMP LEFT TOP W H    prints how many pixels outside the rectangle are not black
// Positions are overlay coordinates: x from the left, y from the bottom.
// With "--picture LEFT TOP FACTOR" first, shows, read, picture and colours
// look at the game's picture enlarged in the dump with its top-left corner
// at LEFT, TOP (pixels from the dump's top-left): one pixel of each block.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "picture_match.h"
#include "text_match.h"
#include "window_close.h"
#include "xwd_image.h"
#include "world/settings.h"

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: screencheck shows DUMP X Y TEXT\n"
                 "       screencheck read DUMP X Y FORMAT FROM TO\n"
                 "       screencheck picture DUMP X Y BMP\n"
                 "       screencheck colours DUMP BMP... -- BMP...\n"
                 "       screencheck close WINDOW_ID\n"
                 "       screencheck blocks DUMP LEFT TOP FACTOR\n"
                 "       screencheck outside DUMP LEFT TOP WIDTH HEIGHT\n"
                 "       screencheck --picture LEFT TOP FACTOR shows|read|picture|colours ...\n");
    return 2;
}

// Where the game's picture lies in the dump, when --picture said so.
bool picture_given = false;
int picture_left = 0, picture_top = 0, picture_factor = 1;

// The dump, or the picture taken out of it.
bool read_screen(const char* path, XwdImage* screen) {
    if (!read_xwd(path, screen)) return false;
    if (!picture_given) return true;
    XwdImage picture;
    bool ok = take_picture(*screen, picture_left, picture_top, picture_factor, screen_width, screen_height, &picture);
    release_xwd(screen);
    *screen = picture;
    return ok;
}

// Every ink pixel white; other white in the box (units' labels crossing the
// line) is tolerated up to a third of the ink. Telling apart texts whose ink
// contains each other (a 3 and an 8) is the business of read.
bool text_shown(const TextMatch& match) { return match.ink > 0 && match.missing == 0 && match.stray * 3 <= match.ink; }

int check_shows(const XwdImage& screen, int x, int y, const char* text) {
    TextMatch match = match_text(screen, x, y, text);
    std::printf("ink=%d missing=%d stray=%d\n", match.ink, match.missing, match.stray);
    return text_shown(match) ? 0 : 1;
}

// The value whose text leaves the fewest differences, if no other value
// ties with it and its ink is all there.
int read_value(const XwdImage& screen, int x, int y, const char* format, int from, int to) {
    int best_value = 0, best_score = -1, second_score = -1, best_missing = 0;
    char text[256];
    for (int value = from; value <= to; ++value) {
        std::snprintf(text, sizeof text, format, value);
        TextMatch match = match_text(screen, x, y, text);
        int score = match.missing + match.stray;
        if (best_score < 0 || score < best_score) {
            second_score = best_score;
            best_score = score;
            best_value = value;
            best_missing = match.missing;
        } else if (second_score < 0 || score < second_score) {
            second_score = score;
        }
    }
    if (best_score < 0 || best_missing != 0 || (second_score >= 0 && second_score == best_score)) {
        std::printf("none\n");
        return 1;
    }
    std::printf("%d\n", best_value);
    return 0;
}

// Prints the figure, so that the caller sets its own threshold; fails only
// when a file cannot be read.
int check_picture(int argc, char** argv) {
    const bool colours = std::strcmp(argv[1], "colours") == 0;
    if (!colours && argc != 6) return usage();
    int split = 3;
    while (colours && split < argc && std::strcmp(argv[split], "--") != 0) ++split;
    if (colours && (split == 3 || split >= argc - 1)) return usage();
    XwdImage screen;
    if (!read_screen(argv[2], &screen)) {
        std::fprintf(stderr, "screencheck: cannot read %s\n", argv[2]);
        return 2;
    }
    int figure = colours ? pixels_in_own_colours(screen, argv + 3, split - 3, argv + split + 1, argc - split - 1)
                         : picture_shown_per_mille(screen, std::atoi(argv[3]), std::atoi(argv[4]), argv[5]);
    release_xwd(&screen);
    if (figure < 0) {
        std::fprintf(stderr, "screencheck: cannot read a picture\n");
        return 2;
    }
    std::printf("%d\n", figure);
    return 0;
}

// Figures about the enlarged picture and the black around it.
int check_display(int argc, char** argv) {
    const bool blocks = std::strcmp(argv[1], "blocks") == 0;
    if (argc != (blocks ? 6 : 7)) return usage();
    XwdImage screen;
    if (!read_xwd(argv[2], &screen)) {
        std::fprintf(stderr, "screencheck: cannot read %s\n", argv[2]);
        return 2;
    }
    int left = std::atoi(argv[3]), top = std::atoi(argv[4]);
    int figure = blocks ? mixed_blocks(screen, left, top, std::atoi(argv[5]), screen_width, screen_height)
                        : lit_pixels_outside(screen, left, top, std::atoi(argv[5]), std::atoi(argv[6]));
    release_xwd(&screen);
    if (figure < 0) {
        std::fprintf(stderr, "screencheck: the picture does not lie inside the dump\n");
        return 2;
    }
    std::printf("%d\n", figure);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 5 && std::strcmp(argv[1], "--picture") == 0) {
        picture_given = true;
        picture_left = std::atoi(argv[2]);
        picture_top = std::atoi(argv[3]);
        picture_factor = std::atoi(argv[4]);
        argv[4] = argv[0];
        argv += 4;
        argc -= 4;
    }
    if (argc >= 2 && (std::strcmp(argv[1], "blocks") == 0 || std::strcmp(argv[1], "outside") == 0))
        return check_display(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "close") == 0)
        return request_window_close(std::strtoul(argv[2], nullptr, 0)) ? 0 : 1;
    if (argc >= 3 && (std::strcmp(argv[1], "picture") == 0 || std::strcmp(argv[1], "colours") == 0))
        return check_picture(argc, argv);
    bool shows = argc == 6 && std::strcmp(argv[1], "shows") == 0;
    bool read = argc == 8 && std::strcmp(argv[1], "read") == 0;
    if (!shows && !read) return usage();
    XwdImage screen;
    if (!read_screen(argv[2], &screen)) {
        std::fprintf(stderr, "screencheck: cannot read %s\n", argv[2]);
        return 2;
    }
    int x = std::atoi(argv[3]), y = std::atoi(argv[4]);
    int result = shows ? check_shows(screen, x, y, argv[5])
                       : read_value(screen, x, y, argv[5], std::atoi(argv[6]), std::atoi(argv[7]));
    release_xwd(&screen);
    return result;
}
