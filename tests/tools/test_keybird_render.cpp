#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "audio/synthesis.h"
#include "core/morse.h"
#include "core/timing.h"
#include "receive/wav_writer.h"
#include "tools/run_process.h"

namespace kb {
namespace {

namespace fs = std::filesystem;
using test::ProcessResult;
using test::readWholeFile;

std::uint32_t le32(const std::string& s, std::size_t at) {
    auto b = [&](std::size_t k) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + k]));
    };
    return b(0) | b(1) << 8 | b(2) << 16 | b(3) << 24;
}
std::uint16_t le16(const std::string& s, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(s[at]) |
                                      static_cast<unsigned char>(s[at + 1]) << 8);
}

class Render : public testing::Test {
protected:
    ProcessResult run(std::vector<std::string> args, const std::string& input = "",
                      std::optional<rlim_t> fileSizeLimit = std::nullopt) {
        args.insert(args.begin(), KEYBIRD_RENDER_BIN);
        return test::runProcess(args, {input, fileSizeLimit, dir.path()});
    }
    std::string out(const std::string& name = "out.wav") const {
        return (dir.path() / name).string();
    }

    // What the recorder writes for a text and settings: header and samples, computed
    // through the library so that the tool's own option handling is what is tested.
    static std::string expected(const std::string& text, const RecordFormat& f,
                                const TimingSettings& t, int levelDb, Real pitch, ToneType type) {
        MorseTable morse;
        ToneTable tone;
        tone.rebuild(ToneParams{pitch, type, levelGain(levelDb)});
        const RecordDurations rd =
            recordDurations(elementDurations(speedFactor(t.speed), t.weightRatio), f);
        const RecordSpacing sp{t.spacing, t.wordSpacingFactor};
        const auto size = static_cast<std::uint32_t>(recordDataSize(text, morse, rd, f, sp));
        const auto header = wavHeader(f, size);
        std::vector<std::uint8_t> data;
        for (char c : text)
            renderRecordCharacter(data, static_cast<unsigned char>(c), morse, tone, rd, f, sp);
        return std::string(header.begin(), header.end()) + std::string(data.begin(), data.end());
    }

    test::TempDir dir;
};

