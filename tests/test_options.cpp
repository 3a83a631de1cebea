// The command line: every option in both GNU spellings, and every kind of
// bad input refused with a line that names what is wrong.
#include <gtest/gtest.h>

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

TEST(Options, NoArgumentsStartTheDefaultGame) {
    Parsed p = parse({});
    EXPECT_EQ(p.result, options_run) << "result";
    EXPECT_FALSE(p.options.has_seed) << "has_seed";
    EXPECT_EQ(p.options.scale, 0) << "scale: 0 picks from the desktop";
}

TEST(Options, ValuesInBothSpellings) {
    Parsed p = parse({"--seed", "4294967295", "--scale=3", "--record", "a.vrp", "--fullscreen"});
    ASSERT_EQ(p.result, options_run) << "result: " << p.error;
    EXPECT_TRUE(p.options.has_seed) << "has_seed";
    EXPECT_EQ(p.options.seed, 4294967295u) << "seed: the largest 32-bit value";
    EXPECT_EQ(p.options.scale, 3) << "scale";
    EXPECT_STREQ(p.options.record_path, "a.vrp") << "record_path";
    EXPECT_TRUE(p.options.fullscreen) << "fullscreen";

    Parsed q = parse({"--seed=0", "--no-record", "--scale", "1"});
    ASSERT_EQ(q.result, options_run) << "result: " << q.error;
    EXPECT_EQ(q.options.seed, 0u) << "seed 0 is a seed";
    EXPECT_TRUE(q.options.has_seed) << "has_seed";
    EXPECT_TRUE(q.options.no_record) << "no_record";
    EXPECT_EQ(q.options.scale, 1) << "scale";

    Parsed r = parse({"--replay=b.vrp"});
    ASSERT_EQ(r.result, options_run) << "result: " << r.error;
    EXPECT_STREQ(r.options.replay_path, "b.vrp") << "replay_path";
}

TEST(Options, HelpAndVersionEndBeforeAnyWindow) {
    EXPECT_EQ(parse({"--help"}).result, options_exit_ok) << "--help";
    EXPECT_EQ(parse({"-h"}).result, options_exit_ok) << "-h";
    Parsed v = parse({"--version"});
    EXPECT_EQ(v.result, options_exit_ok) << "--version";
    EXPECT_TRUE(v.options.show_version) << "show_version";
    EXPECT_EQ(std::string(version_text()).rfind("varnhold ", 0), 0u) << "version text: " << version_text();
}

TEST(Options, BadInputIsRefusedWithItsReason) {
    struct Case {
        std::vector<const char*> args;
        const char* reason;  // a piece of the one line the player sees
    };
    const Case cases[] = {
        {{"--frobnicate"}, "unknown option '--frobnicate'"},
        {{"-x"}, "unexpected argument '-x'"},
        {{"--"}, "unexpected argument '--'"},
        {{"--seed"}, "--seed needs a value"},
        {{"--seed="}, "--seed needs a value"},
        {{"--seed", "-1"}, "not '-1'"},
        {{"--seed", "4294967296"}, "not '4294967296'"},
        {{"--seed", "12abc"}, "not '12abc'"},
        {{"--seed", "99999999999999999999999"}, "not '99999999999999999999999'"},
        {{"--scale", "0"}, "--scale needs a whole number from 1 to 16"},
        {{"--scale", "17"}, "not '17'"},
        {{"--fullscreen=yes"}, "--fullscreen takes no value"},
        {{"--help=1"}, "--help takes no value"},
        {{"--record", "a", "--no-record"}, "--record and --no-record"},
        {{"--replay", "a", "--record", "b"}, "--replay and --record"},
        {{"--replay", "a", "--seed", "5"}, "--replay takes its seeds from the file"},
    };
    for (const Case& c : cases) {
        Parsed p = parse(c.args);
        std::string shown = c.args[0];
        EXPECT_EQ(p.result, options_bad) << "result of " << shown;
        EXPECT_NE(p.error.find(c.reason), std::string::npos) << "reason for " << shown << ": said '" << p.error << "'";
        EXPECT_EQ(p.error.find('\n'), std::string::npos) << "lines of the reason for " << shown;
    }
}

}  // namespace
