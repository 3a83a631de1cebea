#include "platform/sdl/sdl_platform.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <GL/gl.h>

#include "platform/common/display.h"
#include "platform/sdl/sdl_audio.h"
#include "platform/sdl/sdl_keys.h"

namespace {

SDL_Window* sdl_window = nullptr;
SDL_GLContext gl_context = nullptr;

// The window's place to go back to from full screen; the rest of the
// display is display_state's.
int windowed_x = 0, windowed_y = 0;

DisplayLayout layout_now() {
    int width = display_state.picture_width, height = display_state.picture_height;
    if (sdl_window) SDL_GL_GetDrawableSize(sdl_window, &width, &height);
    return display_layout(display_state.picture_width, display_state.picture_height, width, height);
}

// The desktop the window opens on: the one holding the screen's top-left corner.
int display_at_origin() {
    for (int i = 0; i < SDL_GetNumVideoDisplays(); ++i) {
        SDL_Rect bounds;
        if (SDL_GetDisplayBounds(i, &bounds) == 0 && bounds.x <= 0 && bounds.y <= 0 && bounds.x + bounds.w > 0 &&
            bounds.y + bounds.h > 0)
            return i;
    }
    return 0;
}

// Full screen is the desktop's own resolution, never a mode change; leaving
// it gives back the window as it was, size and place. The window is first
// made to cover its desktop by itself: without a window manager (a kiosk, a
// bare X server) nobody answers SDL's full-screen request, and SDL would
// still take the desktop's size for the drawable's.
void set_full_screen(bool on) {
    if (!sdl_window || on == display_state.full_screen) return;
    if (on) {
        SDL_GetWindowPosition(sdl_window, &windowed_x, &windowed_y);
        int display = SDL_GetWindowDisplayIndex(sdl_window);
        SDL_Rect bounds;
        if (SDL_GetDisplayBounds(display < 0 ? 0 : display, &bounds) != 0) return;
        SDL_SetWindowPosition(sdl_window, bounds.x, bounds.y);
        SDL_SetWindowSize(sdl_window, bounds.w, bounds.h);
        // Refused or not, the window now covers the desktop: that is full screen.
        SDL_SetWindowFullscreen(sdl_window, SDL_WINDOW_FULLSCREEN_DESKTOP);
    } else {
        SDL_SetWindowFullscreen(sdl_window, 0);
        SDL_SetWindowSize(sdl_window, display_state.picture_width * display_state.window_factor,
                          display_state.picture_height * display_state.window_factor);
        SDL_SetWindowPosition(sdl_window, windowed_x, windowed_y);
    }
    display_state.full_screen = on;
}

// Alt+Enter switches full screen and is no key of the game's; a held
// Alt+Enter switches once.
bool is_full_screen_toggle(const SDL_Event& sdl_event) {
    return sdl_event.type == SDL_KEYDOWN && sdl_event.key.keysym.sym == SDLK_RETURN &&
           (sdl_event.key.keysym.mod & KMOD_ALT) != 0;
}

// Positions and sizes reach the game in picture pixels.
void map_to_picture(PlatformEvent* event) {
    if (event->type == platform_event_resized) {
        event->x = display_state.picture_width;
        event->y = display_state.picture_height;
        return;
    }
    if (event->type != platform_event_mouse_move && event->type != platform_event_button_down &&
        event->type != platform_event_button_up)
        return;
    int window_width = 0, window_height = 0;
    SDL_GetWindowSize(sdl_window, &window_width, &window_height);
    display_window_point_to_picture(layout_now(), window_width, window_height, &event->x, &event->y);
}

// Why the last step failed, in SDL's words: it follows the step's own
// message on stderr, so that the one line says both what and why.
char failure_detail[256] = "";

void note_failure(const char* what) {
    std::snprintf(failure_detail, sizeof failure_detail, "%s: %s", what, SDL_GetError());
}

void clear_event(PlatformEvent* event) { std::memset(event, 0, sizeof *event); }

void translate_window_event(const SDL_WindowEvent& window, PlatformEvent* event) {
    switch (window.event) {
    case SDL_WINDOWEVENT_MINIMIZED: event->type = platform_event_minimized; break;
    // Only minimising stops the frames; losing the focus changes nothing.
    case SDL_WINDOWEVENT_RESTORED:
    case SDL_WINDOWEVENT_SHOWN:
    case SDL_WINDOWEVENT_MAXIMIZED: event->type = platform_event_restored; break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        event->type = platform_event_resized;
        event->x = window.data1;
        event->y = window.data2;
        break;
    case SDL_WINDOWEVENT_CLOSE: event->type = platform_event_quit; break;
    default: event->type = platform_event_other; break;
    }
}

int button_index(uint8_t sdl_button) {
    switch (sdl_button) {
    case SDL_BUTTON_LEFT: return 0;
    case SDL_BUTTON_MIDDLE: return 1;
    case SDL_BUTTON_RIGHT: return 2;
    default: return -1;
    }
}

uint32_t message_icon(PlatformMessageKind kind) {
    switch (kind) {
    case platform_message_error:
    case platform_message_stop: return SDL_MESSAGEBOX_ERROR;
    case platform_message_question: return SDL_MESSAGEBOX_WARNING;
    case platform_message_notice: return SDL_MESSAGEBOX_INFORMATION;
    }
    return SDL_MESSAGEBOX_ERROR;
}

void write_message_to_stderr(const char* caption, const char* text) {
    if (failure_detail[0])
        std::fprintf(stderr, "%s: %s (%s)\n", caption ? caption : "", text ? text : "", failure_detail);
    else
        std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
    std::fflush(stderr);
    failure_detail[0] = 0;
}

bool has_text(const char* value) { return value && value[0]; }

// A Wayland compositor listens on a socket in the runtime folder, named by
// WAYLAND_DISPLAY (or wayland-0 when unnamed), or on an absolute path.
bool wayland_socket_exists() {
    const char* name = std::getenv("WAYLAND_DISPLAY");
    if (!has_text(name)) name = "wayland-0";
    if (name[0] == '/') return access(name, F_OK) == 0;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!has_text(runtime)) return false;
    char path[512];
    int length = std::snprintf(path, sizeof path, "%s/%s", runtime, name);
    return length > 0 && length < static_cast<int>(sizeof path) && access(path, F_OK) == 0;
}

