// Every 30 frames: count the living units of both empires and end the game
// when one has none.
#pragma once

void census();
// The lowest-indexed unit the census counts for the empire, or -1: where a
// view's jump keys take it.
int first_counted_unit(int empire);
