#include "world/game_state.h"

int32_t frame_counter = 0;
int32_t selected_unit[side_count] = {0, 1};
uint8_t side_played_by_person[side_count] = {1, 0};
int32_t game_speed = 1;

int32_t empire_0_won = 0;
int32_t empire_1_won = 0;
int32_t tie = 0;

bool game_over() { return empire_0_won != 0 || empire_1_won != 0 || tie != 0; }

void reset_shared_state() {
    frame_counter = 0;
    for (int side = 0; side < side_count; ++side) selected_unit[side] = side;
    side_played_by_person[0] = 1;
    side_played_by_person[1] = 0;
    game_speed = 1;
    empire_0_won = empire_1_won = tie = 0;
}
