// Where keybird-render writes (links, pipes, read-only files, folders) and how it cuts a
// long text into files.

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tools/render_plan.h"
#include "tools/run_process.h"

namespace kb {
namespace {

namespace fs = std::filesystem;
using test::ProcessResult;
using test::readWholeFile;

class RenderTargets : public testing::Test {
protected:
    ProcessResult run(std::vector<std::string> args) {
        args.insert(args.begin(), KEYBIRD_RENDER_BIN);
        return test::runProcess(args, {"", std::nullopt, dir.path()});
    }
    // A shell pipeline, for standard output into a pipe.
    ProcessResult shell(const std::string& line) {
        return test::runProcess({"/bin/sh", "-c", line}, {"", std::nullopt, dir.path()});
    }
    std::string at(const std::string& name) const { return (dir.path() / name).string(); }
    std::string reference(const std::string& text) {
        EXPECT_EQ(run({"-o", at("ref.wav"), text}).exitCode, 0);
        return readWholeFile(at("ref.wav"));
    }
    static mode_t modeOf(const std::string& path) {
        struct stat st {};
        ::stat(path.c_str(), &st);
        return st.st_mode & 07777;
    }

    test::TempDir dir;
};

TEST_F(RenderTargets, SymbolicLinkIsFollowedAndTheFileKeepsItsMode) {
    const std::string want = reference("73");
    fs::create_directory(at("store"));
    std::ofstream(at("store/real.wav")) << "old";
    ::chmod(at("store/real.wav").c_str(), 0640);
    fs::create_symlink("store/real.wav", at("link.wav"));
    // A link whose target does not exist yet names the file to create.
    fs::create_symlink("store/new.wav", at("dangling.wav"));

    ASSERT_EQ(run({"-o", at("link.wav"), "73"}).exitCode, 0);
    ASSERT_EQ(run({"-o", at("dangling.wav"), "73"}).exitCode, 0);
    EXPECT_TRUE(fs::is_symlink(at("link.wav")));
    EXPECT_TRUE(readWholeFile(at("store/real.wav")) == want);
    EXPECT_EQ(modeOf(at("store/real.wav")), 0640u);
    EXPECT_TRUE(readWholeFile(at("store/new.wav")) == want);
    std::vector<std::string> stored;
    for (const auto& e : fs::directory_iterator(at("store"))) stored.push_back(e.path().filename());
    std::sort(stored.begin(), stored.end());
    EXPECT_EQ(stored, (std::vector<std::string>{"new.wav", "real.wav"})) << "no temporary left";
}

TEST_F(RenderTargets, StandardOutputAndAFifoAreWrittenStraightThrough) {
    const std::string want = reference("cq de f5abc");
    const std::string bin = KEYBIRD_RENDER_BIN;
    // Through a pipe, into a reader: the header's sizes are known before the first byte.
    ASSERT_EQ(shell("'" + bin + "' -o - cq de f5abc | cat > '" + at("piped.wav") + "'").exitCode,
              0);
    EXPECT_TRUE(readWholeFile(at("piped.wav")) == want);

    ASSERT_EQ(::mkfifo(at("fifo").c_str(), 0600), 0);
    std::string heard;
    std::thread reader([&] { heard = readWholeFile(at("fifo")); });
    const ProcessResult r = run({"-o", at("fifo"), "cq de f5abc"});
    reader.join();
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(heard == want);
    EXPECT_TRUE(fs::is_fifo(at("fifo"))) << "never renamed over";
}

struct RefusedCase {
    const char* name;
    std::function<void(const RenderTargets&, const std::string&)> make;
    const char* mentions;
    bool readsTarget = false;  // the text is read from the target itself
};

void PrintTo(const RefusedCase& c, std::ostream* os) {
    *os << c.name;
}

class RenderRefusedTargets : public RenderTargets,
                             public testing::WithParamInterface<RefusedCase> {};

TEST_P(RenderRefusedTargets, BeforeAnySoundAndLeavesThemAsTheyWere) {
    const std::string target = at("target");
    GetParam().make(*this, target);
    const auto before = fs::symlink_status(target).type();
    const ProcessResult r =
        GetParam().readsTarget ? run({"-i", target, "-o", target}) : run({"-o", target, "paris"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find(GetParam().mentions), std::string::npos) << r.err;
    EXPECT_EQ(fs::symlink_status(target).type(), before);
    std::error_code ec;  // a link loop has no type to follow to
    if (fs::is_regular_file(target, ec)) {
        EXPECT_EQ(readWholeFile(target), "keep");
    }
    EXPECT_EQ(dir.entries().size(), 1u) << testing::PrintToString(dir.entries());
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, RenderRefusedTargets,
    testing::Values(
        RefusedCase{"TheTextFileItself",
                    [](const RenderTargets&, const std::string& p) { std::ofstream(p) << "keep"; },
                    "the text file being read", true},
        RefusedCase{"ReadOnlyFile",
                    [](const RenderTargets&, const std::string& p) {
                        std::ofstream(p) << "keep";
                        ::chmod(p.c_str(), 0444);
                    },
                    "read-only"},
        RefusedCase{"Folder",
                    [](const RenderTargets&, const std::string& p) { fs::create_directory(p); },
                    "folder"},
        RefusedCase{"Socket",
                    [](const RenderTargets&, const std::string& p) {
                        const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
                        sockaddr_un a{};
                        a.sun_family = AF_UNIX;
                        p.copy(a.sun_path, sizeof a.sun_path - 1);
                        ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
                        ::close(s);
                    },
                    "socket"},
        RefusedCase{
            "LinkLoop",
            [](const RenderTargets&, const std::string& p) { fs::create_symlink("target", p); },
            "symbolic links"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RenderTargets, AFolderThisUserCannotWriteIsRefused) {
    fs::create_directory(at("locked"));
    ::chmod(at("locked").c_str(), 0555);
    ::chmod(dir.path().c_str(), 0755);
    // root writes anywhere; the check runs as an ordinary user then.
    const std::string asUser =
        ::geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
    const ProcessResult r =
        shell(asUser + "'" + KEYBIRD_RENDER_BIN + "' -o '" + at("locked/x.wav") + "' e");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("locked': Permission denied"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::is_empty(at("locked")));
}

// The data of a WAV file (after its 44-byte header).
std::string samples(const std::string& wav) {
    return wav.size() > 44 ? wav.substr(44) : std::string();
}

TEST_F(RenderTargets, ThirtyMinutesSplitAtTenGiveThreeFilesThatJoinBack) {
    // About 29 minutes at 25 wpm.
    std::string text;
    while (text.size() < 29 * 25 * 6) text += "paris cq de f5abc ";
    std::ofstream(at("long.txt")) << text;
    const std::vector<std::string> common = {"--wpm", "25", "--rate",
                                             "11025", "-i", at("long.txt")};
    auto args = common;
    args.insert(args.end(), {"-o", at("whole.wav")});
    ASSERT_EQ(run(args).exitCode, 0);
    args = common;
    args.insert(args.end(), {"-o", at("book.wav"), "--split-minutes", "10"});
    const ProcessResult r = run(args);
    ASSERT_EQ(r.exitCode, 0) << r.err;

    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"book-001.wav", "book-002.wav",
                                                       "book-003.wav", "long.txt", "whole.wav"}));
    std::string joined;
    for (const char* part : {"book-001.wav", "book-002.wav", "book-003.wav"}) {
        const std::string data = samples(readWholeFile(at(part)));
        // Each file is at least ten minutes of sound, except the last.
        if (std::string(part) != "book-003.wav") {
            EXPECT_GE(data.size(), 600u * 11025u) << part;
        }
        // It starts with a tone, not with the tail of a gap or half a character.
        ASSERT_FALSE(data.empty());
        EXPECT_NE(static_cast<unsigned char>(data[1]), 128) << part;
        joined += data;
    }
    EXPECT_TRUE(joined == samples(readWholeFile(at("whole.wav"))));
}

struct PlanCase {
    const char* name;
    std::string text;
    int minutes;
    const char* chapter;
    std::vector<std::string> parts;
};

class RenderPlan : public testing::TestWithParam<PlanCase> {};

TEST_P(RenderPlan, CutsBeforeASoundingCharacter) {
    // One byte per character with a code, a blank included; one second is two bytes, so
    // a minute is 120 bytes.
    const auto bytesOf = [](unsigned char c) -> std::uint64_t { return c == '\n' ? 0 : 1; };
    const PlanCase& c = GetParam();
    const auto parts = render::planParts(c.text, bytesOf, 2, {c.minutes, c.chapter});
    std::vector<std::string> got;
    for (const render::Part& p : parts) got.push_back(c.text.substr(p.begin, p.end - p.begin));
    EXPECT_EQ(got, c.parts);
}

const std::string k100 = std::string(100, 'e');

INSTANTIATE_TEST_SUITE_P(Rules, RenderPlan,
                         testing::Values(PlanCase{"NoRule", "ab cd\n", 0, "", {"ab cd\n"}},
                                         PlanCase{"Chapters",
                                                  "Title\nChapter 1\nab\nCHAPTER 2 cd\nchapters\n",
                                                  0,
                                                  "chapter",
                                                  {"Title\n", "Chapter 1\nab\n",
                                                   "CHAPTER 2 cd\nchapters\n"}},
                                         PlanCase{"ChapterFirstMakesNoEmptyFile",
                                                  "\n\nchapter 1 ab\nchapter 2",
                                                  0,
                                                  "chapter",
                                                  {"\n\nchapter 1 ab\n", "chapter 2"}},
                                         PlanCase{"MinutesAtTheNextWordGap",
                                                  k100 + " " + k100 + "  x y",
                                                  1,
                                                  "",
                                                  {k100 + " " + k100 + "  ", "x y"}},
                                         PlanCase{"MinutesAtALineBreak",
                                                  k100 + "\n" + k100 + "\nx\n",
                                                  1,
                                                  "",
                                                  {k100 + "\n" + k100 + "\n", "x\n"}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RenderPartNames, AreNumberedBeforeTheExtension) {
    EXPECT_EQ(render::partFileName("out/book.ogg", 1, "ogg"), "out/book-001.ogg");
    EXPECT_EQ(render::partFileName("a.b/book", 12, "mp3"), "a.b/book-012.mp3");
    EXPECT_EQ(render::partFileName(".hidden", 3, "wav"), ".hidden-003.wav");
}

}  // namespace
}  // namespace kb
