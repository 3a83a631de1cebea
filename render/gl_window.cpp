#include "render/gl_window.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <new>

#include "platform/platform.h"
#include "render/image_loader.h"
#include "render/image_table.h"

namespace {

// What start-up has reached, so that teardown releases only what exists.
bool class_registered = false;
bool window_exists = false;
bool device_context_exists = false;
bool render_context_exists = false;

constexpr double field_of_view = 45.0;
constexpr double near_plane = 0.1;
constexpr double far_plane = 100.0;

void start_failure(const char* text) { platform_message_box(platform_message_error, "ERROR", text); }
void shutdown_failure(const char* text) { platform_message_box(platform_message_notice, "SHUTDOWN ERROR", text); }

// A step once the window class exists: when it failed, whatever exists is
// torn down first (the display given back), then the step's own message.
bool window_step(bool succeeded, const char* failure) {
    if (succeeded) return true;
    close_window();
    start_failure(failure);
    return false;
}

void apply_perspective(float aspect) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(field_of_view, aspect, near_plane, far_plane);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void set_gl_state() {
    glEnable(GL_TEXTURE_2D);
    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_FASTEST);
    glColor3f(1.0f, 1.0f, 1.0f);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.1f);
    glEnable(GL_COLOR_MATERIAL);
}

}  // namespace

// The game never changes the display mode: full screen is the platform's
// display (display_state), at the desktop's own resolution.
bool open_window(const char* title, int width, int height, int bits) {
    (void)bits;  // the colour depth is the desktop's; only the depth buffer is asked for
    // Without a screen no box can show: the backend has said so on stderr.
    if (!platform_open_display()) return false;
    if (!platform_register_window_class()) {
        start_failure("Failed To Register The Window Class.");
        return false;
    }
    class_registered = true;

    window_exists = platform_create_window(title, width, height, 16);
    if (!window_step(window_exists, "Window Creation Error.")) return false;
    device_context_exists = platform_get_device_context();
    if (!window_step(device_context_exists, "Can't Create A GL Device Context.")) return false;
    if (!window_step(platform_choose_pixel_format(), "Can't Find A Suitable PixelFormat.")) return false;
    if (!window_step(platform_set_pixel_format(), "Can't Set The PixelFormat.")) return false;
    render_context_exists = platform_create_gl_context();
    if (!window_step(render_context_exists, "Can't Create A GL Rendering Context.")) return false;
    if (!window_step(platform_make_gl_current(), "Can't Activate The GL Rendering Context.")) return false;

    platform_show_window();
    set_start_projection(width, height);
    // The game does not run on half a world: out of memory, it stops here.
    if (const char* failure = init_scene()) return window_step(false, failure);
    return true;
}

// Walks back down from whatever start-up reached; a step that fails is
// reported and the rest still runs.
void close_window() {
    if (render_context_exists) {
        if (!platform_release_gl_current()) shutdown_failure("Release Of DC And RC Failed.");
        if (!platform_delete_gl_context()) shutdown_failure("Release Rendering Context Failed.");
        render_context_exists = false;
    }
    if (device_context_exists) {
        if (!platform_release_device_context()) shutdown_failure("Release Device Context Failed.");
        device_context_exists = false;
    }
    if (window_exists) {
        if (!platform_destroy_window()) shutdown_failure("Could Not Release hWnd.");
        window_exists = false;
    }
    if (class_registered) {
        if (!platform_unregister_window_class()) shutdown_failure("Could Not Unregister Class.");
        class_registered = false;
    }
}

void set_start_projection(int width, int height) {
    (void)width;
    (void)height;
    apply_perspective(4.0f / 3.0f);
}

void resize_view(int width, int height) {
    if (height == 0) height = 1;
    glViewport(0, 0, width, height);
    apply_perspective(static_cast<float>(width) / static_cast<float>(height));
}

const char* init_scene() {
    platform_show_cursor(false);
    if (!alloc_image_table()) return "Not Enough Memory For The Pictures.";
    load_all_images();
    set_gl_state();
    return nullptr;
}
