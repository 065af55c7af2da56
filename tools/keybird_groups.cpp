// keybird-groups: random practice groups without sound, for printed sheets or other
// tools. It prints what Keybird's quick random serial writes into an empty memo: the
// groups in upper case, a blank after each complete group, the V group first when asked
// for, then a newline. A seed gives the same series as the window's quick serial taken
// from the same generator state.
//
//   keybird-groups [options]

#include <getopt.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>

#include "app/settings_file.h"
#include "core/cp1252.h"
#include "core/morse.h"
#include "core/random_groups.h"
#include "core/random_int.h"

namespace {

constexpr long MaxCount = 1000000;

constexpr const char* kUsage =
    "Usage: keybird-groups [options]\n"
    "Print random Morse practice groups, as Keybird's quick random serial writes them.\n"
    "\n"
    "  --count N            characters to generate, 1..1000000 (250); the V's count, the\n"
    "                       blanks between groups do not\n"
    "  --set SET            letters, figures, stops, letters+figures or all (all)\n"
    "  --chars TEXT         draw from these characters instead, as the \"Chosen characters\"\n"
    "                       panel takes them (at most 70; characters without Morse code are\n"
    "                       dropped, repeated ones are drawn more often)\n"
    "  --lesson N           draw from Keybird's lesson N, 1..20 (21..60 start empty)\n"
    "  --length L           group length 2..8, or random for 2..8 per group (5)\n"
    "  --leading-v          open with a group of V's (five with random lengths)\n"
    "  --non-mixed          each group keeps to letters, to figures or to the other signs\n"
    "  --callsigns          callsign-shaped groups (only with --set letters+figures and\n"
    "                       --length 5)\n"
    "  --seed N             the generator's state when the series' first draw is taken,\n"
    "                       0..4294967295 (default: from the clock)\n"
    "  -h, --help           show this help\n"
    "\n"
    "Errors exit with status 2.\n";

[[noreturn]] void fail(const std::string& message) {
    std::cerr << "keybird-groups: " << message << "\n";
    std::exit(2);
}

long parseNumber(const char* option, const char* value, long min, long max) {
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(value, &end, 10);
    if (errno != 0 || end == value || *end != '\0' || v < min || v > max) {
        fail(std::string("invalid value '")
                 .append(value)
                 .append("' for --")
                 .append(option)
                 .append(" (expected ")
                 .append(std::to_string(min))
                 .append("..")
                 .append(std::to_string(max))
                 .append(")"));
    }
    return static_cast<long>(v);
}

struct Options {
    int count = 250;
    std::optional<kb::CharacterClass> set;
    std::optional<std::string> chars;  // Windows-1252
    std::optional<int> lesson;
    kb::GroupOptions groups;
    std::optional<std::uint32_t> seed;
};

kb::CharacterClass parseSet(const std::string& v) {
    if (v == "letters") return kb::CharacterClass::Letters;
    if (v == "figures") return kb::CharacterClass::Figures;
    if (v == "stops") return kb::CharacterClass::Stops;
    if (v == "letters+figures") return kb::CharacterClass::LettersFigures;
    if (v == "all") return kb::CharacterClass::All;
    fail("invalid value '" + v + "' for --set (expected letters, figures, stops, " +
         "letters+figures or all)");
}

Options parse(int argc, char** argv) {
    enum { Count = 256, Set, Chars, Lesson, Length, LeadingV, NonMixed, Callsigns, Seed };
    static const option kLong[] = {
        {"count", required_argument, nullptr, Count},
        {"set", required_argument, nullptr, Set},
        {"chars", required_argument, nullptr, Chars},
        {"lesson", required_argument, nullptr, Lesson},
        {"length", required_argument, nullptr, Length},
        {"leading-v", no_argument, nullptr, LeadingV},
        {"non-mixed", no_argument, nullptr, NonMixed},
        {"callsigns", no_argument, nullptr, Callsigns},
        {"seed", required_argument, nullptr, Seed},
        {"help", no_argument, nullptr, 'h'},
        {nullptr, 0, nullptr, 0},
    };
    Options o;
    opterr = 0;
    int c;
    while ((c = getopt_long(argc, argv, ":h", kLong, nullptr)) != -1) {
        switch (c) {
            case Count:
                o.count = static_cast<int>(parseNumber("count", optarg, 1, MaxCount));
                break;
            case Set: o.set = parseSet(optarg); break;
            case Chars: o.chars = kb::decodeTextFile(optarg); break;
            case Lesson: o.lesson = static_cast<int>(parseNumber("lesson", optarg, 1, 60)); break;
            case Length:
                if (std::strcmp(optarg, "random") == 0) {
                    o.groups.randomLength = true;
                } else {
                    o.groups.randomLength = false;
                    o.groups.wordLength = static_cast<int>(
                        parseNumber("length", optarg, kb::MinWordLength, kb::MaxWordLength));
                }
                break;
            case LeadingV: o.groups.leadingV = true; break;
            case NonMixed: o.groups.nonMixed = true; break;
            case Callsigns: o.groups.callsigns = true; break;
            case Seed:
                o.seed = static_cast<std::uint32_t>(parseNumber("seed", optarg, 0, 4294967295L));
                break;
            case 'h': std::cout << kUsage; std::exit(0);
            case ':':
                fail(std::string("option '").append(argv[optind - 1]).append("' needs a value"));
            default: {
                const std::string name = optopt > 0 && optopt < 256
                                             ? std::string("-") + static_cast<char>(optopt)
                                             : std::string(argv[optind - 1]);
                fail("unknown option '" + name + "'; see --help");
            }
        }
    }
    if (optind < argc) fail(std::string("unexpected argument '").append(argv[optind]).append("'"));
    if ((o.set ? 1 : 0) + (o.chars ? 1 : 0) + (o.lesson ? 1 : 0) > 1) {
        fail("--set, --chars and --lesson choose the characters: give one of them");
    }
    if (o.groups.callsigns) {
        // As the menu allows it: the callsign item is only offered for letters and
        // figures in groups of five, and it excludes non-mixed groups.
        if (o.set != kb::CharacterClass::LettersFigures || o.groups.randomLength ||
            o.groups.wordLength != 5) {
            fail("--callsigns needs --set letters+figures and --length 5");
        }
        if (o.groups.nonMixed) fail("--callsigns and --non-mixed exclude each other");
    }
    return o;
}

// The character set the options choose, written into the list as the window does.
kb::CharacterSet chooseSet(const Options& o, kb::CharacterList& list) {
    std::optional<std::string> text = o.chars;
    if (o.lesson) {
        text = kb::initialLessonPages()[static_cast<std::size_t>(*o.lesson - 1)];
        if (*text == " ") {
            fail("lesson " + std::to_string(*o.lesson) +
                 " is empty (Keybird starts with lessons 1..20 only)");
        }
    }
    if (!text) return kb::characterSet(o.set.value_or(kb::CharacterClass::All), 0, 0);
    if (text->empty() || *text == " ") fail("--chars: the text is empty");
    if (text->size() > kb::MaxChosenCharacters) {
        fail("--chars: at most " + std::to_string(kb::MaxChosenCharacters) + " characters");
    }
    const int accepted = kb::acceptChosenCharacters(*text, list);
    if (accepted == 0) fail("no Morse characters to play in the chosen text");
    return kb::characterSet(kb::CharacterClass::Chosen, 0, accepted);
}

}  // namespace

int main(int argc, char** argv) {
    const Options o = parse(argc, argv);
    kb::CharacterList list;
    kb::RandomInt random(o.seed ? *o.seed : kb::clockSeed());
    kb::RandomGroups groups(list, random);
    groups.set = chooseSet(o, list);
    groups.options = o.groups;
    groups.setWordLength(o.groups.wordLength);

    // The quick serial's steps, in the window's order: the character, the blank that
    // ends a complete group (and the next random length), then the count.
    std::string text;
    text.reserve(static_cast<std::size_t>(o.count) * 6 / 5 + 2);
    groups.startRun(o.count);
    do {
        text.push_back(static_cast<char>(kb::upperCp1252(groups.next())));
        if (groups.endGroup()) text.push_back(' ');
    } while (groups.countDown());
    text.push_back('\n');

    const std::string out = kb::cp1252ToUtf8(text);
    if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() || std::fflush(stdout) != 0) {
        fail(std::string("cannot write standard output: ").append(std::strerror(errno)));
    }
    return 0;
}
