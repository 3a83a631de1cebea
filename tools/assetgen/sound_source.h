// Sound sources: the few numbers that shape the explosion played at every
// new game, and the synthesis that turns them into 16-bit samples.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ExplosionShape {
    int rate = 0;                 // samples per second: 22050 or 44100
    double seconds = 0;           // length of the sound
    int seed = 0;                 // seed of the noise, so every build sounds the same
    double attack = 0;            // seconds to full loudness
    double crack_level = 0;       // the bright first crack
    double crack_decay = 0;       // seconds for the crack to fall to about a third
    double noise_level = 0;       // the roar of filtered noise
    double noise_decay = 0;
    double noise_cutoff_start = 0;  // Hz; the roar darkens from here...
    double noise_cutoff_end = 0;    // ...to here
    double rumble_level = 0;      // the low rumble underneath
    double rumble_start = 0;      // Hz; its pitch sinks from here...
    double rumble_end = 0;        // ...to here
    double rumble_decay = 0;
    double fade = 0;              // seconds of fade-out at the very end
};

// Reads a sound source of "name value" lines. False, with a message naming
// the file and line, when a name is unknown, missing or out of range.
bool read_explosion_source(const std::string& path, ExplosionShape* shape, std::string* error);
// The samples of the explosion, peaking just below full scale.
std::vector<int16_t> synthesise_explosion(const ExplosionShape& shape);