// SDL's drivers that show no window: a game on them would play on unseen.
bool shows_nothing(const char* driver) {
    return driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
}

// Also gives back whatever SDL took while it tried (its D-Bus connection);
// the cause may be SDL's own error text, so it is copied first.
void say_no_display(const char* cause) {
    char copy[256] = "";
    if (cause) std::snprintf(copy, sizeof copy, "%s", cause);
    SDL_Quit();
    std::fprintf(stderr,
                 "varnhold: no display%s%s%s: the game needs an X11 or Wayland desktop (DISPLAY or WAYLAND_DISPLAY); "
                 "without one, try: xvfb-run -a varnhold\n",
                 cause ? " (" : "", copy, cause ? ")" : "");
    std::fflush(stderr);
}

// Left to itself, SDL would try every window system it knows and end on its
// offscreen driver, which shows nothing: the game would run unseen, at full
// speed, for ever. So only the systems this machine has are tried, unless
// the player names a driver in SDL_VIDEODRIVER, which is then obeyed.
bool init_video() {
    if (has_text(std::getenv("SDL_VIDEODRIVER"))) {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) return true;
        say_no_display(SDL_GetError());
        return false;
    }
    const char* candidates[2];
    int count = 0;
    const char* x_display = std::getenv("DISPLAY");
    if (has_text(x_display)) candidates[count++] = "x11";
    if (wayland_socket_exists()) candidates[count++] = "wayland";
    if (count == 0) {
        say_no_display(nullptr);
        return false;
    }
    char cause[256] = "";
    for (int i = 0; i < count; ++i) {
        SDL_SetHint(SDL_HINT_VIDEODRIVER, candidates[i]);
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) {
            if (!shows_nothing(SDL_GetCurrentVideoDriver())) return true;
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
        }
        if (std::strcmp(candidates[i], "x11") == 0)
            std::snprintf(cause, sizeof cause, "the X display %s does not answer", x_display);
        else
            std::snprintf(cause, sizeof cause, "the Wayland compositor does not answer");
    }
    say_no_display(cause);
    return false;
}

}  // namespace

