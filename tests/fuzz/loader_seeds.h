// The fuzzer's seed files, made here rather than kept as binaries: pictures
// the loader takes and pictures it must refuse, each a few bytes from sound.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SeedPicture {
    std::string name;
    std::vector<uint8_t> bytes;
};

// Every seed: sound pictures first, then the broken ones.
std::vector<SeedPicture> all_seed_pictures();
// Writes every seed into folder (which must exist). False on a write error.
bool write_seed_pictures(const char* folder);
