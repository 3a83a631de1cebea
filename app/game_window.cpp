#include "app/game_window.h"

#include "game/view.h"
#include "game/world_start.h"
#include "platform/platform.h"
#include "render/gl_window.h"
#include "world/settings.h"

bool open_game_window(uint32_t first_seed) {
    if (!open_window("VARNHOLD", screen_width, screen_height, 16)) return false;
    // The game does not run on half a world: out of memory, it stops here.
    if (const char* failure = start_world(first_seed)) {
        close_game_window();
        platform_message_box(platform_message_error, "ERROR", failure);
        return false;
    }
    local_view = start_view(local_view.side);
    follow_deal(&local_view);
    return true;
}

void close_game_window() {
    close_window();
    stop_world();
}
