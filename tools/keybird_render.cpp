// keybird-render: Morse practice audio from a text, written as the recorder writes it.
//
//   keybird-render [options] [TEXT...]
//
// The text comes from the arguments, else from -i FILE, else from standard input. Files
// are written beside their final name and renamed into place only when complete, so a
// failure never leaves a partial file that looks finished.

#include <fcntl.h>
#include <getopt.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "core/cp1252.h"
#include "core/text_file.h"
#include "tools/audio_encoder.h"
#include "tools/output_file.h"
#include "tools/render_plan.h"
#include "tools/text_renderer.h"

namespace {

using namespace kb::render;

constexpr const char* kUsage =
    "Usage: keybird-render [options] [TEXT...]\n"
    "Render Morse code into a sound file: WAV, FLAC, Ogg Vorbis, Opus or MP3.\n"
    "\n"
    "The text is taken from the arguments, else from --input, else from standard input.\n"
    "\n"
    "  -o, --output FILE        the file to write (required); - writes to standard output\n"
    "  -i, --input FILE         read the text from FILE: plain text (UTF-8, else\n"
    "                           Windows-1252) or RTF, at most 16 MiB\n"
    "      --format F           wav, flac, ogg, opus or mp3 (default: from the output\n"
    "                           name's extension, else wav)\n"
    "      --quality Q          ogg, opus and mp3: 0 smallest .. 10 best (4)\n"
    "      --samples S          mono8, mono16, stereo8 or stereo16 (mono8)\n"
    "      --rate HZ            sample rate, 11025 or 22050 (22050)\n"
    "      --wpm N              speed in words per minute, 5..50 (12)\n"
    "      --spacing N          spacing between characters, 1..30 (1)\n"
    "      --word-spacing N     spacing between words, 1..4 (1)\n"
    "      --weight N           dash:dot weight, 3, 4 or 5 (3)\n"
    "      --level DB           sound level in dB, -15..0 (-9)\n"
    "      --pitch HZ           tone pitch in Hz, 100..1500 (800)\n"
    "      --exam-tone          the 830 Hz examination tone with its harmonics\n"
    "\n"
    "Long texts, one file per part, named NAME-001.EXT, NAME-002.EXT, ...:\n"
    "      --split-minutes N    a new file at the first word gap after every N minutes\n"
    "                           of sound, 1..1440\n"
    "      --chapter WORD       a new file at each line that begins with WORD (any case)\n"
    "\n"
    "Band conditions (any of these renders the characters as a random run with noise and\n"
    "fading sounds them):\n"
    "      --noise N            add noise, 0 loudest .. 20 none (the noise dialog's scale)\n"
    "      --noise-bw KHZ       noise bandwidth: 10, 5, 2.5 or 1.3 (1.3)\n"
    "      --qsb DB             add fading, depth 0..20 dB\n"
    "      --seed N             seed of the random generator, 0..4294967295, for a\n"
    "                           reproducible file (default: from the clock)\n"
    "\n"
    "  -q, --quiet              no progress line on standard error\n"
    "  -h, --help               show this help\n"
    "\n"
    "Exit status: 0 written, 1 nothing to record, 2 an error (nothing is left half written).\n";

// Set while a progress line stands on the terminal: a message starts on a line of its own.
bool gProgressShown = false;

[[noreturn]] void fail(const std::string& message) {
    if (gProgressShown) std::cerr << "\n";
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
// error) comes back as errno instead of an exception or a silently short text. It stops
// one chunk past the largest text file, which is refused anyway.
bool readAll(int fd, std::string& out) {
    char chunk[65536];
    while (out.size() <= kb::MaxTextFileBytes) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n == 0) return true;
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        out.append(chunk, static_cast<std::size_t>(n));
    }
    return true;
}

struct Options {
    std::string output;
    std::optional<std::string> input;
    RenderSettings render;
    std::optional<Container> container;
    std::optional<int> quality;
    SplitRule split;
    bool quiet = false;
    std::string text;
    bool textFromArgs = false;
};