void sdl_translate_event(const SDL_Event& sdl_event, PlatformEvent* event) {
    clear_event(event);
    event->type = platform_event_other;
    switch (sdl_event.type) {
    case SDL_QUIT: event->type = platform_event_quit; break;
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        int vk = vk_from_sdl_keycode(sdl_event.key.keysym.sym);
        if (vk == 0) break;
        event->type = sdl_event.type == SDL_KEYDOWN ? platform_event_key_down : platform_event_key_up;
        event->key = vk;
        break;
    }
    case SDL_MOUSEMOTION:
        event->type = platform_event_mouse_move;
        event->x = sdl_event.motion.x;
        event->y = sdl_event.motion.y;
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        int button = button_index(sdl_event.button.button);
        if (button < 0) break;
        event->type = sdl_event.type == SDL_MOUSEBUTTONDOWN ? platform_event_button_down : platform_event_button_up;
        event->button = button;
        event->x = sdl_event.button.x;
        event->y = sdl_event.button.y;
        break;
    }
    case SDL_WINDOWEVENT: translate_window_event(sdl_event.window, event); break;
    default: break;
    }
}

// ---- Window and GL context ---------------------------------------------------

bool platform_open_display() { return SDL_WasInit(SDL_INIT_VIDEO) != 0 || init_video(); }

// SDL has no window class: the video system it registers with stands for it.
bool platform_register_window_class() {
    if (SDL_WasInit(SDL_INIT_VIDEO) != 0) return true;
    std::snprintf(failure_detail, sizeof failure_detail, "SDL video is not open");
    return false;
}

bool platform_create_window(const char* title, int width, int height, int depth_bits) {
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, depth_bits);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
    // The usable desktop (less panels and docks); 0 x 0 when SDL cannot tell.
    SDL_Rect usable = {0, 0, 0, 0};
    if (SDL_GetDisplayUsableBounds(display_at_origin(), &usable) != 0) usable.w = usable.h = 0;
    display_window_opens(width, height, usable.w, usable.h);
    windowed_x = 0;
    windowed_y = 0;
    const int factor = display_state.window_factor;
    sdl_window = SDL_CreateWindow(title, 0, 0, width * factor, height * factor,
                                  SDL_WINDOW_OPENGL | SDL_WINDOW_BORDERLESS | SDL_WINDOW_HIDDEN |
                                      SDL_WINDOW_ALLOW_HIGHDPI);
    if (!sdl_window) {
        note_failure("SDL window");
        return false;
    }
    // A key press is one key event: no text events beside it.
    SDL_StopTextInput();
    return true;
}

// SDL draws into the window itself and chose its pixel format with it, from
// the attributes above: these steps hold as long as the window does.
bool platform_get_device_context() { return sdl_window != nullptr; }
bool platform_choose_pixel_format() { return sdl_window != nullptr; }
bool platform_set_pixel_format() { return sdl_window != nullptr; }

bool platform_create_gl_context() {
    if (!sdl_window) return false;
    gl_context = SDL_GL_CreateContext(sdl_window);
    if (!gl_context) note_failure("SDL GL context");
    return gl_context != nullptr;
}

bool platform_make_gl_current() {
    if (!sdl_window || !gl_context) return false;
    if (SDL_GL_MakeCurrent(sdl_window, gl_context) != 0) {
        note_failure("SDL GL current");
        return false;
    }
    display_start(display_state.picture_width, display_state.picture_height);
    return true;
}

