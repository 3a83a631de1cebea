#include "replay/replay_player.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "app/input_state.h"
#include "game/commands.h"
#include "game/frame_rules.h"
#include "world/game_state.h"
#include "world/new_game.h"

namespace {

constexpr int32_t mouse_most = 65535;

// The first position from the middle of the tile's band outward that gives
// the offset; the functions are monotonic, so a full scan is only a safety.
template <typename Offset>
int32_t position_for(int32_t wanted, int32_t guess, Offset offset) {
    if (guess < 0) guess = 0;
    if (guess > mouse_most) guess = mouse_most;
    for (int32_t step = 0; step <= 64; ++step) {
        if (guess + step <= mouse_most && offset(guess + step) == wanted) return guess + step;
        if (guess - step >= 0 && offset(guess - step) == wanted) return guess - step;
    }
    for (int32_t p = 0; p <= mouse_most; ++p)
        if (offset(p) == wanted) return p;
    return guess;
}

void say(ReplayPlayer* player, const char* format, ...) __attribute__((format(printf, 2, 3)));
void say(ReplayPlayer* player, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(player->message, sizeof player->message, format, arguments);
    va_end(arguments);
}

ReplayStep differs(ReplayPlayer* player, const char* what) {
    say(player, "%s: the replay parts from the recorded game at frame %" PRIu64 ": %s", player->path,
        player->frames, what);
    player->differs_at_frame = player->frames;
    return replay_step_differs;
}

ReplayStep cut(ReplayPlayer* player) {
    say(player, "%s: the replay ends early, after frame %" PRIu64 ": the file was cut off before the game's end",
        player->path, player->frames);
    return replay_step_cut;
}

ReplayStep bad(ReplayPlayer* player) {
    say(player, "%s: damaged replay, %s", player->path, player->reader.error);
    return replay_step_bad;
}

ReplayRecordType next_record(ReplayPlayer* player, ReplayRecord* record) {
    if (player->has_pending) {
        player->has_pending = false;
        *record = player->pending;
        return player->pending_type;
    }
    const ReplayRecordType type = reader_next(&player->reader, &player->inputs, record);
    record->type = type;
    return type;
}

// The state now against a recorded digest and frame.
bool state_matches(ReplayPlayer* player, const ReplayRecord& record) {
    player->recorded = record.digest;
    player->replayed = digest_game_state();
    if (record.frame != player->frames || record.digest.whole != player->replayed.whole ||
        std::strcmp(record.digest.fingerprint, player->replayed.fingerprint) != 0) {
        player->differs_by_digest = true;
        return false;
    }
    ++player->digests_checked;
    return true;
}

ReplayStep at_end(ReplayPlayer* player, const ReplayRecord& record) {
    if (!state_matches(player, record)) return differs(player, "the state at the game's end is not the recorded one");
    say(player, "%s: all %" PRIu32 " digests match", player->path, player->digests_checked);
    return replay_step_finished;
}

// Anything but a pass or a run where the inputs of a pass should come.
ReplayStep not_a_pass(ReplayPlayer* player, const ReplayRecord& record) {
    switch (record.type) {
    case record_end: return at_end(player, record);
    case record_cut: return cut(player);
    case record_bad: return bad(player);
    default: return differs(player, "the recording holds a digest where the replayed game holds no census");
    }
}

// The mouse for the last offsets asked, kept: most passes ask the same.
struct MouseFor {
    bool known;
    int32_t offset;
    int32_t position;
};

int32_t cached(MouseFor* cache, int32_t offset, int32_t (*find)(int32_t)) {
    if (!cache->known || cache->offset != offset) *cache = {true, offset, find(offset)};
    return cache->position;
}

void put_inputs_in_place(const PassInput& in) {
    static MouseFor column, row;
    std::memcpy(keys, in.keys, sizeof keys);
    std::memcpy(replayed_direct_keys, in.direct_keys, sizeof replayed_direct_keys);
    for (int b = 0; b < 3; ++b) mouse_buttons[b] = in.buttons[b];
    window_active = in.frame_runs;
    mouse_x = in.direct_keys[vk_space] ? in.spin_column : cached(&column, in.cursor_dx, mouse_column_for_offset);
    mouse_y = cached(&row, in.cursor_dy, mouse_row_for_offset);
    if (in.deals) choose_next_deal_seed(in.deal_seed);
}

}  // namespace

int32_t mouse_column_for_offset(int32_t dx) {
    return position_for(dx, (dx + 20) * 16 + 8, cursor_offset_for_column);
}

int32_t mouse_row_for_offset(int32_t dy) {
    return position_for(dy, screen_height - ((dy + 20) * 12 + 6), cursor_offset_for_row);
}

bool replay_open(ReplayPlayer* player, const char* path) {
    std::memset(player, 0, sizeof *player);
    player->path = path;
    clear_pass_input(&player->inputs);
    if (!reader_open(&player->reader, path, &player->header)) {
        say(player, "%s", player->reader.error);
        return false;
    }
    player->inputs.deal_seed = player->header.first_seed;
    player->deals_at_open = deal_count();
    return true;
}

bool replay_check_first_deal(ReplayPlayer* player) {
    if (deal_count() == player->deals_at_open + 1 && last_deal_seed() == player->header.first_seed) return true;
    say(player, "%s: the first deal is not the recorded one", player->path);
    return false;
}

ReplayStep replay_play_pass(ReplayPlayer* player, ReplayPassFunction run_pass) {
    ReplayRecord record;
    if (player->passes >= replay_most_passes) {
        say(player, "%s: damaged replay, more than %" PRIu64 " passes, more than any game holds", player->path,
            replay_most_passes);
        return replay_step_bad;
    }
    if (player->run_left > 0) {
        --player->run_left;
        player->inputs.deals = 0;
    } else {
        const ReplayRecordType type = next_record(player, &record);
        if (type == record_run) player->run_left = record.run - 1;
        else if (type != record_pass) return not_a_pass(player, record);
    }

    put_inputs_in_place(player->inputs);
    const uint32_t deals_before = deal_count();
    direct_keys_replayed = true;
    const bool ended = run_pass();
    direct_keys_replayed = false;
    ++player->passes;
    if (player->inputs.frame_runs) ++player->frames;
    if (player->inputs.deals) {
        if (deal_count() != deals_before + 1) return differs(player, "the recorded deal did not happen");
    } else if (deal_count() != deals_before) {
        return differs(player, "a deal that the recording does not hold");
    }

    if (player->inputs.frame_runs && census_frame()) {
        if (player->run_left > 0) return differs(player, "a census where the recording holds none");
        switch (next_record(player, &record)) {
        case record_digest:
            if (!state_matches(player, record)) return differs(player, "the digest differs from the recorded one");
            break;
        case record_cut: return cut(player);
        case record_bad: return bad(player);
        default: return differs(player, "a census where the recording holds no digest");
        }
    }
    if (ended) {
        switch (next_record(player, &record)) {
        case record_end: return at_end(player, record);
        case record_cut: return cut(player);
        case record_bad: return bad(player);
        default: return differs(player, "the game ended where the recording goes on");
        }
    }
    // One record ahead, so that the end of the file is told with the pass
    // that the window shows last.
    if (player->run_left == 0) {
        const ReplayRecordType type = next_record(player, &record);
        if (type == record_pass || type == record_run) {
            player->has_pending = true;
            player->pending_type = type;
            player->pending = record;
        } else {
            return not_a_pass(player, record);
        }
    }
    return replay_step_played;
}

void replay_close(ReplayPlayer* player) { reader_close(&player->reader); }
