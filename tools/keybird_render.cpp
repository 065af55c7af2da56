// keybird-render: Morse practice audio from a text, written as the recorder writes it.
//
//   keybird-render [options] [TEXT...]
//
// The text comes from the arguments, else from -i FILE, else from standard input. The
// file is written beside its final name and renamed into place only when complete, so a
// failure never leaves a partial file that looks finished.

#include <fcntl.h>
#include <getopt.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <limits>
#include <optional>
#include <string>

#include "audio/character_fill.h"
#include "audio/noise.h"
#include "audio/synthesis.h"
#include "core/cp1252.h"
#include "core/morse.h"
#include "core/random_int.h"
#include "core/timing.h"
#include "receive/wav_writer.h"

namespace {

constexpr const char* kUsage =
    "Usage: keybird-render [options] [TEXT...]\n"
    "Render Morse code into a PCM wave file.\n"
    "\n"
    "The text is taken from the arguments, else from --input, else from standard input.\n"
    "\n"
    "  -o, --output FILE        the wave file to write (required)\n"
    "  -i, --input FILE         read the text from FILE (UTF-8, else Windows-1252)\n"
    "      --wpm N              speed in words per minute, 5..50 (12)\n"
    "      --spacing N          spacing between characters, 1..30 (1)\n"
    "      --word-spacing N     spacing between words, 1..4 (1)\n"
    "      --weight N           dash:dot weight, 3, 4 or 5 (3)\n"
    "      --level DB           sound level in dB, -15..0 (-9)\n"
    "      --pitch HZ           tone pitch in Hz, 100..1500 (800)\n"
    "      --exam-tone          the 830 Hz examination tone with its harmonics\n"
    "      --rate HZ            sample rate, 11025 or 22050 (22050)\n"
    "      --format F           mono8, mono16, stereo8 or stereo16 (mono8)\n"
    "\n"
    "Band conditions (any of these renders the characters as a random run with noise and\n"
    "fading sounds them):\n"
    "      --noise N            add noise, 0 loudest .. 20 none (the noise dialog's scale)\n"
    "      --noise-bw KHZ       noise bandwidth: 10, 5, 2.5 or 1.3 (1.3)\n"
    "      --qsb DB             add fading, depth 0..20 dB\n"
    "      --seed N             seed of the random generator, 0..4294967295, for a\n"
    "                           reproducible file (default: from the clock)\n"
    "  -h, --help               show this help\n";

[[noreturn]] void fail(const std::string& message) {
    std::cerr << "keybird-render: " << message << "\n";
    std::exit(2);
}

long parseInt(const char* option, const char* value, long min, long max) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(value, &end, 10);
    if (errno != 0 || end == value || *end != '\0' || v < min || v > max) {
        fail(std::string("invalid value '") + value + "' for --" + option + " (expected " +
             std::to_string(min) + ".." + std::to_string(max) + ")");
    }
    return v;
}

// Reads a descriptor to its end. Plain read() so that every failure (a directory, an I/O
// error) comes back as errno instead of an exception or a silently short text.
bool readAll(int fd, std::string& out) {
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n == 0) return true;
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        out.append(chunk, static_cast<std::size_t>(n));
    }
}

struct Options {
    std::string output;
    std::optional<std::string> input;
    kb::TimingSettings timing;
    int levelDb = kb::DefaultLevelDb;
    long pitch = 800;
    bool examTone = false;
    kb::RecordFormat format;
    std::string text;
    bool textFromArgs = false;
    // Band conditions.
    std::optional<int> noisePosition;
    int noiseHold = 8;
    std::optional<int> qsbDepth;
    bool noiseHoldGiven = false;
    std::optional<std::uint32_t> seed;
    bool bandConditions() const { return noisePosition || qsbDepth || seed || noiseHoldGiven; }
};

