// What the player reads: status lines or help, the intro picture, and the
// end-of-game lines, all written into the overlay.
#pragma once

void draw_status_and_screens();
