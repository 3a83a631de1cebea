// The command line, read once at the entry into plain options; no rule ever
// reads argv. GNU long options: "--name value" or "--name=value".
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

struct GameOptions {
    bool show_help = false;
    bool show_version = false;
    bool has_seed = false;
    uint32_t seed = 0;                  // the first deal's seed, with has_seed
    const char* record_path = nullptr;  // --record FILE
    const char* replay_path = nullptr;  // --replay FILE
    bool has_take_over = false;         // --take-over-at FRAME: play on from the replay's frame
    uint64_t take_over_at = 0;
    const char* load_path = nullptr;    // --load FILE: continue a save
    bool continue_newest = false;       // --continue: the newest save or autosave
    bool no_record = false;
    int scale = 0;                      // the window's whole factor; 0 picks one from the desktop
    bool fullscreen = false;
    bool host = false;                  // --host [PORT]: wait for a second player...
    int port = 0;                       // ...on this UDP port (0: the game's own)
    bool join = false;                  // --join [HOST[:PORT]]: play a host's game...
    const char* join_address = nullptr; // ...at this address; null: the one picked from the LAN's list
    int rejoin_wait_s = 0;              // --rejoin-wait SECONDS: 0 waits the game's own time
    bool no_port_mapping = false;       // --no-port-mapping: a host asks its router for nothing
};

constexpr int max_scale = 16;

enum OptionsResult {
    options_run = 0,    // start the game with these options
    options_exit_ok,    // --help or --version: print, then exit 0
    options_bad,        // error_text says what is wrong: exit 2, no window
};

// Reads argv[1..argc-1]. On options_bad, error_text (error_size bytes) holds
// one line without a newline saying what is wrong.
OptionsResult parse_options(int argc, const char* const* argv, GameOptions* options, char* error_text,
                            size_t error_size);

// The usage text, as --help prints it: every option, from the same table
// the parser reads.
void print_usage(std::FILE* to);

// The whole entry on argv: prints help, version or the error with usage
// (stderr, exit 2) and returns true with *exit_code set when the process is
// to end without a window; false when the game should start with *options.
bool handle_command_line(int argc, const char* const* argv, GameOptions* options, int* exit_code);