Options parse(int argc, char** argv) {
    // Kept by hand: one line of option ids.
    // clang-format off
    enum {
        Wpm = 256, Spacing, WordSpacing, Weight, Level, Pitch, Exam, Rate, Format,
        Noise, NoiseBw, Qsb, Seed
    };
    // clang-format on
    static const option kLong[] = {
        {"output", required_argument, nullptr, 'o'},
        {"input", required_argument, nullptr, 'i'},
        {"wpm", required_argument, nullptr, Wpm},
        {"spacing", required_argument, nullptr, Spacing},
        {"word-spacing", required_argument, nullptr, WordSpacing},
        {"weight", required_argument, nullptr, Weight},
        {"level", required_argument, nullptr, Level},
        {"pitch", required_argument, nullptr, Pitch},
        {"exam-tone", no_argument, nullptr, Exam},
        {"rate", required_argument, nullptr, Rate},
        {"format", required_argument, nullptr, Format},
        {"noise", required_argument, nullptr, Noise},
        {"noise-bw", required_argument, nullptr, NoiseBw},
        {"qsb", required_argument, nullptr, Qsb},
        {"seed", required_argument, nullptr, Seed},
        {"help", no_argument, nullptr, 'h'},
        {nullptr, 0, nullptr, 0},
    };
    Options o;
    opterr = 0;
    int c;
    // A leading '-' in the option string would take negative levels ("--level -6") as
    // the next option; getopt_long reads a required argument as is, so they work. The
    // leading ':' makes a missing value come back as ':' rather than as unknown.
    while ((c = getopt_long(argc, argv, ":o:i:h", kLong, nullptr)) != -1) {
        switch (c) {
            case 'o': o.output = optarg; break;
            case 'i': o.input = optarg; break;
            case Wpm: o.timing.speed = static_cast<int>(parseInt("wpm", optarg, 5, 50)); break;
            case Spacing:
                o.timing.spacing = static_cast<int>(parseInt("spacing", optarg, 1, 30));
                break;
            case WordSpacing:
                o.timing.wordSpacingFactor =
                    static_cast<int>(parseInt("word-spacing", optarg, 1, 4));
                break;
            case Weight: {
                const long w = parseInt("weight", optarg, 3, 5);
                o.timing.weightRatio = static_cast<int>(w);
                break;
            }
            case Level: o.levelDb = static_cast<int>(parseInt("level", optarg, -15, 0)); break;
            case Pitch: o.pitch = parseInt("pitch", optarg, 100, 1500); break;
            case Exam: o.examTone = true; break;
            case Rate: {
                const std::string r = optarg;
                if (r == "22050") o.format.rateDivisor = 1;
                else if (r == "11025") o.format.rateDivisor = 2;
                else fail("invalid value '" + r + "' for --rate (expected 11025 or 22050)");
                break;
            }
            case Format: {
                const std::string f = optarg;
                if (f == "mono8") o.format.channels = 1, o.format.bits = 8;
                else if (f == "mono16") o.format.channels = 1, o.format.bits = 16;
                else if (f == "stereo8") o.format.channels = 2, o.format.bits = 8;
                else if (f == "stereo16") o.format.channels = 2, o.format.bits = 16;
                else
                    fail("invalid value '" + f +
                         "' for --format (expected mono8, mono16, stereo8 or stereo16)");
                break;
            }
            case Noise: o.noisePosition = static_cast<int>(parseInt("noise", optarg, 0, 20)); break;
            case NoiseBw: {
                const std::string bw = optarg;
                if (bw == "10") o.noiseHold = 1;
                else if (bw == "5") o.noiseHold = 2;
                else if (bw == "2.5") o.noiseHold = 4;
                else if (bw == "1.3") o.noiseHold = 8;
                else fail("invalid value '" + bw + "' for --noise-bw (expected 10, 5, 2.5 or 1.3)");
                o.noiseHoldGiven = true;
                break;
            }
            case Qsb: o.qsbDepth = static_cast<int>(parseInt("qsb", optarg, 0, 20)); break;
            case Seed:
                o.seed = static_cast<std::uint32_t>(parseInt("seed", optarg, 0, 4294967295L));
                break;
            case 'h': std::cout << kUsage; std::exit(0);
            case ':': fail(std::string("option '") + argv[optind - 1] + "' needs a value");
            default: {
                // A short option inside a group ("-xo") is only known by optopt.
                const std::string name = optopt > 0 && optopt < 256
                                             ? std::string("-") + static_cast<char>(optopt)
                                             : std::string(argv[optind - 1]);
                fail("unknown option '" + name + "'; see --help");
            }
        }
    }
    if (o.output.empty()) fail("no output file given (-o FILE); see --help");
    if (optind < argc) {
        std::string joined;
        for (int k = optind; k < argc; ++k) {
            if (k > optind) joined += ' ';
            joined += argv[k];
        }
        o.text = kb::decodeTextFile(joined);
        o.textFromArgs = true;
    }
    return o;
}

