// Asking a window to close as a desktop's close button does: the window
// manager's delete message, which the program may answer as it likes.
#pragma once

// False when no display can be opened or this tool was built without X11.
bool request_window_close(unsigned long window_id);
