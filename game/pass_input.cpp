#include "game/pass_input.h"

#include <cstring>

void clear_pass_input(PassInput* input) {
    std::memset(input, 0, sizeof *input);
    input->frame_runs = 1;
}
