#include "replay/recording.h"

#include <cstdio>

#include "game/frame_rules.h"
#include "replay/replay_folder.h"
#include "replay/replay_writer.h"
#include "state/snapshot.h"
#include "world/new_game.h"
#include "world/version.h"

namespace {

constexpr int path_capacity = 4096;

ReplayWriter writer;
char path[path_capacity];
uint64_t frames = 0;

}  // namespace

void start_recording(const char* record_path, bool no_record, const ReplayGame& game, bool from_snapshot) {
    writer = ReplayWriter();
    frames = 0;
    if (no_record) return;
    if (record_path) {
        std::snprintf(path, sizeof path, "%s", record_path);
    } else if (!new_replay_path(path, sizeof path)) {
        return;
    }
    static uint8_t start[snapshot_bytes];
    if (from_snapshot) snapshot_to_bytes(start);
    writer_open(&writer, path, game_version(), last_deal_seed(), game, from_snapshot ? start : nullptr);
}

void record_game_frame(const FrameCommands& commands) {
    if (!writer_is_open(writer)) return;
    writer_frame(&writer, commands);
    ++frames;
    if (census_frame()) writer_digest(&writer, frames, digest_game_state());
}

void record_chat(int side, const char* text) {
    if (writer_is_open(writer)) writer_chat(&writer, side, text);
}

void stop_recording() {
    if (writer_is_open(writer)) writer_close(&writer, frames, digest_game_state());
}

const char* recording_path() { return writer_is_open(writer) ? path : nullptr; }

uint64_t recorded_frames() { return frames; }
