// keybird-groups through its command line: the group shapes over long runs, the seed, the
// chosen characters and the refusals. That its series is the window's quick serial (and
// so its counts and V groups are the window's) is tested with the window
// (tests/modes/random_mode_test.cpp).

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tools/run_process.h"

namespace kb {
namespace {

using test::ProcessResult;

class Groups : public testing::Test {
protected:
    ProcessResult run(std::vector<std::string> args) {
        args.insert(args.begin(), KEYBIRD_GROUPS_BIN);
        return test::runProcess(args, {"", std::nullopt, dir.path()});
    }
    // The groups of a successful run, its last line end checked.
    std::vector<std::string> groups(std::vector<std::string> args) {
        const ProcessResult r = run(std::move(args));
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_TRUE(r.out.ends_with(" \n") || r.out.ends_with("\n")) << r.out;
        std::istringstream in(r.out);
        std::vector<std::string> all;
        for (std::string g; in >> g;) all.push_back(g);
        return all;
    }
    test::TempDir dir;
};

TEST_F(Groups, EveryGroupOfALongRunKeepsItsShape) {
    struct Case {
        std::vector<std::string> args;
        std::regex shape;
    };
    const Case cases[] = {
        // Letter-letter-digit, letter-digit-any or digit-letter-digit, then two letters.
        {{"--set", "letters+figures", "--callsigns"},
         std::regex("([A-Z][A-Z][0-9]|[A-Z][0-9][A-Z0-9]|[0-9][A-Z][0-9])[A-Z][A-Z]")},
        // Non-mixed: figures, letters, or the other signs, never two kinds.
        {{"--non-mixed"}, std::regex("[0-9]{5}|[A-Z]{5}|[.,?/+'=-]{5}")},
        {{"--non-mixed", "--length", "random"},
         std::regex("[0-9]{2,8}|[A-Z]{2,8}|[.,?/+'=-]{2,8}")},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"--count", "50000", "--seed", "73"});
        const std::vector<std::string> all = groups(args);
        ASSERT_GE(all.size(), 6250u) << args[1];  // at most 8 characters a group
        for (const std::string& g : all) ASSERT_TRUE(std::regex_match(g, c.shape)) << g;
    }
}

TEST_F(Groups, ASeedRepeatsItsSeriesAndTheChosenCharactersAreDrawnAsTyped) {
    const auto once = [this](const char* seed) {
        return run({"--chars", "AAb?#", "--count", "3000", "--seed", seed}).out;
    };
    const std::string a = once("99");
    EXPECT_EQ(a, once("99"));
    EXPECT_NE(a, once("100"));
    EXPECT_EQ(a.find_first_not_of("AB? \n"), std::string::npos);
    const auto count = [&a](char c) {
        return static_cast<double>(std::count(a.begin(), a.end(), c));
    };
    // "a" holds two of the four slots.
    EXPECT_NEAR(count('A') / 3000.0, 0.5, 0.04);
    EXPECT_NEAR(count('B') / 3000.0, 0.25, 0.04);
    // Lesson 13 is "sbj78+=?/9".
    for (const std::string& g : groups({"--lesson", "13", "--count", "500"})) {
        EXPECT_EQ(g.find_first_not_of("SBJ78+=?/9"), std::string::npos) << g;
    }
}

TEST_F(Groups, RefusesWhatTheWindowWouldNotOffer) {
    const std::vector<std::string> refused[] = {
        {"--callsigns"},
        {"--set", "letters+figures", "--callsigns", "--length", "4"},
        {"--set", "letters+figures", "--callsigns", "--non-mixed"},
        {"--lesson", "25"},
        {"--lesson", "61"},
        {"--chars", "#%"},
        {"--chars", " "},
        {"--chars", std::string(71, 'a')},
        {"--set", "letters", "--chars", "abc"},
        {"--set", "local"},
        {"--count", "0"},
        {"--count", "12x"},
        {"--length", "9"},
        {"--seed", "-1"},
        {"--count"},
        {"stray"},
        {"--bogus"},
    };
    for (const auto& args : refused) {
        const ProcessResult r = run(args);
        EXPECT_EQ(r.exitCode, 2) << args[0];
        EXPECT_TRUE(r.out.empty()) << args[0];
        EXPECT_TRUE(r.err.starts_with("keybird-groups: ")) << args[0] << ": " << r.err;
    }
    const ProcessResult help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("--callsigns"), std::string::npos);
}

}  // namespace
}  // namespace kb