bool samplesNamed(const std::string& name, kb::RecordFormat& f) {
    if (name == "mono8") f.channels = 1, f.bits = 8;
    else if (name == "mono16") f.channels = 1, f.bits = 16;
    else if (name == "stereo8") f.channels = 2, f.bits = 8;
    else if (name == "stereo16") f.channels = 2, f.bits = 16;
    else return false;
    return true;
}

Options parse(int argc, char** argv) {
    // Kept by hand: one line of option ids.
    // clang-format off
    enum {
        Wpm = 256, Spacing, WordSpacing, Weight, Level, Pitch, Exam, Rate, Format,
        Samples, Quality, SplitMinutes, Chapter, Noise, NoiseBw, Qsb, Seed
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
        {"samples", required_argument, nullptr, Samples},
        {"quality", required_argument, nullptr, Quality},
        {"split-minutes", required_argument, nullptr, SplitMinutes},
        {"chapter", required_argument, nullptr, Chapter},
        {"quiet", no_argument, nullptr, 'q'},
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
    while ((c = getopt_long(argc, argv, ":o:i:qh", kLong, nullptr)) != -1) {
        switch (c) {
            case 'o': o.output = optarg; break;
            case 'i': o.input = optarg; break;
            case Wpm:
                o.render.timing.speed = static_cast<int>(parseInt("wpm", optarg, 5, 50));
                break;
            case Spacing:
                o.render.timing.spacing = static_cast<int>(parseInt("spacing", optarg, 1, 30));
                break;
            case WordSpacing:
                o.render.timing.wordSpacingFactor =
                    static_cast<int>(parseInt("word-spacing", optarg, 1, 4));
                break;
            case Weight: {
                const long w = parseInt("weight", optarg, 3, 5);
                o.render.timing.weightRatio = static_cast<int>(w);
                break;
            }
            case Level:
                o.render.levelDb = static_cast<int>(parseInt("level", optarg, -15, 0));
                break;
            case Pitch: o.render.pitch = parseInt("pitch", optarg, 100, 1500); break;
            case Exam: o.render.examTone = true; break;
            case Rate: {
                const std::string r = optarg;
                if (r == "22050") o.render.format.rateDivisor = 1;
                else if (r == "11025") o.render.format.rateDivisor = 2;
                else fail("invalid value '" + r + "' for --rate (expected 11025 or 22050)");
                break;
            }
            case Format:
                // The sample layouts were once given here; they still are understood.
                if (const auto c = containerNamed(optarg)) {
                    o.container = c;
                } else if (!samplesNamed(optarg, o.render.format)) {
                    fail(std::string("invalid value '")
                             .append(optarg)
                             .append("' for --format (expected wav, flac, ogg, opus or mp3)"));
                }
                break;
            case Samples:
                if (!samplesNamed(optarg, o.render.format)) {
                    fail(std::string("invalid value '")
                             .append(optarg)
                             .append("' for --samples (expected mono8, mono16, stereo8 or "
                                     "stereo16)"));
                }
                break;
            case Quality: o.quality = static_cast<int>(parseInt("quality", optarg, 0, 10)); break;
            case SplitMinutes:
                o.split.minutes = static_cast<int>(parseInt("split-minutes", optarg, 1, 1440));
                break;
            case Chapter:
                // Compared with the text, which is held in Windows-1252.
                o.split.chapterWord = kb::decodeTextFile(optarg);
                if (o.split.chapterWord.empty() ||
                    o.split.chapterWord.find_first_of(" \t\r\n") != std::string::npos) {
                    fail(std::string("invalid value '")
                             .append(optarg)
                             .append("' for --chapter (expected one word)"));
                }
                break;
            case 'q': o.quiet = true; break;
            case Noise:
                o.render.noisePosition = static_cast<int>(parseInt("noise", optarg, 0, 20));
                break;
            case NoiseBw: {
                const std::string bw = optarg;
                if (bw == "10") o.render.noiseHold = 1;
                else if (bw == "5") o.render.noiseHold = 2;
                else if (bw == "2.5") o.render.noiseHold = 4;
                else if (bw == "1.3") o.render.noiseHold = 8;
                else fail("invalid value '" + bw + "' for --noise-bw (expected 10, 5, 2.5 or 1.3)");
                o.render.noiseHoldGiven = true;
                break;
            }
            case Qsb: o.render.qsbDepth = static_cast<int>(parseInt("qsb", optarg, 0, 20)); break;
            case Seed:
                o.render.seed =
                    static_cast<std::uint32_t>(parseInt("seed", optarg, 0, 4294967295L));
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
        // Read as the file mode reads a file (plain text or RTF), and joined as it plays.
        const kb::TextFileResult file = kb::readTextFile(raw);
        if (file.status != kb::TextFileResult::Status::Ok) {
            fail(std::string("cannot read '")
                     .append(o.input ? *o.input : std::string("standard input"))
                     .append("': ")
                     .append(kb::textFileRefusal(file.status)));
        }
        text = kb::fileTextToPlay(file.text);
    }
    return text;
}

// As the recorder does for an empty text box: a text that would sound nothing is
// refused, not written as a header-only file.
[[noreturn]] void nothingToRecord(const char* why) {
    std::cerr << "keybird-render: Nothing to record: " << why << "\n";
    std::exit(1);
}

// Renders longer than a second say how far they are, on a terminal only.
class Progress {
public:
    Progress(bool quiet, std::uint64_t total)
        : shown_(!quiet && ::isatty(STDERR_FILENO)),
          total_(total),
          start_(std::chrono::steady_clock::now()) {}
    ~Progress() {
        if (drawn_) std::cerr << "\r" << std::string(width_, ' ') << "\r" << std::flush;
        gProgressShown = false;
    }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void update(std::uint64_t done, const std::string& file) {
        if (!shown_) return;
        const auto now = std::chrono::steady_clock::now();
        if (now - start_ < std::chrono::seconds(1) ||
            now - last_ < std::chrono::milliseconds(200)) {
            return;
        }
        last_ = now;
        const auto percent = total_ > 0 ? done * 100 / total_ : 100;
        std::string line = std::string("keybird-render: ")
                               .append(std::to_string(percent))
                               .append("%  ")
                               .append(file);
        const std::size_t w = line.size();
        if (line.size() < width_) line.append(width_ - line.size(), ' ');
        width_ = std::max(width_, w);
        std::cerr << "\r" << line << std::flush;
        drawn_ = gProgressShown = true;
    }

private:
    bool shown_;
    std::uint64_t total_;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point last_{};
    std::size_t width_ = 0;
    bool drawn_ = false;
};

struct PlannedFile {
    Part part;
    OutputTarget target;
};

// Every file is named and checked before any sound is made, so a bad name or folder
// never costs a long render.
std::vector<PlannedFile> planFiles(const Options& o, Container container, const std::string& text,
                                   const TextRenderer& renderer) {
    const auto bytesOf = [&renderer](unsigned char c) { return renderer.characterBytes(c); };
    const std::vector<Part> parts =
        planParts(text, bytesOf, o.render.format.bytesPerSecond(), o.split);
    std::string error;
    std::vector<PlannedFile> files;
    if (!o.split.splits()) {
        const auto target = resolveOutput(o.output, error);
        if (!target) fail(error);
        files.push_back({parts.front(), *target});  // the whole text
    } else {
        if (o.output == "-")
            fail("--split-minutes and --chapter write several files: give -o NAME");
        const auto base = resolveOutput(o.output, error);
        if (!base && (o.output.ends_with('/') || std::filesystem::is_directory(o.output))) {
            fail(error);
        }
        if (base && base->kind != OutputTarget::Kind::Replace) {
            fail(std::string("--split-minutes and --chapter write several files: '")
                     .append(o.output)
                     .append("' is not a file name"));
        }
        for (std::size_t k = 0; k < parts.size(); ++k) {
            const std::string name =
                partFileName(o.output, static_cast<int>(k + 1), extensionOf(container));
            const auto target = resolveOutput(name, error);
            if (!target) fail(error);
            if (target->kind != OutputTarget::Kind::Replace) {
                fail(std::string("cannot write '").append(name).append("': it is not a file"));
            }
            files.push_back({parts[k], *target});
        }
    }
    // The text file itself is never replaced by its own sound.
    struct stat in {};
    const bool fromFile =
        !o.textFromArgs && (o.input ? ::stat(o.input->c_str(), &in) == 0
                                    : ::fstat(STDIN_FILENO, &in) == 0 && S_ISREG(in.st_mode));
    if (fromFile) {
        for (const PlannedFile& f : files) {
            struct stat st {};
            if (!f.target.path.empty() && ::stat(f.target.path.c_str(), &st) == 0 &&
                st.st_dev == in.st_dev && st.st_ino == in.st_ino) {
                fail(std::string("cannot write '")
                         .append(f.target.shown)
                         .append("': it is the text file being read"));
            }
        }
    }
    if (container == Container::Wav) {
        for (const PlannedFile& f : files) {
            if (f.part.bytes <= WavDataMax) continue;
            const std::size_t fit = charactersThatFit(text, f.part.begin, bytesOf, WavDataMax);
            fail(std::string("the text is too long for one WAV file: 4 GiB of samples hold ")
                     .append(std::to_string(fit))
                     .append(" of its ")
                     .append(std::to_string(f.part.end - f.part.begin))
                     .append(" characters")
                     .append(files.size() > 1
                                 ? std::string(" in '").append(f.target.shown).append("'")
                                 : std::string())
                     .append("; split it (--split-minutes, --chapter) or choose a compressed "
                             "format (--format flac)"));
        }
    }
    return files;
}

void render(const Options& o, Container container, const std::string& text) {
    TextRenderer renderer(o.render);
    const std::vector<PlannedFile> files = planFiles(o, container, text, renderer);
    std::uint64_t total = 0;
    for (const PlannedFile& f : files) total += f.part.bytes;
    Progress progress(o.quiet, total);
    std::uint64_t done = 0;
    std::vector<std::uint8_t> buf;
    buf.reserve(1 << 20);
    for (const PlannedFile& f : files) {
        std::string error;
        OutputFile out;
        if (!out.open(f.target, error)) fail(error);
        const auto encoder = makeEncoder(container, out.fd(), o.render.format, f.part.bytes,
                                         o.quality.value_or(DefaultQuality), out.seekable(), error);
        const auto abandon = [&](const std::string& why) {
            out.abandon();
            fail(std::string("cannot write '").append(f.target.shown).append("': ").append(why));
        };
        if (!encoder) abandon(error);
        for (std::size_t i = f.part.begin; i < f.part.end; ++i) {
            renderer.append(buf, static_cast<unsigned char>(text[i]));
            if (buf.size() >= (1u << 19) || i + 1 == f.part.end) {
                if (!encoder->write(buf.data(), buf.size())) abandon(encoder->error());
                done += buf.size();
                buf.clear();
                progress.update(done, f.target.shown);
            }
        }
        if (!encoder->finish()) abandon(encoder->error());
        if (!out.commit(error)) fail(error);
    }
    if (o.split.splits()) {
        const std::string next =
            partFileName(o.output, static_cast<int>(files.size() + 1), extensionOf(container));
        if (struct stat st{}; ::lstat(next.c_str(), &st) == 0) {
            std::cerr << "keybird-render: note: '" << next
                      << "' is left from an earlier render; this text made " << files.size()
                      << " files\n";
        }
    }
}

}  // namespace
int main(int argc, char** argv) {
    // A file-size limit then fails the write (and the temporary is removed) instead of
    // killing the program with the temporary left behind.
    ::signal(SIGXFSZ, SIG_IGN);
    const Options o = parse(argc, argv);
    const Container container =
        o.container.value_or(containerOfFileName(o.output).value_or(Container::Wav));
    if (o.quality && !isLossy(container)) {
        fail(std::string("--quality applies to ogg, opus and mp3; ")
                 .append(extensionOf(container))
                 .append(" keeps every sample as it is"));
    }
    const std::string text = readText(o);
    if (text.empty()) nothingToRecord("the text is empty");
    if (!TextRenderer::soundsAnything(text)) {
        nothingToRecord("the text has no character with a Morse code");
    }
    render(o, container, text);
    return 0;
}
