// The command line: every option in both GNU spellings, each number taken
// up to its edges and refused past them, every kind of bad input refused
// with a line that names what is wrong, and the manual page in step.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "app/options.h"
#include "world/version.h"

namespace {

struct Parsed {
    OptionsResult result;
    GameOptions options;
    std::string error;
};

Parsed parse(std::vector<const char*> args) {
    args.insert(args.begin(), "varnhold");
    Parsed parsed;
    char error[256];
    parsed.result = parse_options(static_cast<int>(args.size()), args.data(), &parsed.options, error, sizeof error);
    parsed.error = error;
    return parsed;
}

TEST(Options, DefaultsAndValuesInBothSpellings) {
    Parsed d = parse({});
    EXPECT_FALSE(d.options.has_seed) << "has_seed without --seed";
    EXPECT_EQ(d.options.scale, 0) << "scale without --scale: 0 picks from the desktop";

    Parsed p = parse({"--seed", "7", "--scale=3", "--record", "a.vrp", "--fullscreen"});
    ASSERT_EQ(p.result, options_run) << "result: " << p.error;
    EXPECT_EQ(p.options.seed, 7u) << "seed";
    EXPECT_EQ(p.options.scale, 3) << "scale";
    EXPECT_STREQ(p.options.record_path, "a.vrp") << "record_path";
    EXPECT_TRUE(p.options.fullscreen) << "fullscreen";

    Parsed q = parse({"--seed=0", "--no-record"});
    EXPECT_TRUE(q.options.has_seed) << "has_seed: seed 0 is a seed";
    EXPECT_TRUE(q.options.no_record) << "no_record";
    EXPECT_STREQ(parse({"--replay=b.vrp"}).options.replay_path, "b.vrp") << "replay_path";
}

TEST(Options, HelpAndVersionEndBeforeAnyWindow) {
    EXPECT_EQ(parse({"--help"}).result, options_exit_ok) << "--help";
    EXPECT_EQ(parse({"-h"}).result, options_exit_ok) << "-h";
    EXPECT_EQ(parse({"--version"}).result, options_exit_ok) << "--version";
    EXPECT_EQ(std::string(version_text()), std::string("varnhold ") + game_version()) << "version text";
}

// Each number is taken up to its edges and refused one past them; bad input
// of every other kind is refused too, with one line that says why.
TEST(Options, EdgesAndBadInput) {
    struct Case {
        std::vector<const char*> args;
        const char* reason;  // a piece of the one line the player sees; null: taken
    };
    const Case cases[] = {
        {{"--seed", "4294967295"}, nullptr},
        {{"--seed", "4294967296"}, "--seed needs a whole number from 0 to 4294967295, not '4294967296'"},
        {{"--scale", "1"}, nullptr},
        {{"--scale", "16"}, nullptr},
        {{"--scale", "0"}, "--scale needs a whole number from 1 to 16, not '0'"},
        {{"--scale", "17"}, "--scale needs a whole number from 1 to 16, not '17'"},
        {{"--seed", "+5"}, "not '+5'"},
        {{"--seed", "12abc"}, "not '12abc'"},
        {{"--seed"}, "--seed needs a value"},
        {{"--seed="}, "--seed needs a value"},
        {{"--frobnicate"}, "unknown option '--frobnicate'"},
        {{"-x"}, "unexpected argument '-x'"},
        {{"--"}, "unexpected argument '--'"},
        {{"--fullscreen=yes"}, "--fullscreen takes no value"},
        {{"--record", "a", "--no-record"}, "--record and --no-record"},
        {{"--take-over-at", "5"}, "--take-over-at needs the --replay"},
        {{"--replay", "a", "--take-over-at", "100000001"}, "from 0 to 100000000, not '100000001'"},
        {{"--replay", "a", "--take-over-at", "100000000", "--record", "b"}, nullptr},
        {{"--replay", "a", "--seed", "5"}, "--replay takes its seeds from the file"},
        {{"--join", "[2001:db8::7]:65535"}, nullptr},
        {{"--join", "h:0"}, "--join needs a port from 1 to 65535 after the host, not '0'"},
        {{"--join", "h:65536"}, "--join needs a port from 1 to 65535 after the host, not '65536'"},
        {{"--join", "h:8o"}, "--join needs a port from 1 to 65535 after the host, not '8o'"},
        {{"--join", "h:"}, "--join needs a port from 1 to 65535 after the host, not ''"},
        {{"--join", "[::1"}, "--join needs a ']' to close the '[' of '[::1'"},
        {{"--join", "[::1]x"}, "--join needs nothing but :PORT after ']', not 'x'"},
        {{"--join", ":5"}, "--join needs a host before the port in ':5'"},
        {{"--join", "--seed", "5"}, "--join plays the host's deal, not --seed"},  // the list's join, no address
    };
    for (const Case& c : cases) {
        Parsed p = parse(c.args);
        const std::string shown = std::string(c.args[0]) + (c.args.size() > 1 ? std::string(" ") + c.args[1] : "");
        EXPECT_EQ(p.result, c.reason ? options_bad : options_run) << "result of " << shown << ": " << p.error;
        EXPECT_NE(p.error.find(c.reason ? c.reason : ""), std::string::npos) << "reason for " << shown;
        EXPECT_EQ(p.error.find('\n'), std::string::npos) << "lines of the reason for " << shown;
    }
}

// Every option the usage shows is in the manual page.
TEST(Options, TheManualPageNamesEveryOption) {
    char* usage = nullptr;
    size_t usage_size = 0;
    std::FILE* usage_file = open_memstream(&usage, &usage_size);
    print_usage(usage_file);
    std::fclose(usage_file);
    std::istringstream words(usage);
    std::free(usage);
    std::ifstream page_file(VARNHOLD_SOURCE_DIR "/packaging/varnhold.6");
    std::string page((std::istreambuf_iterator<char>(page_file)), std::istreambuf_iterator<char>());
    for (size_t dash; (dash = page.find("\\-")) != std::string::npos;) page.erase(dash, 1);  // roff writes - as \-
    int options = 0;
    for (std::string word; words >> word;) {
        if (word.size() < 2 || word[0] != '-') continue;
        EXPECT_NE(page.find(word.substr(0, word.find_first_of(",["))), std::string::npos) << word << " not in the page";
        ++options;
    }
    EXPECT_GE(options, 9) << "options the usage shows";
}

}  // namespace
