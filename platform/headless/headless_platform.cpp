// A machine without a screen: input is scripted, time stands still unless a
// test moves it, and the window is an offscreen EGL context (Mesa surfaceless).
#include "platform/headless/headless_platform.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr int event_capacity = 4096;
constexpr int message_capacity = 32;

// Every step the platform can be made to refuse, by its name.
const char* const step_names[] = {
    "display", "class", "window", "device context", "choose pixel format", "set pixel format", "context", "current",
    "release current", "delete context", "release device context", "destroy window", "unregister class",
};
constexpr int step_count = sizeof step_names / sizeof step_names[0];

struct HeadlessMessage {
    PlatformMessageKind kind;
    std::string caption;
    std::string text;
};

struct HeadlessMachine {
    bool keys[256];
    PlatformEvent events[event_capacity];
    int event_head, event_count;
    int64_t calendar_seconds;
    int64_t total_sleep_ms;
    int last_sleep_ms;
    std::string last_sound;
    int message_count;
    HeadlessMessage messages[message_capacity];
    bool window_open = false;
    int window_width, window_height;
    int swap_count;
    bool failing_steps[step_count];
};

HeadlessMachine machine;

EGLDisplay egl_display = EGL_NO_DISPLAY;
EGLContext egl_context = EGL_NO_CONTEXT;
EGLSurface egl_surface = EGL_NO_SURFACE;

int step_index(const char* step) {
    for (int i = 0; i < step_count; ++i)
        if (step && std::strcmp(step_names[i], step) == 0) return i;
    return -1;
}

bool step_fails(const char* step) {
    int index = step_index(step);
    return index >= 0 && machine.failing_steps[index];
}

const HeadlessMessage* message_at(int index) {
    if (index < 0 || index >= machine.message_count || index >= message_capacity) return nullptr;
    return &machine.messages[index];
}

EGLDisplay open_offscreen_display() {
    auto get_platform_display =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    EGLDisplay display = EGL_NO_DISPLAY;
    if (get_platform_display)
        display = get_platform_display(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY) display = eglGetDisplay(EGL_DEFAULT_DISPLAY);
    return display;
}

}  // namespace

void headless_reset() {
    bool open = machine.window_open;
    int width = machine.window_width, height = machine.window_height;
    machine = HeadlessMachine();
    std::memset(machine.keys, 0, sizeof machine.keys);
    std::memset(machine.failing_steps, 0, sizeof machine.failing_steps);
    machine.window_open = open;
    machine.window_width = width;
    machine.window_height = height;
}

void headless_set_key(int vk, bool down) {
    if (vk >= 0 && vk < 256) machine.keys[vk] = down;
}

void headless_push_event(const PlatformEvent& event) {
    if (machine.event_count >= event_capacity) return;
    machine.events[(machine.event_head + machine.event_count) % event_capacity] = event;
    ++machine.event_count;
}

int headless_pending_events() { return machine.event_count; }

void headless_set_calendar_seconds(int64_t seconds) { machine.calendar_seconds = seconds; }
int64_t headless_total_sleep_ms() { return machine.total_sleep_ms; }
int headless_last_sleep_ms() { return machine.last_sleep_ms; }
std::string headless_last_sound() { return machine.last_sound; }
int headless_message_count() { return machine.message_count; }
PlatformMessageKind headless_message_kind(int index) {
    const HeadlessMessage* message = message_at(index);
    return message ? message->kind : platform_message_error;
}
std::string headless_message_caption(int index) {
    const HeadlessMessage* message = message_at(index);
    return message ? message->caption : std::string();
}
std::string headless_message_text(int index) {
    const HeadlessMessage* message = message_at(index);
    return message ? message->text : std::string();
}
bool headless_window_open() { return machine.window_open; }
int headless_swap_count() { return machine.swap_count; }
bool headless_fail_step(const char* step) {
    int index = step_index(step);
    if (index < 0) return false;
    machine.failing_steps[index] = true;
    return true;
}

// ---- the contract ----------------------------------------------------------------

// The display request is the common display step's, which the offscreen
// surface ignores: it is the picture's size whatever is asked.
bool platform_open_display() { return !step_fails("display"); }

bool platform_register_window_class() { return !step_fails("class"); }

bool platform_create_window(const char*, int width, int height, int) {
    if (step_fails("window")) return false;
    machine.window_open = true;
    machine.window_width = width;
    machine.window_height = height;
    return true;
}

