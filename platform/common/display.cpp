#include "platform/common/display.h"

#ifdef _WIN32
#include <windows.h>
#endif
#include <GL/gl.h>

#include "platform/platform.h"

DisplayState display_state = {0, false, 640, 480, 1, false};

namespace {

constexpr int largest_factor = 16;
// The window may take up to nine tenths of the usable desktop.
constexpr int fit_numerator = 9;
constexpr int fit_denominator = 10;
// Bars are cleared only when the drawable changes size, in this many frames
// in a row: every buffer of a double (or triple) buffered window gets black.
constexpr int bar_clear_frames = 3;

DisplayLayout current_layout = {640, 480, 640, 480, 1, 0, 0, 0};
GLuint picture_texture = 0;
int texture_width = 0, texture_height = 0;
int bar_clears_left = 0;

int at_least(int value, int least) { return value < least ? least : value; }
int clamp(int value, int least, int most) { return value < least ? least : value > most ? most : value; }

// GL 1.1 textures have power-of-two sides.
int power_of_two_at_least(int value) {
    int side = 1;
    while (side < value) side *= 2;
    return side;
}

// The picture already lies where it belongs: the game's own corner.
bool picture_in_place(const DisplayLayout& layout) {
    return layout.factor == 1 && layout.left == 0 && layout.bottom == 0;
}

bool same_layout(const DisplayLayout& a, const DisplayLayout& b) {
    return a.picture_width == b.picture_width && a.picture_height == b.picture_height &&
           a.drawable_width == b.drawable_width && a.drawable_height == b.drawable_height;
}

// The texture the picture is copied into, made once at the first enlargement.
bool make_picture_texture(int width, int height) {
    int wanted_width = power_of_two_at_least(width), wanted_height = power_of_two_at_least(height);
    if (picture_texture != 0 && texture_width == wanted_width && texture_height == wanted_height) return true;
    if (picture_texture == 0) glGenTextures(1, &picture_texture);
    glBindTexture(GL_TEXTURE_2D, picture_texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
    // Earlier errors are nobody's now; a bounded loop, since some drivers
    // keep reporting one while no context is current.
    for (int i = 0; i < 32 && glGetError() != GL_NO_ERROR; ++i) {
    }
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, wanted_width, wanted_height, 0, GL_RGB, GL_UNSIGNED_BYTE, nullptr);
    if (glGetError() != GL_NO_ERROR) return false;
    texture_width = wanted_width;
    texture_height = wanted_height;
    return true;
}

void clear_rectangle(int x, int y, int width, int height) {
    if (width <= 0 || height <= 0) return;
    glScissor(x, y, width, height);
    glClear(GL_COLOR_BUFFER_BIT);
}

// The parts of the game's corner that the enlarged picture does not cover
// were drawn this frame, and are bars: black again.
void clear_corner_outside_picture(const DisplayLayout& layout) {
    const int w = layout.picture_width, h = layout.picture_height;
    if (layout.left > 0) clear_rectangle(0, 0, layout.left < w ? layout.left : w, h);
    if (layout.bottom > 0 && layout.left < w)
        clear_rectangle(layout.left, 0, w - layout.left, layout.bottom < h ? layout.bottom : h);
}

void draw_enlarged_quad(const DisplayLayout& layout) {
    const float u = static_cast<float>(layout.picture_width) / static_cast<float>(texture_width);
    const float v = static_cast<float>(layout.picture_height) / static_cast<float>(texture_height);
    const int x0 = layout.left, y0 = layout.bottom;
    const int x1 = x0 + layout.picture_width * layout.factor, y1 = y0 + layout.picture_height * layout.factor;
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2i(x0, y0);
    glTexCoord2f(u, 0.0f);
    glVertex2i(x1, y0);
    glTexCoord2f(u, v);
    glVertex2i(x1, y1);
    glTexCoord2f(0.0f, v);
    glVertex2i(x0, y1);
    glEnd();
}

// Copy the corner into the texture, black where the picture will not be,
// and draw the texture enlarged. Every state touched is saved first: the
// switches, viewport, scissor box, texture binding and mode, clear colour
// and mask, matrix mode and the current texture coordinates.
void enlarge(const DisplayLayout& layout) {
    glPushAttrib(GL_ENABLE_BIT | GL_VIEWPORT_BIT | GL_SCISSOR_BIT | GL_TEXTURE_BIT | GL_COLOR_BUFFER_BIT |
                 GL_TRANSFORM_BIT | GL_CURRENT_BIT);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, layout.drawable_width, 0.0, layout.drawable_height, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_TEXTURE);
    glPushMatrix();
    glLoadIdentity();

