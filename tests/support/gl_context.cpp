#include "tests/support/gl_context.h"

#include <GL/gl.h>

#include "platform/platform.h"
#include "world/settings.h"

bool open_test_gl_context() {
    static bool open = false;
    if (!open) {
        open = platform_create_window("test", screen_width, screen_height, 16) && platform_create_gl_context();
        if (!open) return false;
    }
    if (!platform_make_gl_current()) return false;
    glViewport(0, 0, screen_width, screen_height);
    return true;
}

void read_screen(uint8_t* rgba) {
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, screen_width, screen_height, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
}
