#include "platform/win32/win32_platform.h"

#include <windows.h>
#include <mmsystem.h>
#include <GL/gl.h>

#include <cstdio>
#include <cstring>
#include <ctime>

#include "platform/common/display.h"
#include "platform/win32/win32_files.h"

namespace {

const char* const class_name = "OpenGL";

HINSTANCE instance_handle = nullptr;
HWND window_handle = nullptr;
HDC device_context = nullptr;
HGLRC render_context = nullptr;
WPARAM last_wparam = 0;

// While DispatchMessageA runs, the event the loop is waiting for; the first
// call of the window procedure is the dispatched message and fills it.
PlatformEvent* dispatched_event = nullptr;

// Messages that Windows sends straight to the window procedure, outside the
// loop (the size on showing the window, the activation, the move of the M
// key), wait here and become the next events, one per pass, in order. The
// game's window procedure runs only from the loop, where GL is current.
constexpr int pending_capacity = 32;
PlatformEvent pending_events[pending_capacity];
int pending_first = 0;
int pending_count = 0;

void push_pending(const PlatformEvent& event) {
    if (pending_count == pending_capacity) return;  // a flood of sent messages drops the newest
    pending_events[(pending_first + pending_count) % pending_capacity] = event;
    ++pending_count;
}

bool pop_pending(PlatformEvent* event) {
    if (pending_count == 0) return false;
    *event = pending_events[pending_first];
    pending_first = (pending_first + 1) % pending_capacity;
    --pending_count;
    return true;
}

PlatformEvent make_event(PlatformEventType type) {
    PlatformEvent event;
    std::memset(&event, 0, sizeof event);
    event.type = type;
    return event;
}

PlatformEvent button_event(PlatformEventType type, int button) {
    PlatformEvent event = make_event(type);
    event.button = button;
    return event;
}

// The window's rectangle to go back to from full screen; the rest of the
// display is display_state's.
RECT windowed_rectangle = {0, 0, 640, 480};

void client_size(int* width, int* height) {
    RECT client = {0, 0, display_state.picture_width, display_state.picture_height};
    if (window_handle) GetClientRect(window_handle, &client);
    *width = client.right - client.left;
    *height = client.bottom - client.top;
}

DisplayLayout layout_now() {
    int width = 0, height = 0;
    client_size(&width, &height);
    return display_layout(display_state.picture_width, display_state.picture_height, width, height);
}

// Windows would otherwise stretch the window blurred on a high-DPI desktop
// and report its sizes in scaled points. Looked up by name: older systems
// lack the call and are never scaled.
void declare_dpi_aware() {
    HMODULE user32 = GetModuleHandleA("user32.dll");
    if (!user32) return;
    typedef BOOL(WINAPI * SetAwareFunction)();
    SetAwareFunction set_aware = reinterpret_cast<SetAwareFunction>(
        reinterpret_cast<void (*)()>(GetProcAddress(user32, "SetProcessDPIAware")));
    if (set_aware) set_aware();
}

// Full screen is a borderless window over the whole monitor at the desktop's
// resolution, never a mode change; leaving it gives back the window's place
// and size.
void set_full_screen(bool on) {
    if (!window_handle || on == display_state.full_screen) return;
    if (on) {
        MONITORINFO monitor;
        std::memset(&monitor, 0, sizeof monitor);
        monitor.cbSize = sizeof monitor;
        if (!GetWindowRect(window_handle, &windowed_rectangle) ||
            !GetMonitorInfoA(MonitorFromWindow(window_handle, MONITOR_DEFAULTTONEAREST), &monitor))
            return;
        const RECT& area = monitor.rcMonitor;
        SetWindowPos(window_handle, HWND_TOP, area.left, area.top, area.right - area.left, area.bottom - area.top,
                     SWP_NOOWNERZORDER | SWP_FRAMECHANGED);
    } else {
        const RECT& area = windowed_rectangle;
        SetWindowPos(window_handle, HWND_TOP, area.left, area.top, area.right - area.left, area.bottom - area.top,
                     SWP_NOOWNERZORDER | SWP_FRAMECHANGED);
    }
    display_state.full_screen = on;
}

// Alt+Enter: the context code (bit 29) says Alt is down; bit 30 says the key
// was already down, a repeat, which switches nothing.
bool is_full_screen_toggle(UINT message, WPARAM wparam, LPARAM lparam) {
    return message == WM_SYSKEYDOWN && wparam == VK_RETURN && (lparam & (1L << 29)) != 0;
}

// What the game makes of one message; handled tells whether the message is
// one of the window's own (answered with 0) or goes to DefWindowProcA.
PlatformEvent translate_message(UINT message, WPARAM wparam, LPARAM lparam, bool* handled) {
    *handled = true;
    switch (message) {
    case WM_ACTIVATE:
        // Only minimising stops the frames; losing the focus changes nothing.
        return make_event(HIWORD(wparam) == 0 ? platform_event_restored : platform_event_minimized);
    case WM_SYSCOMMAND:
        // The screen saver and monitor power-down wait while the game has the
        // focus. The low four bits of the command are the system's own.
        switch (wparam & 0xFFF0) {
        case SC_SCREENSAVE:
        case SC_MONITORPOWER: return make_event(platform_event_other);
        }
        break;
    case WM_CLOSE: PostQuitMessage(0); return make_event(platform_event_other);
    case WM_KEYDOWN:
    case WM_KEYUP: {
        PlatformEvent event = make_event(message == WM_KEYDOWN ? platform_event_key_down : platform_event_key_up);
        event.key = static_cast<int>(wparam);
        return event;
    }
    // Whatever the window's real size, the game draws and reads its picture.
    case WM_SIZE: {
        PlatformEvent event = make_event(platform_event_resized);
        event.x = display_state.picture_width;
        event.y = display_state.picture_height;
        return event;
    }
    case WM_MOUSEMOVE: {
        PlatformEvent event = make_event(platform_event_mouse_move);
        event.x = LOWORD(lparam);
        event.y = HIWORD(lparam);
        int width = 0, height = 0;
        client_size(&width, &height);
        display_window_point_to_picture(layout_now(), width, height, &event.x, &event.y);
        return event;
    }
    case WM_SYSKEYDOWN:
        if (!is_full_screen_toggle(message, wparam, lparam)) break;
        if ((lparam & (1L << 30)) == 0) set_full_screen(!display_state.full_screen);
        return make_event(platform_event_other);
    case WM_SYSCHAR:
        // The character of Alt+Enter would only ring the menu's bell.
        if (wparam == '\r') return make_event(platform_event_other);
        break;
    case WM_LBUTTONDOWN: return button_event(platform_event_button_down, 0);
    case WM_LBUTTONUP: return button_event(platform_event_button_up, 0);
    case WM_MBUTTONDOWN: return button_event(platform_event_button_down, 1);
    case WM_MBUTTONUP: return button_event(platform_event_button_up, 1);
    case WM_RBUTTONDOWN: return button_event(platform_event_button_down, 2);
    case WM_RBUTTONUP: return button_event(platform_event_button_up, 2);
    }
    *handled = false;
    return make_event(platform_event_other);
}

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    bool handled = false;
    PlatformEvent event = translate_message(message, wparam, lparam, &handled);
    if (dispatched_event) {
        *dispatched_event = event;
        dispatched_event = nullptr;
    } else if (event.type != platform_event_other) {
        push_pending(event);
    }
    return handled ? 0 : DefWindowProcA(window, message, wparam, lparam);
}