void platform_show_window() {
    if (!sdl_window) return;
    SDL_ShowWindow(sdl_window);
    if (display_state.full_screen_requested) set_full_screen(true);
    SDL_RaiseWindow(sdl_window);
    SDL_SetWindowInputFocus(sdl_window);
    SDL_StopTextInput();
}

// The frame just drawn is finished before it is presented: at most one frame
// is ever in flight, so no driver or X server can queue frames behind the
// game and grow its memory or its input lag while it runs for hours.
void platform_swap_buffers() {
    if (!sdl_window) return;
    int width = display_state.picture_width, height = display_state.picture_height;
    SDL_GL_GetDrawableSize(sdl_window, &width, &height);
    display_present(width, height);
    glFinish();
    SDL_GL_SwapWindow(sdl_window);
}

bool platform_release_gl_current() {
    display_stop();
    return SDL_GL_MakeCurrent(sdl_window, nullptr) == 0;
}

bool platform_delete_gl_context() {
    if (!gl_context) return false;
    SDL_GL_DeleteContext(gl_context);
    gl_context = nullptr;
    return true;
}

bool platform_release_device_context() { return true; }

bool platform_destroy_window() {
    if (!sdl_window) return false;
    SDL_DestroyWindow(sdl_window);
    sdl_window = nullptr;
    return true;
}

// The last step: the sound and the video system go, and SDL with them.
bool platform_unregister_window_class() {
    sdl_close_audio();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    SDL_Quit();
    return true;
}

void platform_move_window(int x, int y, int width, int height) {
    if (!sdl_window || display_state.full_screen) return;
    SDL_SetWindowPosition(sdl_window, x, y);
    SDL_SetWindowSize(sdl_window, width * display_state.window_factor, height * display_state.window_factor);
}

void platform_show_cursor(bool visible) { SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE); }

// ---- Events, keyboard, cursor -------------------------------------------------

bool platform_poll_event(PlatformEvent* event) {
    SDL_Event sdl_event;
    if (!SDL_PollEvent(&sdl_event)) return false;
    if (is_full_screen_toggle(sdl_event)) {
        if (!sdl_event.key.repeat) set_full_screen(!display_state.full_screen);
        clear_event(event);
        event->type = platform_event_other;
        return true;
    }
    sdl_translate_event(sdl_event, event);
    map_to_picture(event);
    return true;
}

bool platform_key_down(int vk) {
    SDL_Scancode scancodes[2];
    int count = sdl_scancodes_for_vk(vk, scancodes);
    int key_count = 0;
    const uint8_t* state = SDL_GetKeyboardState(&key_count);
    for (int i = 0; i < count; ++i)
        if (scancodes[i] < key_count && state[scancodes[i]]) return true;
    return false;
}

void platform_cursor_screen_position(int* x, int* y) { SDL_GetGlobalMouseState(x, y); }

// ---- Messages --------------------------------------------------------------------
// Without a display the box cannot open; the text on stderr is what remains.

bool platform_message_box(PlatformMessageKind kind, const char* caption, const char* text) {
    write_message_to_stderr(caption, text);
    if (kind != platform_message_question) {
        SDL_ShowSimpleMessageBox(message_icon(kind), caption, text, nullptr);
        return false;
    }
    const SDL_MessageBoxButtonData buttons[] = {
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, "No"},
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "Yes"},
    };
    SDL_MessageBoxData box;
    std::memset(&box, 0, sizeof box);
    box.flags = message_icon(kind);
    box.title = caption;
    box.message = text;
    box.numbuttons = 2;
    box.buttons = buttons;
    int answer = 0;
    if (SDL_ShowMessageBox(&box, &answer) != 0) return false;
    return answer == 1;
}

// ---- Time and sound -----------------------------------------------------------------

void platform_sleep_ms(int milliseconds) {
    if (milliseconds > 0) SDL_Delay(static_cast<uint32_t>(milliseconds));
}

int64_t platform_calendar_seconds() { return static_cast<int64_t>(std::time(nullptr)); }

void platform_play_wave_async(const char* relative_path) { sdl_play_wave(relative_path); }