TEST_F(Render, ELetterBlankEAtTheDefaultsIsHeaderPlusTheCountedData) {
    // 12 wpm, mono 8 bits, 22050 Hz: 2 x (2083 + 2083 + 2 x 2083) + 3 x 2083 bytes.
    const ProcessResult r = run({"-o", out(), "E E"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string file = readWholeFile(out());
    ASSERT_EQ(file.size(), 44u + 22913u);
    EXPECT_EQ(file.substr(0, 4), "RIFF");
    EXPECT_EQ(le32(file, 4), 22913u + 36u);
    EXPECT_EQ(file.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(le32(file, 16), 16u);
    EXPECT_EQ(le16(file, 20), 1u);
    EXPECT_EQ(le16(file, 22), 1u);
    EXPECT_EQ(le32(file, 24), 22050u);
    EXPECT_EQ(le32(file, 28), 22050u);
    EXPECT_EQ(le16(file, 32), 1u);
    EXPECT_EQ(le16(file, 34), 8u);
    EXPECT_EQ(file.substr(36, 4), "data");
    EXPECT_EQ(le32(file, 40), 22913u);
    // The blank's silence is 128 in 8 bits.
    const std::size_t blankStart = 44 + 2083 + 2083 + 2 * 2083;
    for (std::size_t k = blankStart; k < blankStart + 3 * 2083; ++k)
        ASSERT_EQ(static_cast<unsigned char>(file[k]), 128);
    EXPECT_TRUE(r.out.empty());
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"out.wav"}) << "no temporary left";
}

TEST_F(Render, StereoSixteenBitAt11025HasItsHeaderFields) {
    const ProcessResult r = run({"-o", out(), "--format", "stereo16", "--rate", "11025", "paris"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string file = readWholeFile(out());
    ASSERT_GE(file.size(), 44u);
    EXPECT_EQ(le16(file, 22), 2u);
    EXPECT_EQ(le32(file, 24), 11025u);
    EXPECT_EQ(le32(file, 28), 44100u);
    EXPECT_EQ(le16(file, 32), 4u);
    EXPECT_EQ(le16(file, 34), 16u);
    EXPECT_EQ(le32(file, 40), file.size() - 44);
    EXPECT_EQ(le32(file, 4), file.size() - 8);
}

struct OptionCase {
    std::vector<std::string> args;
    RecordFormat format;
    TimingSettings timing;
    int levelDb;
    Real pitch;
    ToneType type;
};

void PrintTo(const OptionCase& c, std::ostream* os) {
    *os << "[";
    for (const std::string& a : c.args) *os << " " << a;
    *os << " ]";
}

class RenderOptions : public Render, public testing::WithParamInterface<OptionCase> {};

TEST_P(RenderOptions, FileMatchesTheRecorderForThoseSettings) {
    // Letters, figures, stops, blanks and a code-less character.
    const std::string text = "cq de f5abc 599 73, qrz? 1/2 += 'ok' (x) - & end.";
    const OptionCase& c = GetParam();
    std::vector<std::string> args = {"-o", out()};
    args.insert(args.end(), c.args.begin(), c.args.end());
    args.push_back(text);
    const ProcessResult r = run(args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string file = readWholeFile(out());
    const std::string want = expected(text, c.format, c.timing, c.levelDb, c.pitch, c.type);
    ASSERT_EQ(file.size(), want.size());
    EXPECT_EQ(le32(file, 40), file.size() - 44) << "44 bytes plus the data size";
    EXPECT_TRUE(file == want);
}

RecordFormat fmt(int channels, int bits, int divisor) {
    RecordFormat f;
    f.channels = static_cast<std::uint8_t>(channels);
    f.bits = static_cast<std::uint8_t>(bits);
    f.rateDivisor = static_cast<std::uint8_t>(divisor);
    return f;
}

INSTANTIATE_TEST_SUITE_P(
    Settings, RenderOptions,
    testing::Values(
        OptionCase{{}, fmt(1, 8, 1), TimingSettings{12, 1, 1, 3}, -9, 800, ToneType::Sine},
        OptionCase{{"--wpm", "20", "--format", "mono16"},
                   fmt(1, 16, 1),
                   TimingSettings{20, 1, 1, 3},
                   -9,
                   800,
                   ToneType::Sine},
        OptionCase{{"--wpm", "48", "--spacing", "2", "--word-spacing", "3", "--weight", "4",
                    "--format", "stereo16", "--rate", "11025"},
                   fmt(2, 16, 2),
                   TimingSettings{48, 2, 3, 4},
                   -9,
                   800,
                   ToneType::Sine},
        OptionCase{{"--level", "-3", "--pitch", "600", "--format", "stereo8", "--weight", "5"},
                   fmt(2, 8, 1),
                   TimingSettings{12, 1, 1, 5},
                   -3,
                   600,
                   ToneType::Sine},
        OptionCase{
            {"--exam-tone", "--level", "0", "--wpm", "5", "--format", "mono16", "--rate", "11025"},
            fmt(1, 16, 2),
            TimingSettings{5, 1, 1, 3},
            0,
            800,
            ToneType::Examination}));

TEST_F(Render, TextFromArgumentsIsJoinedWithBlanks) {
    ASSERT_EQ(run({"-o", out("a.wav"), "cq", "de", "f5abc"}).exitCode, 0);
    ASSERT_EQ(run({"-o", out("b.wav"), "cq de f5abc"}).exitCode, 0);
    EXPECT_EQ(readWholeFile(out("a.wav")), readWholeFile(out("b.wav")));
}

TEST_F(Render, TextFromStandardInput) {
    const ProcessResult r = run({"-o", out("in.wav")}, "cq de f5abc\n");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_EQ(run({"-o", out("arg.wav"), "cq de f5abc"}).exitCode, 0);
    EXPECT_EQ(readWholeFile(out("in.wav")), readWholeFile(out("arg.wav")))
        << "the line break has no code and adds nothing";
}

TEST_F(Render, TextFilesInUtf8Windows1252AndRtf) {
    // The same words; the accented letter has no code in the built-in table and is
    // skipped whichever way the file is written, RTF included.
    const auto write = [&](const std::string& name, const std::string& bytes) {
        std::ofstream(dir.path() / name, std::ios::binary) << bytes;
        return (dir.path() / name).string();
    };
    const std::string utf8 = write("utf8.txt", "caf\xC3\xA9 73 \xE2\x82\xAC\r\n");
    const std::string bom = write("bom.txt",
                                  "\xEF\xBB\xBF"
                                  "caf\xC3\xA9 73 \xE2\x82\xAC\r\n");
    const std::string ansi = write("ansi.txt", "caf\xE9 73 \x80\r\n");
    const std::string rtf = write("doc.rtf",
                                  "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{\\*\\generator W;}"
                                  "\\f0\\b caf\\'e9\\b0  73 \\u8364?\\par\n}");
    ASSERT_EQ(run({"-o", out("ref.wav"), "caf 73 "}).exitCode, 0);
    const std::string ref = readWholeFile(out("ref.wav"));
    for (const std::string& in : {utf8, bom, ansi, rtf}) {
        const ProcessResult r = run({"-i", in, "-o", out("f.wav")});
        ASSERT_EQ(r.exitCode, 0) << in << ": " << r.err;
        EXPECT_TRUE(readWholeFile(out("f.wav")) == ref) << in;
    }
    const ProcessResult bin =
        run({"-i", write("a.bin", std::string("ab\0cd", 5)), "-o", out("b.wav")});
    EXPECT_EQ(bin.exitCode, 2);
    EXPECT_NE(bin.err.find("binary"), std::string::npos) << bin.err;
}

TEST_F(Render, ArgumentsWinOverInputFile) {
    std::ofstream(dir.path() / "t.txt") << "eeee";
    ASSERT_EQ(run({"-i", (dir.path() / "t.txt").string(), "-o", out("a.wav"), "t"}).exitCode, 0);
    ASSERT_EQ(run({"-o", out("b.wav"), "t"}).exitCode, 0);
    EXPECT_EQ(readWholeFile(out("a.wav")), readWholeFile(out("b.wav")));
}

TEST_F(Render, ExistingFileIsReplaced) {
    std::ofstream(out()) << "an old file that is much longer than nothing at all";
    ASSERT_EQ(run({"-o", out(), "e"}).exitCode, 0);
    ASSERT_EQ(run({"-o", out("ref.wav"), "e"}).exitCode, 0);
    EXPECT_EQ(readWholeFile(out()), readWholeFile(out("ref.wav")));
}

TEST_F(Render, HelpGoesToStandardOutput) {
    const ProcessResult r = run({"--help"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("Usage: keybird-render"), std::string::npos);
    EXPECT_TRUE(dir.entries().empty());
}

struct BadCase {
    std::vector<std::string> args;
    std::string mentions;  // a word the message must contain
    int exitCode = 2;
};

void PrintTo(const BadCase& c, std::ostream* os) {
    *os << "[";
    for (const std::string& a : c.args) *os << " " << a;
    *os << " ]";
}

class RenderRefuses : public Render, public testing::WithParamInterface<BadCase> {};

TEST_P(RenderRefuses, WithAClearMessageANonZeroExitAndNoFile) {
    std::vector<std::string> args;
    for (const std::string& a : GetParam().args) {
        args.push_back(a == "OUT" ? out() : a == "DIR" ? dir.path().string() : a);
    }
    const ProcessResult r = run(args, "");
    EXPECT_EQ(r.exitCode, GetParam().exitCode) << r.err;
    EXPECT_EQ(r.err.rfind("keybird-render: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(GetParam().mentions), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << "one line: " << r.err;
    EXPECT_TRUE(dir.entries().empty()) << "left behind: " << testing::PrintToString(dir.entries());
}

INSTANTIATE_TEST_SUITE_P(
    BadOptions, RenderRefuses,
    testing::Values(BadCase{{"-o", "OUT", "--wpm", "4", "e"}, "--wpm"},
                    BadCase{{"-o", "OUT", "--wpm", "51", "e"}, "5..50"},
                    BadCase{{"-o", "OUT", "--wpm", "12x", "e"}, "'12x'"},
                    BadCase{{"-o", "OUT", "--wpm", "", "e"}, "--wpm"},
                    BadCase{{"-o", "OUT", "--wpm", "99999999999999999999", "e"}, "--wpm"},
                    BadCase{{"-o", "OUT", "--spacing", "0", "e"}, "--spacing"},
                    BadCase{{"-o", "OUT", "--spacing", "31", "e"}, "1..30"},
                    BadCase{{"-o", "OUT", "--word-spacing", "5", "e"}, "--word-spacing"},
                    BadCase{{"-o", "OUT", "--weight", "2", "e"}, "--weight"},
                    BadCase{{"-o", "OUT", "--level", "1", "e"}, "--level"},
                    BadCase{{"-o", "OUT", "--level", "-16", "e"}, "-15..0"},
                    BadCase{{"-o", "OUT", "--pitch", "high", "e"}, "--pitch"},
                    BadCase{{"-o", "OUT", "--rate", "44100", "e"}, "11025 or 22050"},
                    BadCase{{"-o", "OUT", "--format", "mono24", "e"}, "opus"},
                    BadCase{{"-o", "OUT", "--samples", "mono24", "e"}, "stereo16"},
                    BadCase{{"-o", "OUT", "--quality", "11", "e"}, "0..10"},
                    BadCase{{"-o", "OUT", "--quality", "5", "e"}, "ogg, opus and mp3"},
                    BadCase{{"-o", "DIR/a.flac", "--quality", "5", "e"}, "ogg, opus and mp3"},
                    BadCase{{"-o", "OUT", "--split-minutes", "0", "e"}, "1..1440"},
                    BadCase{{"-o", "OUT", "--chapter", "two words", "e"}, "one word"},
                    BadCase{{"-o", "-", "--split-minutes", "5", "e"}, "give -o NAME"},
                    // 17 hours of 16-bit stereo: over 4 GiB, refused before any sound.
                    BadCase{{"-o", "OUT", "--wpm", "5", "--samples", "stereo16",
                             [] {
                                 std::string t;
                                 for (int k = 0; k < 5000; ++k) t += "paris ";
                                 return t;
                             }()},
                            "4 GiB of samples hold 2"},
                    BadCase{{"-o", "OUT", "e", "--wpm"}, "'--wpm' needs a value"},
                    BadCase{{"-o", "OUT", "--colour", "red", "e"}, "'--colour'"},
                    BadCase{{"-o", "OUT", "-x", "e"}, "'-x'"}, BadCase{{"e"}, "no output file"}));

INSTANTIATE_TEST_SUITE_P(
    UnreadableInput, RenderRefuses,
    testing::Values(BadCase{{"-o", "OUT", "-i", "DIR/missing.txt"}, "cannot read"},
                    BadCase{{"-o", "OUT", "-i", "DIR"}, "Is a directory"},
                    BadCase{{"-o", "OUT"}, "Nothing to record", 1},  // empty standard input
                    BadCase{{"-o", "OUT", ""}, "Nothing to record", 1},
                    BadCase{{"-o", "OUT", "### ~ {}"}, "Nothing to record", 1},
                    BadCase{{"-o", "OUT", "   \n "}, "Nothing to record", 1}));

INSTANTIATE_TEST_SUITE_P(UnwritableOutput, RenderRefuses,
                         testing::Values(BadCase{{"-o", "DIR/no/such/dir/out.wav", "e"},
                                                 "cannot write"},
                                         BadCase{{"-o", "DIR", "e"}, "folder"},
                                         BadCase{{"-o", "DIR/sub/x.wav", "e"}, "cannot write"}));

TEST_F(Render, UnreadableStandardInputIsAnError) {
    // A directory on standard input cannot be read; the tool must not take it as empty.
    const std::vector<std::string> argv = {"/bin/sh", "-c",
                                           std::string("exec '") + KEYBIRD_RENDER_BIN + "' -o '" +
                                               out() + "' < '" + dir.path().string() + "'"};
    const ProcessResult r = test::runProcess(argv, {"", std::nullopt, dir.path()});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("cannot read standard input"), std::string::npos) << r.err;
    EXPECT_TRUE(dir.entries().empty());
}

TEST_F(Render, FailedWriteLeavesNoFileAndNoTemporary) {
    // The file system refuses to grow the file past 16 KiB, well short of the text, in
    // every format; a full device likewise.
    std::string text;
    for (int k = 0; k < 40; ++k) text += "paris ";
    for (const char* name : {"out.wav", "out.flac", "out.ogg", "out.opus", "out.mp3"}) {
        const ProcessResult r =
            run({"-o", out(name), "--samples", "stereo16", text}, "", rlim_t{16384});
        EXPECT_EQ(r.exitCode, 2) << name << ": " << r.err;
        EXPECT_NE(r.err.find("cannot write"), std::string::npos) << r.err;
        EXPECT_TRUE(dir.entries().empty()) << testing::PrintToString(dir.entries());
        const ProcessResult full = run({"-o", "/dev/full", "--format", name + 4, text});
        EXPECT_EQ(full.exitCode, 2) << name << ": " << full.err;
        EXPECT_NE(full.err.find("cannot write '/dev/full'"), std::string::npos) << full.err;
    }
}

TEST_F(Render, FailedWriteKeepsAnExistingFileAsItWas) {
    const std::string old = "the previous recording";
    std::ofstream(out()) << old;
    const ProcessResult r =
        run({"-o", out(), "--format", "stereo16", "paris paris paris"}, "", rlim_t{65536});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_EQ(readWholeFile(out()), old);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"out.wav"});
}

TEST_F(Render, InterruptedRenderRemovesItsTemporary) {
    // About 250 MB of sound: long enough to be caught in the middle.
    std::string text;
    for (int k = 0; k < 2000; ++k) text += "paris ";
    std::ofstream(dir.path() / "long.txt") << text;
    const std::string in = (dir.path() / "long.txt").string();
    const std::string target = out();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::signal(SIGTERM, SIG_DFL);
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::execl(KEYBIRD_RENDER_BIN, KEYBIRD_RENDER_BIN, "-o", target.c_str(), "--wpm", "5",
                "--rate", "11025", "-i", in.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ASSERT_GT(pid, 0);
    // Wait for the temporary to appear and grow, then stop the render.
    bool writing = false;
    for (int k = 0; k < 5000 && !writing; ++k) {
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(dir.path(), ec)) {
            const std::string n = e.path().filename().string();
            if (n.starts_with(".keybird-") && fs::file_size(e.path(), ec) > 0 && !ec)
                writing = true;
        }
        if (!writing) ::usleep(1000);
    }
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(writing) << "the render never started writing";
    ASSERT_TRUE(WIFSIGNALED(status)) << "the render finished before it could be stopped";
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"long.txt"});
}

}  // namespace
}  // namespace kb
