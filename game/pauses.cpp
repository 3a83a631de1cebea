#include "game/pauses.h"

#include "platform/platform.h"

bool pauses_counted = false;
int64_t counted_pause_ms = 0;

void pause_ms(int milliseconds) {
    if (pauses_counted)
        counted_pause_ms += milliseconds;
    else
        platform_sleep_ms(milliseconds);
}
