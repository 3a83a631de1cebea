#include "replay/replay_format.h"

ReplayGame game_at_home() {
    ReplayGame game = {};
    game.person[0] = 1;
    return game;
}

uint32_t hash_file_bytes(uint32_t hash, const char* bytes, int count) {
    for (int i = 0; i < count; ++i) hash = (hash ^ static_cast<uint8_t>(bytes[i])) * 0x01000193u;
    return hash;
}

DigestForm digest_form_of_format(int format_version) {
    if (format_version == 1) return DigestForm::with_view;
    return format_version == 2 ? DigestForm::format_2 : DigestForm::shared;
}