    const GLenum off[] = {GL_SCISSOR_TEST, GL_DEPTH_TEST, GL_BLEND,  GL_ALPHA_TEST,     GL_LIGHTING,
                          GL_FOG,          GL_CULL_FACE,  GL_DITHER, GL_COLOR_MATERIAL, GL_STENCIL_TEST};
    for (GLenum capability : off) glDisable(capability);
    glViewport(0, 0, layout.drawable_width, layout.drawable_height);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);

    if (make_picture_texture(layout.picture_width, layout.picture_height)) {
        glBindTexture(GL_TEXTURE_2D, picture_texture);
        glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, layout.picture_width, layout.picture_height);
        glEnable(GL_SCISSOR_TEST);
        if (bar_clears_left > 0) {
            --bar_clears_left;
            clear_rectangle(0, 0, layout.drawable_width, layout.drawable_height);
        } else {
            clear_corner_outside_picture(layout);
        }
        glDisable(GL_SCISSOR_TEST);
        glEnable(GL_TEXTURE_2D);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
        draw_enlarged_quad(layout);
    }

    glMatrixMode(GL_TEXTURE);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glPopAttrib();
}

}  // namespace

int display_window_factor(int picture_width, int picture_height, int usable_width, int usable_height) {
    int factor = 1;
    for (int n = 2; n <= largest_factor; ++n) {
        bool fits = static_cast<long long>(picture_width) * n * fit_denominator <=
                        static_cast<long long>(usable_width) * fit_numerator &&
                    static_cast<long long>(picture_height) * n * fit_denominator <=
                        static_cast<long long>(usable_height) * fit_numerator;
        if (fits) factor = n;
    }
    return factor;
}

void platform_request_display(int scale, bool full_screen) {
    display_state.requested_scale = scale;
    display_state.full_screen_requested = full_screen;
}

void display_window_opens(int picture_width, int picture_height, int usable_width, int usable_height) {
    display_state.picture_width = picture_width;
    display_state.picture_height = picture_height;
    display_state.window_factor = display_window_factor(picture_width, picture_height, usable_width, usable_height);
    if (display_state.requested_scale > 0) display_state.window_factor = display_state.requested_scale;
    display_state.full_screen = false;
}

DisplayLayout display_layout(int picture_width, int picture_height, int drawable_width, int drawable_height) {
    DisplayLayout layout;
    layout.picture_width = picture_width;
    layout.picture_height = picture_height;
    layout.drawable_width = drawable_width;
    layout.drawable_height = drawable_height;
    int across = picture_width > 0 ? drawable_width / picture_width : 1;
    int down = picture_height > 0 ? drawable_height / picture_height : 1;
    layout.factor = clamp(across < down ? across : down, 1, largest_factor);
    int spare_width = drawable_width - picture_width * layout.factor;
    int spare_height = drawable_height - picture_height * layout.factor;
    layout.left = at_least(spare_width / 2, 0);
    layout.bottom = at_least(spare_height / 2, 0);
    layout.top = spare_height - layout.bottom;
    return layout;
}

bool display_is_identity(const DisplayLayout& layout) {
    return picture_in_place(layout) && layout.drawable_width == layout.picture_width &&
           layout.drawable_height == layout.picture_height;
}

void display_window_point_to_picture(const DisplayLayout& layout, int window_width, int window_height, int* x,
                                     int* y) {
    if (display_is_identity(layout) && window_width == layout.drawable_width &&
        window_height == layout.drawable_height)
        return;
    // Points to drawable pixels: the same unless the desktop is high-DPI.
    long long pixel_x = *x, pixel_y = *y;
    if (window_width > 0) pixel_x = pixel_x * layout.drawable_width / window_width;
    if (window_height > 0) pixel_y = pixel_y * layout.drawable_height / window_height;
    long long from_left = pixel_x - layout.left, from_top = pixel_y - layout.top;
    *x = clamp(static_cast<int>(from_left / layout.factor), 0, layout.picture_width - 1);
    *y = clamp(static_cast<int>(from_top / layout.factor), 0, layout.picture_height - 1);
}

void display_start(int picture_width, int picture_height) {
    current_layout = display_layout(picture_width, picture_height, picture_width, picture_height);
    bar_clears_left = 0;
    glViewport(0, 0, picture_width, picture_height);
}

void display_present(int drawable_width, int drawable_height) {
    DisplayLayout layout =
        display_layout(current_layout.picture_width, current_layout.picture_height, drawable_width, drawable_height);
    if (!same_layout(layout, current_layout)) {
        current_layout = layout;
        bar_clears_left = bar_clear_frames;
        // In place, the game clears and draws the whole drawable as it always did.
        if (picture_in_place(layout)) glDisable(GL_SCISSOR_TEST);
    }
    if (picture_in_place(layout)) return;
    enlarge(layout);
    // The next frame draws only into the corner the picture is taken from:
    // the game's clear would otherwise blank the whole drawable every frame.
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, layout.picture_width, layout.picture_height);
}

DisplayLayout display_current_layout() { return current_layout; }

void display_stop() {
    if (picture_texture != 0) glDeleteTextures(1, &picture_texture);
    picture_texture = 0;
    texture_width = 0;
    texture_height = 0;
}
