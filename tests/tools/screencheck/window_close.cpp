#include "window_close.h"

#ifdef SCREENCHECK_HAVE_X11
#include <X11/Xlib.h>

#include <cstring>

bool request_window_close(unsigned long window_id) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return false;
    XEvent event;
    std::memset(&event, 0, sizeof event);
    event.xclient.type = ClientMessage;
    event.xclient.window = window_id;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    Status sent = XSendEvent(display, window_id, False, NoEventMask, &event);
    XSync(display, False);
    XCloseDisplay(display);
    return sent != 0;
}
#else
bool request_window_close(unsigned long) { return false; }
#endif
