// Reading a replay back, one record at a time, treating every file as
// hostile: bounded lines, bounded numbers, nothing allocated from what the
// file says, and every failure one line of text.
#pragma once

#include <cstdint>
#include <cstdio>

#include "replay/replay_format.h"
#include "state/state_digest.h"

constexpr int replay_error_capacity = 256;

struct ReplayHeader {
    int format_version;
    char game_version[replay_version_capacity + 1];
    uint32_t first_seed;
    ReplayGame game;  // format 1: game_at_home()
    bool from_snapshot;                // format 3: the game starts from snapshot, not from a deal
    uint8_t snapshot[snapshot_bytes];  // as read; checked when it is loaded
};

enum ReplayRecordType {
    record_pass,    // format 1: one pass; the pass input now holds it
    record_frame,   // format 2: one frame; the commands now hold it
    record_run,     // run passes (frames) like the last one
    record_digest,  // the state after the last pass
    record_end,     // the state when the game ended; nothing follows
    record_cut,     // the file stops here without its end (a cut-off game)
    record_bad,     // the file is damaged here; error says how
};

struct ReplayRecord {
    ReplayRecordType type;
    uint32_t run;
    uint64_t frame;
    StateDigest digest;
};

struct ReplayReader {
    std::FILE* file;
    int format_version;
    uint64_t line_number;
    bool finished;  // end, cut or bad seen: every later call says the same
    ReplayRecordType last_type;
    uint32_t file_hash;  // of every byte before the line being read
    char error[replay_error_capacity];
    // Chat lines read since the caller last took them, oldest first. They
    // lie between the records and are no record of their own.
    ReplayChat chats[replay_chats_kept];
    int chat_count;
    int chats_lost;  // pushed out before they were taken
};

// Opens the file and reads its header. False with reader->error set (one
// line, naming the file) when it cannot be read or is not a replay of ours.
bool reader_open(ReplayReader* reader, const char* path, ReplayHeader* header);
// The next record. A pass line's changes are applied to *pass, a frame
// line's to *commands, only when the whole line is sound. On record_bad,
// reader->error says what is wrong.
ReplayRecordType reader_next(ReplayReader* reader, PassInput* pass, FrameCommands* commands, ReplayRecord* record);
void reader_close(ReplayReader* reader);
// The oldest chat line not yet taken; false when there is none.
bool reader_take_chat(ReplayReader* reader, ReplayChat* chat);

// Where the reader stands between two records: the file's offset and what
// the reader has counted up to it, so that it can come back there.
struct ReaderPlace {
    int64_t offset;
    uint64_t line_number;
    uint32_t file_hash;
    bool finished;
    ReplayRecordType last_type;
};
ReaderPlace reader_place(ReplayReader* reader);
// Back (or on) to a place this reader was at; false when the file cannot seek.
bool reader_go_to(ReplayReader* reader, const ReaderPlace& place);
