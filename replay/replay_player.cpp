#include "replay/replay_player.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "game/frame_rules.h"
#include "game/person_pass.h"
#include "world/game_state.h"
#include "world/new_game.h"

namespace {

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
    const ReplayRecordType type = reader_next(&player->reader, &player->inputs, &player->commands, record);
    record->type = type;
    return type;
}

bool format_1(const ReplayPlayer& player) { return player.header.format_version == 1; }

// The state now against a recorded digest and frame.
bool state_matches(ReplayPlayer* player, const ReplayRecord& record) {
    player->recorded = record.digest;
    const DigestView view = digest_view_of(player->view);
    player->replayed = digest_game_state_as(digest_form_of_format(player->header.format_version), &view);
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

bool plays(ReplayRecordType type) { return type == record_pass || type == record_frame || type == record_run; }

// A turn's deals: the recorded pass's, or any side's in the frame.
bool turn_deals(const ReplayPlayer& player) {
    if (format_1(player)) return player.inputs.deals != 0;
    for (const SideCommand& command : player.commands.side)
        if (command.deals) return true;
    return false;
}

bool turn_runs_frame(const ReplayPlayer& player) { return !format_1(player) || player.inputs.frame_runs; }

// Anything but a pass or a run where the inputs of a pass should come.
ReplayStep not_a_pass(ReplayPlayer* player, const ReplayRecord& record) {
    switch (record.type) {
    case record_end: return at_end(player, record);
    case record_cut: return cut(player);
    case record_bad: return bad(player);
    default: return differs(player, "the recording holds a digest where the replayed game holds no census");
    }
}

}  // namespace

bool replay_open(ReplayPlayer* player, const char* path) {
    std::memset(player, 0, sizeof *player);
    player->path = path;
    clear_pass_input(&player->inputs);
    if (!reader_open(&player->reader, path, &player->header)) {
        say(player, "%s", player->reader.error);
        return false;
    }
    player->inputs.deal_seed = player->header.first_seed;
    player->commands = no_commands();
    player->deals_at_open = deal_count();
    player->view = start_view(0);
    return true;
}

bool replay_check_first_deal(ReplayPlayer* player) {
    follow_deal(&player->view);
    if (deal_count() != player->deals_at_open + 1 || last_deal_seed() != player->header.first_seed) {
        say(player, "%s: the first deal is not the recorded one", player->path);
        return false;
    }
    char error[snapshot_error_capacity];
    if (player->header.from_snapshot && !load_snapshot(player->header.snapshot, snapshot_bytes, error)) {
        say(player, "%s: the game's start cannot be loaded: %s", player->path, error);
        return false;
    }
    for (int side = 0; side < side_count; ++side) side_played_by_person[side] = player->header.game.person[side];
    return true;
}

DigestView digest_view_of(const View& view) {
    return {view.help_visible, view.unit_size, view.camera_zoom, view.camera_pitch, view.camera_yaw,
            view.camera_spin,  view.map_sx,    view.map_sy,      view.cursor_dx,    view.cursor_dy};
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
        else if (type != record_pass && type != record_frame) return not_a_pass(player, record);
    }

    const uint32_t deals_before = deal_count();
    ReplayTurn turn = {nullptr, nullptr, nullptr};
    if (format_1(*player)) {
        turn.person = &player->inputs;
        turn.view = &player->view;
    } else {
        turn.commands = &player->commands;
    }
    const bool ended = run_pass(turn);
    ++player->passes;
    const bool frame_ran = turn_runs_frame(*player);
    if (frame_ran) ++player->frames;
    if (turn_deals(*player)) {
        if (deal_count() != deals_before + 1) return differs(player, "the recorded deal did not happen");
    } else if (deal_count() != deals_before) {
        return differs(player, "a deal that the recording does not hold");
    }

    if (frame_ran && census_frame()) {
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
        if (plays(type)) {
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

// The deals are counted for the whole program, a view's by what it has
// seen: a place keeps how far the view was behind, not the count itself.
ReplayPlace replay_place(ReplayPlayer* player) {
    ReplayPlace place;
    std::memset(&place, 0, sizeof place);
    place.reader = reader_place(&player->reader);
    place.inputs = player->inputs;
    place.commands = player->commands;
    place.view = player->view;
    place.deals_unseen = deal_count() - player->view.deals_seen;
    place.has_pending = player->has_pending;
    place.pending_type = player->pending_type;
    place.pending = player->pending;
    place.run_left = player->run_left;
    place.frames = player->frames;
    place.passes = player->passes;
    place.digests_checked = player->digests_checked;
    return place;
}

bool replay_go_to(ReplayPlayer* player, const ReplayPlace& place) {
    if (!reader_go_to(&player->reader, place.reader)) return false;
    player->inputs = place.inputs;
    player->commands = place.commands;
    player->view = place.view;
    player->view.deals_seen = deal_count() - place.deals_unseen;
    player->has_pending = place.has_pending;
    player->pending_type = place.pending_type;
    player->pending = place.pending;
    player->run_left = place.run_left;
    player->frames = place.frames;
    player->passes = place.passes;
    player->digests_checked = place.digests_checked;
    player->differs_by_digest = false;
    return true;
}

bool replay_turn_by_rules(const ReplayTurn& turn) {
    if (!turn.person) {
        run_rule_steps(*turn.commands);
        return false;
    }
    return run_person_pass(pass_rules_only, person_commands(*turn.person, *turn.view), *turn.person, turn.view);
}
