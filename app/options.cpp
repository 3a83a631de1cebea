#include "app/options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/datagram.h"
#include "replay/replay_format.h"
#include "world/version.h"

namespace {

// Whether an option takes a value: never; always ("--name value" or
// "--name=value"); or when one is given ("--name=value", or "--name value"
// when the next argument is no option: the game takes no other arguments,
// so nothing else could be meant by it).
enum ValueUse { value_none, value_needed, value_optional };

// Where an option says why it refuses its value: one line, no newline.
struct Refusal {
    const char* option;  // its name, without the dashes
    char* text;
    size_t size;
};

// An option's whole description: the parser and the usage both read it, so
// an option is added in one place.
struct OptionEntry {
    const char* name;         // spelt "--name"
    const char* short_name;   // another spelling ("-h"), or null
    ValueUse value_use;
    const char* placeholder;  // the value's name in the usage
    const char* help[3];      // the usage's lines about it; null past the last
    // Sets the option from its value (null when none was given); false,
    // with the reason in the refusal, when the value is refused.
    bool (*apply)(const char* value, GameOptions* options, Refusal* refusal);
};

// Decimal digits only, from least to most: no sign, no spaces, no hex,
// nothing after.
bool read_number(const char* value, unsigned long long least, unsigned long long most, unsigned long long* number,
                 Refusal* refusal) {
    if (*value >= '0' && *value <= '9') {
        errno = 0;
        char* end = nullptr;
        unsigned long long parsed = std::strtoull(value, &end, 10);
        if (errno == 0 && *end == '\0' && parsed >= least && parsed <= most) {
            *number = parsed;
            return true;
        }
    }
    std::snprintf(refusal->text, refusal->size, "--%s needs a whole number from %llu to %llu, not '%s'",
                  refusal->option, least, most, value);
    return false;
}

const OptionEntry option_table[] = {
    {"seed", nullptr, value_needed, "N",
     {"deal the first game from seed N (0 to 4294967295);", "F1 later deals from the clock"},
     [](const char* value, GameOptions* options, Refusal* refusal) {
         unsigned long long number = 0;
         if (!read_number(value, 0, 0xFFFFFFFFull, &number, refusal)) return false;
         options->has_seed = true;
         options->seed = static_cast<uint32_t>(number);
         return true;
     }},
    {"scale", nullptr, value_needed, "N",
     {"enlarge the 640 x 480 picture N times (1 to 16);", "by default the largest that fits the desktop"},
     [](const char* value, GameOptions* options, Refusal* refusal) {
         unsigned long long number = 0;
         if (!read_number(value, 1, max_scale, &number, refusal)) return false;
         options->scale = static_cast<int>(number);
         return true;
     }},
    {"fullscreen", nullptr, value_none, nullptr, {"start full screen (Alt+Enter switches)"},
     [](const char*, GameOptions* options, Refusal*) {
         options->fullscreen = true;
         return true;
     }},
    {"record", nullptr, value_needed, "FILE", {"keep this game's replay in FILE"},
     [](const char* value, GameOptions* options, Refusal*) {
         options->record_path = value;
         return true;
     }},
    {"no-record", nullptr, value_none, nullptr,
     {"keep no replay (by default every game is kept in", "$XDG_DATA_HOME/varnhold/replays/)"},
     [](const char*, GameOptions* options, Refusal*) {
         options->no_record = true;
         return true;
     }},
    {"host", nullptr, value_optional, "PORT",
     {"wait for a second player to join over the network on UDP", "PORT (by default 41970); you play empire 0"},
     [](const char* value, GameOptions* options, Refusal* refusal) {
         unsigned long long number = 0;
         if (value && !read_number(value, 1, 65535, &number, refusal)) return false;
         options->host = true;
         options->port = static_cast<int>(number);
         return true;
     }},
    {"join", nullptr, value_optional, "HOST[:PORT]",
     {"join the game of a player who hosts one at HOST, or without", "HOST pick one of the games on the LAN (UDP 41971); you",
      "play empire 1"},
     [](const char* value, GameOptions* options, Refusal* refusal) {
         options->join = true;
         if (!value) return true;
         // The form is checked here with the other options; the name is looked up once the window shows.
         char host[datagram_host_capacity], why[160];
         int port = 0;
         if (!datagram_split_host_port(value, 1, host, sizeof host, &port, why, sizeof why)) {
             std::snprintf(refusal->text, refusal->size, "--%s needs %s", refusal->option, why);
             return false;
         }
         options->join_address = value;
         return true;
     }},
    {"rejoin-wait", nullptr, value_needed, "SECONDS",
     {"with --host or --join, wait SECONDS (1 to 86400, 300", "unless given) for a player who dropped to come back"},
     [](const char* value, GameOptions* options, Refusal* refusal) {
         unsigned long long number = 0;
         if (!read_number(value, 1, 86400, &number, refusal)) return false;
         options->rejoin_wait_s = static_cast<int>(number);
         return true;
     }},
    {"no-port-mapping", nullptr, value_none, nullptr,
     {"with --host, ask the router for no port (by default UPnP,", "PCP and NAT-PMP ask it to forward PORT here)"},
     [](const char*, GameOptions* options, Refusal*) {
         options->no_port_mapping = true;
         return true;
     }},
    {"replay", nullptr, value_needed, "FILE",
     {"watch a replay: Space pauses, + and - change the speed, , and .",
      "seek 10 s, [ and ] a minute, Home and End to the start and the",
      "end, T takes over from the moment shown, Escape leaves"},
     [](const char* value, GameOptions* options, Refusal*) {
         options->replay_path = value;
         return true;
     }},
    {"take-over-at", nullptr, value_needed, "FRAME",
     {"with --replay, play on at once from its FRAME (60 a second),", "on the recorded side against the computer"},
     [](const char* value, GameOptions* options, Refusal* refusal) {
         unsigned long long number = 0;
         if (!read_number(value, 0, replay_most_passes, &number, refusal)) return false;
         options->has_take_over = true;
         options->take_over_at = number;
         return true;
     }},
    {"load", nullptr, value_needed, "FILE", {"continue the game saved in FILE (F9 saves a game); with", "--host, a network game, the guest getting it as it joins"},
     [](const char* value, GameOptions* options, Refusal*) {
         options->load_path = value;
         return true;
     }},
    {"continue", nullptr, value_none, nullptr,
     {"continue the newest save or autosave in", "$XDG_DATA_HOME/varnhold/saves/"},
     [](const char*, GameOptions* options, Refusal*) {
         options->continue_newest = true;
         return true;
     }},
    {"help", "-h", value_none, nullptr, {"show this help and exit"},
     [](const char*, GameOptions* options, Refusal*) {
         options->show_help = true;
         return true;
     }},
    {"version", nullptr, value_none, nullptr, {"show the version and exit"},
     [](const char*, GameOptions* options, Refusal*) {
         options->show_version = true;
         return true;
     }},
};

const OptionEntry* find_long(const char* name, size_t length) {
    for (const OptionEntry& entry : option_table)
        if (std::strlen(entry.name) == length && std::strncmp(entry.name, name, length) == 0) return &entry;
    return nullptr;
}

const OptionEntry* find_short(const char* arg) {
    for (const OptionEntry& entry : option_table)
        if (entry.short_name && !std::strcmp(entry.short_name, arg)) return &entry;
    return nullptr;
}

// Reads the option at argv[*i] (and its value, when that is the next
// argument, moving *i past it) into options.
bool read_option(int argc, const char* const* argv, int* i, GameOptions* options, char* error_text,
                 size_t error_size) {
    const char* arg = argv[*i];
    const OptionEntry* entry = find_short(arg);
    const char* equals = nullptr;
    if (!entry) {
        if (std::strncmp(arg, "--", 2) != 0 || arg[2] == '\0') {
            std::snprintf(error_text, error_size, "unexpected argument '%s'", arg);
            return false;
        }
        const char* name = arg + 2;
        equals = std::strchr(name, '=');
        size_t name_length = equals ? static_cast<size_t>(equals - name) : std::strlen(name);
        entry = find_long(name, name_length);
        if (!entry) {
            std::snprintf(error_text, error_size, "unknown option '--%.*s'", static_cast<int>(name_length), name);
            return false;
        }
    }
    const char* value = equals ? equals + 1 : nullptr;
    if (equals && entry->value_use == value_none) {
        std::snprintf(error_text, error_size, "--%s takes no value", entry->name);
        return false;
    }
    const bool next_is_value = *i + 1 < argc && (entry->value_use == value_needed || argv[*i + 1][0] != '-');
    if (!equals && entry->value_use != value_none && next_is_value) value = argv[++*i];
    if (entry->value_use == value_needed && (!value || *value == '\0')) {
        std::snprintf(error_text, error_size, "--%s needs a value", entry->name);
        return false;
    }
    Refusal refusal = {entry->name, error_text, error_size};
    return entry->apply(value, options, &refusal);
}

// Options that make no sense together: a replay is watched, not played, so
// it neither takes a seed nor records.
bool check_combination(const GameOptions& options, char* error_text, size_t error_size) {
    const char* clash = nullptr;
    if (options.record_path && options.no_record) clash = "--record and --no-record cannot be used together";
    else if (options.has_take_over && !options.replay_path) clash = "--take-over-at needs the --replay it takes over";
    else if (options.replay_path && options.has_seed) clash = "--replay takes its seeds from the file, not from --seed";
    else if (options.host && options.join) clash = "--host and --join cannot be used together";
    else if (options.replay_path && (options.host || options.join))
        clash = "--replay cannot be used with --host or --join";
    else if (options.rejoin_wait_s && !options.host && !options.join)
        clash = "--rejoin-wait is for a network game: --host or --join";
    else if (options.no_port_mapping && !options.host) clash = "--no-port-mapping is for a host: --host";
    else if (options.join && options.has_seed) clash = "--join plays the host's deal, not --seed";
    else if (options.load_path && options.continue_newest) clash = "--load and --continue cannot be used together";
    else if (options.continue_newest && options.host) clash = "--host goes on from the save --load names, not --continue";
    else if ((options.load_path || options.continue_newest) &&
             (options.replay_path || options.join || options.has_seed))
        clash = "a saved game is continued alone or hosted: not with --replay, --join or --seed";
    if (!clash) return true;
    std::snprintf(error_text, error_size, "%s", clash);
    return false;
}

// The usage's left column for one option: "-h, --help", "--seed N" or
// "--host [PORT]".
void describe_form(const OptionEntry& entry, char* text, size_t size) {
    const char* value_open = entry.value_use == value_optional ? " [" : entry.value_use == value_needed ? " " : "";
    const char* value_close = entry.value_use == value_optional ? "]" : "";
    std::snprintf(text, size, "%s%s--%s%s%s%s", entry.short_name ? entry.short_name : "",
                  entry.short_name ? ", " : "", entry.name, value_open, entry.placeholder ? entry.placeholder : "",
                  value_close);
}

}  // namespace

