#include "app/take_over.h"

#include "app/main_loop.h"
#include "app/saving.h"
#include "game/pauses.h"
#include "game/screens.h"
#include "replay/recording.h"
#include "world/game_state.h"
#include "world/new_game.h"

int take_over_game(const GameOptions& options, int side, const View& view) {
    ReplayGame game = {{0, 0}, side, 0};
    for (int s = 0; s < side_count; ++s) {
        side_played_by_person[s] = s == side ? 1 : 0;
        game.person[s] = side_played_by_person[s];
    }
    // The camera stays where the replay's was; the deals before are seen.
    local_view = view;
    local_view.side = side;
    local_view.deals_seen = deal_count();
    pauses_counted = false;
    time_bar.shown = false;
    save_key_offered = true;
    start_recording(options.record_path, options.no_record, game, true);
    const int exit_code = run_main_loop();
    autosave_on_leaving();
    save_key_offered = false;
    stop_recording();
    return exit_code;
}
