#include "app/options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "world/version.h"

namespace {

// One option's spelling and whether it takes a value.
struct OptionForm {
    const char* name;
    bool takes_value;
};

constexpr OptionForm option_forms[] = {
    {"help", false},   {"version", false}, {"seed", true},  {"record", true},
    {"replay", true},  {"no-record", false}, {"scale", true}, {"fullscreen", false},
};

const OptionForm* find_form(const char* name, size_t length) {
    for (const OptionForm& form : option_forms)
        if (std::strlen(form.name) == length && std::strncmp(form.name, name, length) == 0) return &form;
    return nullptr;
}

// Decimal digits only: no sign, no spaces, no hex, nothing after.
bool parse_unsigned(const char* text, unsigned long long limit, unsigned long long* value) {
    if (*text < '0' || *text > '9') return false;
    errno = 0;
    char* end = nullptr;
    unsigned long long parsed = std::strtoull(text, &end, 10);
    if (errno != 0 || *end != '\0' || parsed > limit) return false;
    *value = parsed;
    return true;
}

bool apply_option(const OptionForm& form, const char* value, GameOptions* options, char* error_text,
                  size_t error_size) {
    unsigned long long number = 0;
    if (!std::strcmp(form.name, "help")) {
        options->show_help = true;
    } else if (!std::strcmp(form.name, "version")) {
        options->show_version = true;
    } else if (!std::strcmp(form.name, "seed")) {
        if (!parse_unsigned(value, 0xFFFFFFFFull, &number)) {
            std::snprintf(error_text, error_size, "--seed needs a whole number from 0 to 4294967295, not '%s'",
                          value);
            return false;
        }
        options->has_seed = true;
        options->seed = static_cast<uint32_t>(number);
    } else if (!std::strcmp(form.name, "record")) {
        options->record_path = value;
    } else if (!std::strcmp(form.name, "replay")) {
        options->replay_path = value;
    } else if (!std::strcmp(form.name, "no-record")) {
        options->no_record = true;
    } else if (!std::strcmp(form.name, "scale")) {
        if (!parse_unsigned(value, max_scale, &number) || number < 1) {
            std::snprintf(error_text, error_size, "--scale needs a whole number from 1 to %d, not '%s'", max_scale,
                          value);
            return false;
        }
        options->scale = static_cast<int>(number);
    } else if (!std::strcmp(form.name, "fullscreen")) {
        options->fullscreen = true;
    }
    return true;
}

// Options that make no sense together: a replay is watched, not played, so
// it neither takes a seed nor records.
bool check_combination(const GameOptions& options, char* error_text, size_t error_size) {
    const char* clash = nullptr;
    if (options.record_path && options.no_record) clash = "--record and --no-record cannot be used together";
    else if (options.replay_path && options.record_path) clash = "--replay and --record cannot be used together";
    else if (options.replay_path && options.has_seed) clash = "--replay takes its seeds from the file, not from --seed";
    if (!clash) return true;
    std::snprintf(error_text, error_size, "%s", clash);
    return false;
}

}  // namespace

OptionsResult parse_options(int argc, const char* const* argv, GameOptions* options, char* error_text,
                            size_t error_size) {
    *options = GameOptions();
    if (error_size > 0) error_text[0] = '\0';
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (!std::strcmp(arg, "-h")) arg = "--help";
        if (std::strncmp(arg, "--", 2) != 0 || arg[2] == '\0') {
            std::snprintf(error_text, error_size, "unexpected argument '%s'", arg);
            return options_bad;
        }
        const char* name = arg + 2;
        const char* equals = std::strchr(name, '=');
        size_t name_length = equals ? static_cast<size_t>(equals - name) : std::strlen(name);
        const OptionForm* form = find_form(name, name_length);
        if (!form) {
            std::snprintf(error_text, error_size, "unknown option '--%.*s'", static_cast<int>(name_length), name);
            return options_bad;
        }
        const char* value = nullptr;
        if (form->takes_value) {
            if (equals) {
                value = equals + 1;
            } else if (i + 1 < argc) {
                value = argv[++i];
            } else {
                std::snprintf(error_text, error_size, "--%s needs a value", form->name);
                return options_bad;
            }
            if (*value == '\0') {
                std::snprintf(error_text, error_size, "--%s needs a value", form->name);
                return options_bad;
            }
        } else if (equals) {
            std::snprintf(error_text, error_size, "--%s takes no value", form->name);
            return options_bad;
        }
        if (!apply_option(*form, value, options, error_text, error_size)) return options_bad;
    }
    if (options->show_help || options->show_version) return options_exit_ok;
    if (!check_combination(*options, error_text, error_size)) return options_bad;
    return options_run;
}

void print_usage(std::FILE* to) {
    std::fprintf(to,
                 "usage: varnhold [OPTION]...\n"
                 "A real-time strategy skirmish against the computer.\n"
                 "\n"
                 "  --seed N        deal the first game from seed N (0 to 4294967295);\n"
                 "                  F1 later deals from the clock\n"
                 "  --scale N       enlarge the 640 x 480 picture N times (1 to %d);\n"
                 "                  by default the largest that fits the desktop\n"
                 "  --fullscreen    start full screen (Alt+Enter switches)\n"
                 "  --record FILE   keep this game's replay in FILE\n"
                 "  --no-record     keep no replay (by default every game is kept in\n"
                 "                  $XDG_DATA_HOME/varnhold/replays/)\n"
                 "  --replay FILE   watch a replay: Space pauses, + and - change the speed,\n"
                 "                  Escape leaves\n"
                 "  -h, --help      show this help and exit\n"
                 "  --version       show the version and exit\n",
                 max_scale);
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