std::string readText(const Options& o) {
    std::string text;
    if (o.textFromArgs) {
        text = o.text;
    } else {
        std::string raw;
        if (o.input) {
            const int fd = ::open(o.input->c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0 || !readAll(fd, raw)) {
                const int err = errno;
                if (fd >= 0) ::close(fd);
                fail("cannot read '" + *o.input + "': " + std::strerror(err));
            }
            ::close(fd);
        } else if (!readAll(STDIN_FILENO, raw)) {
            fail(std::string("cannot read standard input: ") + std::strerror(errno));
        }
        text = kb::decodeTextFile(raw);
    }
    // As the recorder does for an empty text box: an empty text is refused, not written
    // as a header-only file.
    if (text.empty()) fail("nothing to record: the text is empty");
    return text;
}

// The temporary being written, for the signal handler: an interrupted render (Ctrl+C, a
// terminal closed, kill) removes it before it dies, as every failure does.
char gTemporary[4096];

extern "C" void removeTemporaryAndDie(int sig) {
    if (gTemporary[0] != '\0') ::unlink(gTemporary);
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}

constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// Signals held off while the temporary's name is recorded or forgotten.
class SignalsHeld {
public:
    SignalsHeld() {
        sigset_t set;
        sigemptyset(&set);
        for (int sig : kCleanupSignals) sigaddset(&set, sig);
        sigprocmask(SIG_BLOCK, &set, &old_);
    }
    ~SignalsHeld() { sigprocmask(SIG_SETMASK, &old_, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t old_;
};

void setTemporary(const std::string& path) {
    SignalsHeld held;
    const std::size_t n = std::min(path.size(), sizeof gTemporary - 1);
    std::memcpy(gTemporary, path.data(), n);
    gTemporary[n] = '\0';
}

void installCleanupHandlers() {
    struct sigaction sa {};
    sa.sa_handler = removeTemporaryAndDie;
    sigemptyset(&sa.sa_mask);
    for (int sig : kCleanupSignals) {
        struct sigaction old {};
        // A signal the caller chose to ignore (nohup, a background job) stays ignored.
        if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
        sigaction(sig, &sa, nullptr);
    }
}

// What goes into the file, character by character: the recorder's rendering, or the
// buffers a random run with noise and fading would sound.
class Renderer {
public:
    Renderer(const Options& o, const std::string& text) : o_(o), text_(text) {
        kb::ToneParams params;
        params.pitch = static_cast<kb::Real>(o.pitch);
        params.type = o.examTone ? kb::ToneType::Examination : kb::ToneType::Sine;
        params.levelGain = kb::levelGain(o.levelDb);
        d_ = kb::elementDurations(kb::speedFactor(o.timing.speed), o.timing.weightRatio);
        rd_ = kb::recordDurations(d_, o.format);
        sp_ = {o.timing.spacing, o.timing.wordSpacingFactor};
        character_.speed = o.timing.speed;
        character_.weightRatio = o.timing.weightRatio;
        character_.spacing = o.timing.spacing;
        character_.wordSpacingFactor = o.timing.wordSpacingFactor;
        character_.noise = o.noisePosition.has_value();
        character_.fading = o.qsbDepth.has_value();
        if (!o.bandConditions()) {
            tone_.rebuild(params);
            return;
        }
        random_.seed(o.seed ? *o.seed : kb::clockSeed());
        tables_.setPitch(params.pitch, params.type);
        tables_.setLevelGain(params.levelGain);
        tables_.setNoise({kb::noiseAmplitudeOfPosition(o.noisePosition.value_or(20)), o.noiseHold});
        if (o.qsbDepth) {
            fading_.depthDb = *o.qsbDepth;
            fading_.startRun(random_, o.timing.speed);
        }
    }

    // The byte count of the sample data.
    std::uint64_t dataSize() const {
        if (!o_.bandConditions()) return kb::recordDataSize(text_, morse_, rd_, o_.format, sp_);
        std::uint64_t bytes = 0;
        for (char ch : text_) {
            if (const int n = bufferValues(static_cast<unsigned char>(ch)); n > 0) {
                bytes += kb::convertedBufferSize(n, o_.format);
            }
        }
        return bytes;
    }

    // Appends one character's bytes.
    void append(std::vector<std::uint8_t>& out, unsigned char c) {
        if (!o_.bandConditions()) {
            kb::renderRecordCharacter(out, c, morse_, tone_, rd_, o_.format, sp_);
            return;
        }
        if (bufferValues(c) == 0) return;
        const int n = kb::fillOneCharacter(buffer_, schedule_, false, {tables_, random_, fading_},
                                           morse_[c], c == kb::Blank, character_);
        kb::appendConvertedBuffer(out, buffer_.data(), n, o_.format);
    }

private:
    // Values of a character's buffer; 0 for a character without code.
    int bufferValues(unsigned char c) const {
        const bool blank = c == kb::Blank;
        if (!blank && !morse_.hasCode(c)) return 0;
        const int gaps = kb::trailingGapCount(blank, character_);
        if (blank) return gaps * d_.gap;
        const int n = kb::characterDuration(morse_[c], d_, gaps);
        return std::min(n, kb::CharBuffer::capacity());
    }

    const Options& o_;
    const std::string& text_;
    kb::MorseTable morse_;
    kb::ElementDurations d_;
    kb::RecordDurations rd_;
    kb::RecordSpacing sp_;
    kb::ToneTable tone_;
    kb::RandomInt random_;
    kb::SoundTables tables_{random_};
    kb::Fading fading_;
    kb::CharacterSettings character_;
    kb::CharBuffer buffer_;
    kb::KeyingSchedule schedule_;  // unused: a file is never keyed
};

// Writes the whole file to a temporary beside the output, then renames it into place.
void render(const Options& o, const std::string& text) {
    Renderer renderer(o, text);
    const std::uint64_t size = renderer.dataSize();
    if (size > std::numeric_limits<std::uint32_t>::max() - 36u) {
        fail("the text is too long for one wave file (over 4 GiB of samples)");
    }

    if (o.output.size() + 7 >= sizeof gTemporary) fail("the output file name is too long");
    std::string tmp = o.output + ".XXXXXX";
    installCleanupHandlers();
    int fd;
    int openError;
    {
        SignalsHeld held;
        fd = mkstemp(tmp.data());
        openError = errno;
        if (fd >= 0) setTemporary(tmp);
    }
    if (fd < 0) fail("cannot write '" + o.output + "': " + std::strerror(openError));
    FILE* f = fdopen(fd, "wb");
    if (!f) {
        ::close(fd);
        ::unlink(tmp.c_str());
        fail("cannot write '" + o.output + "': " + std::strerror(errno));
    }
    auto abandon = [&](int err) {
        std::fclose(f);
        ::unlink(tmp.c_str());
        fail("cannot write '" + o.output + "': " + std::strerror(err));
    };

    const auto header = kb::wavHeader(o.format, static_cast<std::uint32_t>(size));
    if (std::fwrite(header.data(), 1, header.size(), f) != header.size()) abandon(errno);
    std::vector<std::uint8_t> buf;
    buf.reserve(1 << 20);
    for (char ch : text) {
        renderer.append(buf, static_cast<unsigned char>(ch));
        if (buf.size() >= (1u << 19)) {
            if (std::fwrite(buf.data(), 1, buf.size(), f) != buf.size()) abandon(errno);
            buf.clear();
        }
    }
    if (!buf.empty() && std::fwrite(buf.data(), 1, buf.size(), f) != buf.size()) abandon(errno);
    if (std::fflush(f) != 0 || fsync(fileno(f)) != 0) abandon(errno);
    // mkstemp creates 0600; a rendered file is an ordinary user file.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    fchmod(fileno(f), 0666 & ~mask);
    if (std::fclose(f) != 0) {
        const int err = errno;
        ::unlink(tmp.c_str());
        fail("cannot write '" + o.output + "': " + std::strerror(err));
    }
    {
        SignalsHeld held;
        const bool renamed = std::rename(tmp.c_str(), o.output.c_str()) == 0;
        const int err = errno;
        if (!renamed) ::unlink(tmp.c_str());
        setTemporary("");
        if (!renamed) fail("cannot write '" + o.output + "': " + std::strerror(err));
    }
}

}  // namespace

int main(int argc, char** argv) {
    const Options o = parse(argc, argv);
    render(o, readText(o));
    return 0;
}
