// The local player's view: the census's jumps to each side's first unit, from either side;
// the chat line that keeps the keyboard from it while a message is typed.
#include <gtest/gtest.h>

#include "app/chat.h"
#include "game/frame_rules.h"
#include "game/view.h"
#include "tests/support/world_fixture.h"

namespace {

class ViewSteps : public WorldTest {};

}  // namespace

// Backspace goes to the view's own side, 0 to the other; with both held the
// jump to empire 1's unit comes last. Only a census frame jumps; the dead
// and mines are not the first unit.
TEST_F(ViewSteps, TheCensusJumpsToEachSidesFirstUnit) {
    place_unit(0, owner_player, kind_mage, 32, 4).dead = 1;
    place_unit(1, owner_computer, kind_mage, 32, 59);
    place_unit(4, owner_player, kind_mine, 5, 5);
    place_unit(7, owner_player, 30, 40, 41);
    const struct {
        int side, key_a, key_b, counter, x, y;
    } cases[] = {
        {0, vk_backspace, 0, 31, 30, 31}, {0, vk_0, 0, 31, 22, 49}, {0, vk_backspace, vk_0, 61, 22, 49},
        {1, vk_backspace, 0, 31, 22, 49}, {1, vk_0, 0, 31, 30, 31}, {1, vk_backspace, vk_0, 31, 22, 49},
        {0, vk_backspace, 0, 32, 50, 50},
    };
    for (const auto& c : cases) {
        View view = start_view(c.side);
        view.map_sx = view.map_sy = 50;
        PassInput input;
        clear_pass_input(&input);
        input.direct_keys[c.key_a] = 1;
        input.direct_keys[c.key_b] = 1;
        frame_counter = c.counter;
        jump_at_census(&view, input);
        EXPECT_EQ(view.map_sx, c.x) << "map_sx, side " << c.side << ", keys " << c.key_a << " " << c.key_b;
        EXPECT_EQ(view.map_sy, c.y) << "map_sy, side " << c.side << ", keys " << c.key_a << " " << c.key_b;
    }
}


// The chat line in a network game: Enter opens it; then every key going
// down is its own (a letter, Shift as the key events left it, a key that
// types nothing such as F1), Backspace erases, 80 characters at most, Enter
// sends and Escape closes; a key going up always reaches the game.
TEST(ChatLine, TakesEveryKeyWhileOpenAndTypesAtMost80) {
    ChatLine line = {};
    EXPECT_EQ(chat_line_key(&line, 'H', true), chat_key_passed) << "H with the line closed";
    EXPECT_EQ(chat_line_key(&line, 0x0D, true), chat_key_taken) << "Enter opens the line";
    const struct { int vk; bool down; } keys[] = {{0x10, true}, {'H', true}, {0x10, false}, {'I', true}, {0x70, true},
                                                 {0x10, true}, {'1', true}, {0xDE, true},  {0x10, false}, {0xDE, true},
                                                 {'0', true},  {0x08, true}};
    for (const auto& key : keys)
        EXPECT_EQ(chat_line_key(&line, key.vk, key.down), key.down && key.vk != 0x10 ? chat_key_taken : chat_key_passed)
            << "key " << key.vk;
    EXPECT_STREQ(line.text, "Hi!\"'") << "typed: H, i, F1, !, \", ', 0 and Backspace";
    for (int i = 0; i < 90; ++i) chat_line_key(&line, 'A', true);
    EXPECT_EQ(line.length, 80) << "characters kept";
    EXPECT_EQ(chat_line_key(&line, 0x0D, true), chat_key_send) << "Enter on a line with text";
    chat_line_sent(&line);
    EXPECT_FALSE(line.open) << "the line after a send";
    chat_line_key(&line, 0x0D, true);
    EXPECT_EQ(chat_line_key(&line, 0x1B, true), chat_key_taken) << "Escape on the open line";
    EXPECT_FALSE(line.open) << "the line after Escape";
}
