#include "replay/replay_seek.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "game/pauses.h"
#include "world/new_game.h"

namespace {

// Frames played to get somewhere are nobody's to wait for or to hear: their
// pauses are counted, never slept, and their deals make no sound.
struct Quiet {
    bool pauses_counted;
    int64_t counted_pause_ms;
    bool muted;
};

Quiet go_quiet() {
    const Quiet before = {pauses_counted, counted_pause_ms, deal_sound_muted};
    pauses_counted = true;
    deal_sound_muted = true;
    return before;
}

void end_quiet(const Quiet& before) {
    pauses_counted = before.pauses_counted;
    counted_pause_ms = before.counted_pause_ms;
    deal_sound_muted = before.muted;
}

void keep_point(SeekPoint* point, ReplayPlayer* player) {
    snapshot_to_bytes(point->snapshot);
    point->place = replay_place(player);
}

bool return_to(const SeekPoint& point, ReplayPlayer* player) {
    char error[snapshot_error_capacity];
    if (!load_snapshot(point.snapshot, snapshot_bytes, error)) {
        std::snprintf(player->message, sizeof player->message, "%s: a kept point cannot be loaded: %.200s", player->path,
                      error);
        return false;
    }
    if (!replay_go_to(player, point.place)) {
        std::snprintf(player->message, sizeof player->message, "%s: the file cannot be read again", player->path);
        return false;
    }
    return true;
}

// Every other point goes; the spacing doubles.
void thin_points(ReplaySeek* seek) {
    for (int i = 1; 2 * i < seek->point_count; ++i) seek->points[i] = seek->points[2 * i];
    seek->point_count = (seek->point_count + 1) / 2;
    seek->spacing *= 2;
}

uint64_t next_point_frame(const ReplaySeek& seek) { return static_cast<uint64_t>(seek.point_count) * seek.spacing; }

// Passes through the rule steps until the player is at frame.
ReplayStep play_to(ReplaySeek* seek, ReplayPlayer* player, uint64_t frame) {
    while (player->frames < frame) {
        const ReplayStep step = replay_play_pass(player, replay_turn_by_rules);
        // The replay goes no further, from any point: every point it has is kept.
        if (step != replay_step_played) {
            seek->indexed = true;
            return step;
        }
        note_seek_point(seek, player);
    }
    return replay_step_played;
}

}  // namespace

uint64_t count_replay_frames(const char* path) {
    static ReplayReader reader;
    static ReplayHeader header;
    if (!reader_open(&reader, path, &header)) return 0;
    PassInput pass;
    clear_pass_input(&pass);
    FrameCommands commands = no_commands();
    ReplayRecord record;
    uint64_t frames = 0;
    for (;;) {
        const ReplayRecordType type = reader_next(&reader, &pass, &commands, &record);
        const uint64_t per_pass = header.format_version == 1 ? pass.frame_runs : 1;
        if (type == record_pass || type == record_frame) frames += per_pass;
        else if (type == record_run) frames += per_pass * record.run;
        else if (type != record_digest) break;
    }
    reader_close(&reader);
    return frames;
}

size_t seek_memory_bytes(int most_points) { return sizeof(SeekPoint) * static_cast<size_t>(most_points + 1); }

bool seek_open(ReplaySeek* seek, ReplayPlayer* player, int most_points) {
    std::memset(seek, 0, sizeof *seek);
    // An even count, so that the frame that fills them is one the doubled
    // spacing keeps too.
    seek->most_points = most_points < 2 ? 2 : most_points - most_points % 2;
    seek->points = new (std::nothrow) SeekPoint[seek->most_points + 1];
    if (!seek->points) return false;
    seek->aside = seek->points + seek->most_points;
    seek->spacing = seek_first_spacing;
    seek->length = count_replay_frames(player->path);
    note_seek_point(seek, player);
    return true;
}

void seek_close(ReplaySeek* seek) {
    delete[] seek->points;
    seek->points = seek->aside = nullptr;
}

void note_seek_point(ReplaySeek* seek, ReplayPlayer* player) {
    if (player->frames != next_point_frame(*seek)) return;
    if (seek->point_count == seek->most_points) thin_points(seek);
    keep_point(&seek->points[seek->point_count++], player);
}

ReplayStep seek_to_frame(ReplaySeek* seek, ReplayPlayer* player, uint64_t frame, bool player_stopped) {
    if (frame > seek->length) frame = seek->length;
    uint64_t point = frame / seek->spacing;
    if (point >= static_cast<uint64_t>(seek->point_count)) point = static_cast<uint64_t>(seek->point_count) - 1;
    const Quiet before = go_quiet();
    ReplayStep step = replay_step_played;
    if ((player_stopped || frame < player->frames || point * seek->spacing > player->frames) &&
        !return_to(seek->points[point], player))
        step = replay_step_bad;
    if (step == replay_step_played) step = play_to(seek, player, frame);
    end_quiet(before);
    return step;
}

void index_ahead(ReplaySeek* seek, ReplayPlayer* player) {
    if (seek->indexed) return;
    const Quiet before = go_quiet();
    keep_point(seek->aside, player);
    const uint64_t last = next_point_frame(*seek) - seek->spacing;
    bool back = return_to(seek->points[seek->point_count - 1], player);
    if (back) play_to(seek, player, last + seek->spacing);
    back = return_to(*seek->aside, player);
    // A player that cannot go back has nothing left to index with.
    if (!back) seek->indexed = true;
    end_quiet(before);
}
