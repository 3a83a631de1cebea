// What the player reads: status lines or help, the intro picture, and the
// end-of-game lines, all written into the overlay.
#pragma once

// The help toggle, the lines, the pictures, then the help closed when the
// game is over.
void draw_status_and_screens();

// What the screens change of the game besides the overlay, for whoever
// plays the rules without drawing: H flips the help (with its pause)...
void toggle_help();
// ...and after the end of a game the help stays closed.
void close_help_when_over();
// The lines and pictures alone, changing nothing.
void draw_screens();
