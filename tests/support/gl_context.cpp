#include "tests/support/gl_context.h"

#include <GL/gl.h>

#include "platform/platform.h"
#include "world/settings.h"

namespace {
bool context_open = false;
}

bool open_test_gl_context() {
    if (!context_open) {
        if (!platform_create_window("test", screen_width, screen_height, 16)) return false;
        if (!platform_create_gl_context()) {
            platform_destroy_window();
            return false;
        }
        context_open = true;
    }
    if (!platform_make_gl_current()) return false;
    glViewport(0, 0, screen_width, screen_height);
    return true;
}

void close_test_gl_context() {
    if (!context_open) return;
    platform_release_gl_current();
    platform_delete_gl_context();
    platform_destroy_window();
    context_open = false;
}

ScreenPixel read_screen_pixel(int x, int y) {
    ScreenPixel pixel = {0, 0, 0, 0};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, &pixel);
    return pixel;
}

void read_screen(uint8_t* rgba) {
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, screen_width, screen_height, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
}