void write_message_to_stderr(const char* caption, const char* text) {
    std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
    std::fflush(stderr);
}

UINT message_style(PlatformMessageKind kind) {
    switch (kind) {
    case platform_message_error: return MB_OK | MB_ICONEXCLAMATION;
    case platform_message_stop: return MB_OK | MB_ICONSTOP;
    case platform_message_question: return MB_YESNO | MB_ICONEXCLAMATION;
    case platform_message_notice: return MB_OK | MB_ICONINFORMATION;
    }
    return MB_OK | MB_ICONEXCLAMATION;
}

// A double-buffered RGBA window format with a 16-bit depth buffer.
PIXELFORMATDESCRIPTOR pixel_format_request(int colour_bits, int depth_bits) {
    PIXELFORMATDESCRIPTOR request;
    std::memset(&request, 0, sizeof request);
    request.nSize = sizeof request;
    request.nVersion = 1;
    request.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    request.iPixelType = PFD_TYPE_RGBA;
    request.cColorBits = static_cast<BYTE>(colour_bits);
    request.cDepthBits = static_cast<BYTE>(depth_bits);
    request.iLayerType = PFD_MAIN_PLANE;
    return request;
}

int requested_depth_bits = 16;
PIXELFORMATDESCRIPTOR format_request;
int chosen_format = 0;

}  // namespace

int win32_last_message_wparam() { return static_cast<int>(last_wparam); }

// ---- Window and GL context ---------------------------------------------------

bool platform_open_display() { return true; }

bool platform_register_window_class() {
    instance_handle = GetModuleHandleA(nullptr);
    WNDCLASSA window_class;
    std::memset(&window_class, 0, sizeof window_class);
    window_class.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
    window_class.lpfnWndProc = window_procedure;
    window_class.hInstance = instance_handle;
    window_class.hIcon = LoadIcon(nullptr, IDI_WINLOGO);
    window_class.hCursor = LoadCursor(nullptr, IDC_CROSS);
    window_class.lpszClassName = class_name;
    return RegisterClassA(&window_class) != 0;
}