bool platform_get_device_context() { return !step_fails("device context"); }
bool platform_choose_pixel_format() { return !step_fails("choose pixel format"); }
bool platform_set_pixel_format() { return !step_fails("set pixel format"); }

bool platform_create_gl_context() {
    if (step_fails("context")) return false;
    if (egl_context != EGL_NO_CONTEXT) return true;
    egl_display = open_offscreen_display();
    if (egl_display == EGL_NO_DISPLAY) return false;
    if (!eglInitialize(egl_display, nullptr, nullptr)) return false;
    const EGLint config_attributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8,
                                        EGL_BLUE_SIZE, 8, EGL_ALPHA_SIZE, 8, EGL_DEPTH_SIZE, 16,
                                        EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
    EGLConfig config;
    EGLint config_count = 0;
    if (!eglChooseConfig(egl_display, config_attributes, &config, 1, &config_count) || config_count < 1)
        return false;
    const EGLint surface_attributes[] = {EGL_WIDTH, machine.window_width > 0 ? machine.window_width : 640,
                                         EGL_HEIGHT, machine.window_height > 0 ? machine.window_height : 480,
                                         EGL_NONE};
    egl_surface = eglCreatePbufferSurface(egl_display, config, surface_attributes);
    if (egl_surface == EGL_NO_SURFACE) return false;
    if (!eglBindAPI(EGL_OPENGL_API)) return false;
    egl_context = eglCreateContext(egl_display, config, EGL_NO_CONTEXT, nullptr);
    return egl_context != EGL_NO_CONTEXT;
}

bool platform_make_gl_current() {
    if (step_fails("current")) return false;
    return egl_context != EGL_NO_CONTEXT && eglMakeCurrent(egl_display, egl_surface, egl_surface, egl_context);
}

void platform_show_window() {}

void platform_swap_buffers() {
    ++machine.swap_count;
    if (egl_surface != EGL_NO_SURFACE) eglSwapBuffers(egl_display, egl_surface);
}

bool platform_release_gl_current() {
    bool released = true;
    if (egl_display != EGL_NO_DISPLAY)
        released = eglMakeCurrent(egl_display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    return released && !step_fails("release current");
}

bool platform_delete_gl_context() {
    bool ok = true;
    if (egl_context != EGL_NO_CONTEXT) ok = eglDestroyContext(egl_display, egl_context) && ok;
    if (egl_surface != EGL_NO_SURFACE) ok = eglDestroySurface(egl_display, egl_surface) && ok;
    if (egl_display != EGL_NO_DISPLAY) eglTerminate(egl_display);
    egl_context = EGL_NO_CONTEXT;
    egl_surface = EGL_NO_SURFACE;
    egl_display = EGL_NO_DISPLAY;
    return ok && !step_fails("delete context");
}

bool platform_release_device_context() { return !step_fails("release device context"); }

bool platform_destroy_window() {
    bool was_open = machine.window_open;
    machine.window_open = false;
    return was_open && !step_fails("destroy window");
}

bool platform_unregister_window_class() { return !step_fails("unregister class"); }

// There is no desktop to place the window on: only its size is kept.
void platform_move_window(int, int, int width, int height) {
    machine.window_width = width;
    machine.window_height = height;
}

void platform_show_cursor(bool) {}

bool platform_poll_event(PlatformEvent* event) {
    if (machine.event_count == 0) return false;
    *event = machine.events[machine.event_head];
    machine.event_head = (machine.event_head + 1) % event_capacity;
    --machine.event_count;
    return true;
}

bool platform_key_down(int vk) {
    if (vk < 0 || vk >= 256) return false;
    return machine.keys[vk];
}

void platform_cursor_screen_position(int* x, int* y) {
    *x = 0;
    *y = 0;
}

bool platform_message_box(PlatformMessageKind kind, const char* caption, const char* text) {
    if (machine.message_count < message_capacity) {
        HeadlessMessage& message = machine.messages[machine.message_count];
        message.kind = kind;
        message.caption = caption ? caption : "";
        message.text = text ? text : "";
    }
    ++machine.message_count;
    std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
    return false;  // a question is answered no
}

void platform_sleep_ms(int milliseconds) {
    machine.last_sleep_ms = milliseconds;
    machine.total_sleep_ms += milliseconds;
}

int64_t platform_calendar_seconds() { return machine.calendar_seconds; }

void platform_play_wave_async(const char* relative_path) {
    machine.last_sound = relative_path ? relative_path : "";
}
