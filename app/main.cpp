// Process entry: the whole program lives in run_game, so that tests can
// run the very same loop on the headless backend.
#include "app/main_loop.h"

int main() { return run_game(); }