OptionsResult parse_options(int argc, const char* const* argv, GameOptions* options, char* error_text,
                            size_t error_size) {
    *options = GameOptions();
    if (error_size > 0) error_text[0] = '\0';
    for (int i = 1; i < argc; ++i)
        if (!read_option(argc, argv, &i, options, error_text, error_size)) return options_bad;
    if (options->show_help || options->show_version) return options_exit_ok;
    if (!check_combination(*options, error_text, error_size)) return options_bad;
    return options_run;
}

void print_usage(std::FILE* to) {
    std::fprintf(to, "usage: varnhold [OPTION]...\n"
                     "A real-time strategy skirmish against the computer or a second player.\n\n");
    // The help starts in one column, three spaces past the longest form.
    char form[64];
    int column = 0;
    for (const OptionEntry& entry : option_table) {
        describe_form(entry, form, sizeof form);
        const int length = static_cast<int>(std::strlen(form));
        if (length > column) column = length;
    }
    for (const OptionEntry& entry : option_table) {
        describe_form(entry, form, sizeof form);
        std::fprintf(to, "  %-*s   %s\n", column, form, entry.help[0]);
        for (int line = 1; line < 3 && entry.help[line]; ++line)
            std::fprintf(to, "  %-*s   %s\n", column, "", entry.help[line]);
    }
}

bool handle_command_line(int argc, const char* const* argv, GameOptions* options, int* exit_code) {
    char error_text[256];
    switch (parse_options(argc, argv, options, error_text, sizeof error_text)) {
    case options_run: return false;
    case options_exit_ok:
        if (options->show_help) print_usage(stdout);
        else std::printf("%s\n", version_text());
        *exit_code = 0;
        return true;
    case options_bad:
    default:
        std::fprintf(stderr, "varnhold: %s\n", error_text);
        print_usage(stderr);
        *exit_code = 2;
        return true;
    }
}