bool platform_create_window(const char* title, int width, int height, int depth_bits) {
    requested_depth_bits = depth_bits;
    declare_dpi_aware();
    // The work area (the desktop less the taskbar) of the primary monitor,
    // where (0, 0) lies; 0 x 0 when Windows cannot tell.
    RECT work = {0, 0, 0, 0};
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0)) work = {0, 0, 0, 0};
    display_window_opens(width, height, work.right - work.left, work.bottom - work.top);
    const int factor = display_state.window_factor;
    // No caption and no frame; the rectangle is adjusted all the same.
    const DWORD ex_style = WS_EX_APPWINDOW | WS_EX_WINDOWEDGE;
    const DWORD style = WS_POPUP;
    RECT rectangle = {0, 0, width * factor, height * factor};
    AdjustWindowRectEx(&rectangle, style, FALSE, ex_style);
    window_handle = CreateWindowExA(ex_style, class_name, title, style | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0,
                                    rectangle.right - rectangle.left, rectangle.bottom - rectangle.top, nullptr,
                                    nullptr, instance_handle, nullptr);
    return window_handle != nullptr;
}

bool platform_get_device_context() {
    device_context = window_handle ? GetDC(window_handle) : nullptr;
    return device_context != nullptr;
}

bool platform_choose_pixel_format() {
    format_request = pixel_format_request(16, requested_depth_bits);
    chosen_format = device_context ? ChoosePixelFormat(device_context, &format_request) : 0;
    return chosen_format != 0;
}

bool platform_set_pixel_format() {
    return device_context && chosen_format != 0 && SetPixelFormat(device_context, chosen_format, &format_request);
}

bool platform_create_gl_context() {
    render_context = device_context ? wglCreateContext(device_context) : nullptr;
    return render_context != nullptr;
}

bool platform_make_gl_current() {
    if (!device_context || !render_context || !wglMakeCurrent(device_context, render_context)) return false;
    display_start(display_state.picture_width, display_state.picture_height);
    return true;
}

void platform_show_window() {
    if (!window_handle) return;
    ShowWindow(window_handle, SW_SHOW);
    if (display_state.full_screen_requested) set_full_screen(true);
    SetForegroundWindow(window_handle);
    SetFocus(window_handle);
}

// The frame is finished before it is shown: at most one frame in flight, so
// no driver piles frames (memory, input lag) behind the game.
void platform_swap_buffers() {
    if (!device_context) return;
    int width = 0, height = 0;
    client_size(&width, &height);
    display_present(width, height);
    glFinish();
    SwapBuffers(device_context);
}

bool platform_release_gl_current() {
    display_stop();
    return wglMakeCurrent(nullptr, nullptr) != FALSE;
}

bool platform_delete_gl_context() {
    if (!render_context) return false;
    bool deleted = wglDeleteContext(render_context) != FALSE;
    render_context = nullptr;
    return deleted;
}

bool platform_release_device_context() {
    bool released = device_context && window_handle && ReleaseDC(window_handle, device_context);
    device_context = nullptr;
    return released;
}

bool platform_destroy_window() {
    bool destroyed = window_handle && DestroyWindow(window_handle);
    window_handle = nullptr;
    return destroyed;
}

bool platform_unregister_window_class() { return UnregisterClassA(class_name, instance_handle) != FALSE; }

void platform_move_window(int x, int y, int width, int height) {
    if (window_handle && !display_state.full_screen)
        MoveWindow(window_handle, x, y, width * display_state.window_factor, height * display_state.window_factor,
                   TRUE);
}

void platform_show_cursor(bool visible) { ShowCursor(visible ? TRUE : FALSE); }

// ---- Events, keyboard, cursor -------------------------------------------------

bool platform_poll_event(PlatformEvent* event) {
    if (pop_pending(event)) return true;
    MSG message;
    if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) return false;
    last_wparam = message.wParam;
    if (message.message == WM_QUIT) {
        *event = make_event(platform_event_quit);
        return true;
    }
    // A message for no window of ours still costs the loop its pass.
    *event = make_event(platform_event_other);
    TranslateMessage(&message);
    dispatched_event = event;
    DispatchMessageA(&message);
    dispatched_event = nullptr;
    return true;
}

bool platform_key_down(int vk) { return (GetAsyncKeyState(vk) & 0x8000) != 0; }

void platform_cursor_screen_position(int* x, int* y) {
    POINT point = {0, 0};
    GetCursorPos(&point);
    *x = point.x;
    *y = point.y;
}

// ---- Messages --------------------------------------------------------------------

bool platform_message_box(PlatformMessageKind kind, const char* caption, const char* text) {
    write_message_to_stderr(caption, text);
    int answer = MessageBoxA(nullptr, text, caption, message_style(kind));
    return kind == platform_message_question && answer == IDYES;
}

// ---- Time and sound -----------------------------------------------------------------

void platform_sleep_ms(int milliseconds) {
    if (milliseconds > 0) Sleep(static_cast<DWORD>(milliseconds));
}

int64_t platform_calendar_seconds() { return static_cast<int64_t>(std::time(nullptr)); }

// PlaySoundA replaces a sound still playing by itself. Without NODEFAULT a
// file it cannot play would give the system's own sound instead of silence.
void platform_play_wave_async(const char* relative_path) {
    char path[MAX_PATH];
    if (!win32_find_data_file(relative_path, path, sizeof path)) return;
    PlaySoundA(path, nullptr, SND_ASYNC | SND_NODEFAULT | SND_FILENAME);
}
