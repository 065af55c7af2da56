#include "app/settings_file.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <optional>

#include "core/cp1252.h"
#include "core/nearest.h"
#include "keying/port_settings.h"

namespace kb {

namespace {

constexpr char ChosenLineByte = 0x01;
constexpr char MarkerLineByte = 0x02;
constexpr unsigned char NoDelimiterByte = 0xFF;
constexpr std::string_view LineEnd = "\r\n";

// ---------------------------------------------------------------- lines

// Splits at LF; a CR right before the LF (or at the very end) belongs to the line end.
// A last line without a line end still counts; nothing follows a final line end.
std::vector<std::string_view> splitLines(std::string_view bytes) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t lf = bytes.find('\n', start);
        const std::size_t end = lf == std::string_view::npos ? bytes.size() : lf;
        std::string_view line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        if (lf == std::string_view::npos) break;
        start = lf + 1;
    }
    return lines;
}

// ---------------------------------------------------------------- values

std::string_view trimBlanks(std::string_view v) {
    const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!v.empty() && isBlank(v.front())) v.remove_prefix(1);
    while (!v.empty() && isBlank(v.back())) v.remove_suffix(1);
    return v;
}

// A decimal integer with an optional sign, between blanks. Nothing else is a number,
// nor is anything beyond the 32-bit range.
std::optional<int> parseInt(std::string_view v) {
    v = trimBlanks(v);
    bool negative = false;
    if (!v.empty() && (v.front() == '-' || v.front() == '+')) {
        negative = v.front() == '-';
        v.remove_prefix(1);
    }
    if (v.empty()) return std::nullopt;
    std::int64_t n = 0;
    for (char c : v) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + (c - '0');
        if (n > (std::int64_t{1} << 31)) return std::nullopt;
    }
    if (negative) n = -n;
    if (n < INT32_MIN || n > INT32_MAX) return std::nullopt;
    return static_cast<int>(n);
}

bool sameWord(std::string_view value, std::string_view word) {
    value = trimBlanks(value);
    if (value.size() != word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        char c = value[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
        if (c != word[i]) return false;
    }
    return true;
}

// Each reader below returns whether it took the value: a key whose value was refused
// leaves its control as it is, as a missing key does.

bool setClamped(std::string_view v, int& field, int lo, int hi) {
    const auto n = parseInt(v);
    if (n) field = std::clamp(*n, lo, hi);
    return n.has_value();
}

bool setIfOneOf(std::string_view v, int& field, std::initializer_list<int> allowed) {
    const auto n = parseInt(v);
    if (!n || std::find(allowed.begin(), allowed.end(), *n) == allowed.end()) return false;
    field = *n;
    return true;
}

bool setInRange(std::string_view v, int& field, int lo, int hi) {
    const auto n = parseInt(v);
    if (!n || *n < lo || *n > hi) return false;
    field = *n;
    return true;
}

bool setFlag(std::string_view v, bool& field, std::string_view on, std::string_view off) {
    const bool isOn = sameWord(v, on);
    if (!isOn && !sameWord(v, off)) return false;
    field = isOn;
    return true;
}

bool setLockFlag(std::string_view v, bool& field) {
    const auto n = parseInt(v);
    if (!n || (*n != 0 && *n != 1)) return false;
    field = *n == 1;
    return true;
}

bool readNote(std::string_view v, Settings& s) {
    const auto w = parseInt(v);
    if (!w) return false;
    if (*w == -1) {
        s.notePosition = -1;
        return true;
    }
    s.notePosition = static_cast<int>(nearest((Real{1500} - *w) / 10));
    s.tonePitch = *w;
    if (s.tonePitch > 1500) {
        s.tonePitch = 1500;
        s.notePosition = 0;
    }
    if (s.tonePitch < 100) {
        s.tonePitch = 100;
        s.notePosition = 140;
    }
    return true;
}

bool readTxDelay(std::string_view v, Settings& s) {
    const auto ms = parseInt(v);
    if (!ms) return false;
    // The item the panel would select, so that what is kept is what will be keyed.
    s.txDelayMs = txDelayMsForIndex(txDelayIndexForMs(*ms));
    return true;
}

bool readDelay(std::string_view v, Settings& s) {
    v = trimBlanks(v);
    for (std::size_t p = 0; p < DelayLabels.size(); ++p) {
        if (v == DelayLabels[p]) {
            s.delayPosition = static_cast<int>(p) + 1;
            return true;
        }
    }
    return false;
}

// Exactly one of the six upper-case letters: a lower-case one is no language code.
bool readLanguage(std::string_view v, Settings& s) {
    for (char code : std::string_view("EDFIPS")) {
        if (v == std::string_view(&code, 1)) {
            s.languageCode = code;
            return true;
        }
    }
    return false;
}

bool readWordContent(std::string_view v, Settings& s) {
    if (sameWord(v, "ON")) {
        s.wordContent = WordContent::NonMixed;
    } else if (sameWord(v, "CALL")) {
        s.wordContent = WordContent::Callsigns;
    } else if (sameWord(v, "OFF")) {
        s.wordContent = WordContent::Mixed;
    } else {
        return false;
    }
    return true;
}

bool readDeviceId(std::string_view v, int& field) {
    const auto n = parseInt(v);
    if (n) field = std::max(*n, -1);
    return n.has_value();
}

std::string lowerText(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(lowerCp1252(static_cast<unsigned char>(c)));
    return out;
}

struct ReadState {
    int shortcutsRead = 0;
    int messagesRead = 0;
    SettingsNotes notes;
};

// The key lines, in the order the program writes them. A reader returns whether it took
// the value.
using KeyReader = bool (*)(std::string_view value, Settings& s, ReadState& r);
struct Key {
    std::string_view name;
    KeyReader read;
};

bool takeText(std::string_view v, std::string& field) {
    field = std::string(v);
    return true;
}

const Key kKeys[] = {
    {"SPEED=", [](auto v, auto& s, auto&) { return setClamped(v, s.speed, 5, 50); }},
    {"SPACE=", [](auto v, auto& s, auto&) { return setClamped(v, s.charSpacing, 1, 30); }},
    {"SPACEW=", [](auto v, auto& s, auto&) { return setClamped(v, s.wordSpacingFactor, 1, 4); }},
    {"LANGUAGE=", [](auto v, auto& s, auto&) { return readLanguage(v, s); }},
    {"LEVEL=", [](auto v, auto& s, auto&) { return setClamped(v, s.level, -15, 0); }},
    {"RANDOM_COUNT=", [](auto v, auto& s, auto&) { return setClamped(v, s.randomCount, 5, 1000); }},
    {"WORDS=",
     [](auto v, auto& s, auto&) {
         return setIfOneOf(v, s.words, {0, 2, 3, 4, 5, 6, 7, 8});
     }},
    {"MIXED=", [](auto v, auto& s, auto&) { return readWordContent(v, s); }},
    {"VVVVV=", [](auto v, auto& s, auto&) { return setFlag(v, s.addV, "ON", "OFF"); }},
    {"RANDOM=", [](auto v, auto& s, auto&) { return setInRange(v, s.randomClass, 1, 7); }},
    {"COM=", [](auto v, auto& s, auto&) { return setInRange(v, s.comPort, 0, 4); }},
    {"MONITOR_CASE=",
     [](auto v, auto& s, auto&) { return setFlag(v, s.monitorUpperCase, "UPPER", "LOWER"); }},
    {"MONITOR_CHANNEL=",
     [](auto v, auto& s, auto&) { return setFlag(v, s.monitorRightChannel, "RIGHT", "LEFT"); }},
    {"LEFT_THRESHOLD=",
     [](auto v, auto& s, auto&) { return setClamped(v, s.leftThreshold, 0, 127); }},
    {"RIGHT_THRESHOLD=",
     [](auto v, auto& s, auto&) { return setClamped(v, s.rightThreshold, 0, 127); }},
    {"NOISE_LEVEL=", [](auto v, auto& s, auto&) { return setClamped(v, s.noiseLevel, 0, 20); }},
    {"QSB_LEVEL=", [](auto v, auto& s, auto&) { return setClamped(v, s.qsbLevel, 0, 20); }},
    {"NOISE_BW=",
     [](auto v, auto& s, auto&) {
         const auto n = parseInt(v);
         if (n) s.noiseHold = (*n == 1 || *n == 2 || *n == 4) ? *n : 8;
         return n.has_value();
     }},
    {"NOTE=", [](auto v, auto& s, auto&) { return readNote(v, s); }},
    {"DELAY=", [](auto v, auto& s, auto&) { return readDelay(v, s); }},
    {"PAGE=",
     [](auto v, auto& s, auto& r) {
         const auto n = parseInt(v);
         s.lessonPage = n ? std::clamp(*n, 1, 3) : 1;
         r.notes.lessonPageOutOfRange.reset();
         if (n && *n != s.lessonPage) r.notes.lessonPageOutOfRange = *n;
         return true;
     }},
    {"QUIZ_COUNT=", [](auto v, auto& s, auto&) { return setClamped(v, s.quizCount, 5, 1000); }},
    {"SHORTCUT=",
     [](auto v, auto& s, auto& r) {
         // A line without key or text is one the program never writes: it takes no slot.
         if (v.size() < 2 || r.shortcutsRead >= ShortcutSlots) return false;
         Shortcut& slot = s.shortcuts[r.shortcutsRead++];
         slot.key = std::string(v.substr(0, 1));
         slot.text = std::string(v.substr(1, ShortcutTextMax));
         return true;
     }},
    {"MSG=",
     [](auto v, auto& s, auto& r) {
         // Empty messages are never written; an empty line takes no memory either.
         if (v.empty() || r.messagesRead >= MessageCount) return false;
         s.messages[r.messagesRead++] = std::string(v);
         return true;
     }},
    {"PTT=", [](auto v, auto& s, auto&) { return setInRange(v, s.pttLineMask, 0, 3); }},
    {"CW=", [](auto v, auto& s, auto&) { return setInRange(v, s.cwLineMask, 0, 3); }},
    {"TXDELAY=", [](auto v, auto& s, auto&) { return readTxDelay(v, s); }},
    {"LPT=", [](auto v, auto& s, auto&) { return setInRange(v, s.lptIndex, 0, 3); }},
    {"ADLPT=", [](auto v, auto& s, auto&) { return takeText(v, s.lptAddressText); }},
    {"PIN=", [](auto v, auto& s, auto&) { return setInRange(v, s.pinIndex, 0, 3); }},
    {"LOGIC=",
     [](auto v, auto& s, auto&) {
         s.negativeLogic = sameWord(v, "N");
         return true;
     }},
    {"MDPINT=",
     [](auto v, auto& s, auto&) {
         s.instructorPassword = unscramblePassword(v);
         return true;
     }},
    {"INSTMF=", [](auto v, auto& s, auto&) { return setLockFlag(v, s.lockMaskedFile); }},
    {"INSTMR=", [](auto v, auto& s, auto&) { return setLockFlag(v, s.lockMaskedRandom); }},
    {"INSTFN=", [](auto v, auto& s, auto&) { return setLockFlag(v, s.lockFixedNote); }},
    {"INSTFS=", [](auto v, auto& s, auto&) { return setLockFlag(v, s.lockFixedSpeed); }},
    {"ISOUND=", [](auto v, auto& s, auto&) { return readDeviceId(v, s.inputDeviceId); }},
    {"OSOUND=", [](auto v, auto& s, auto&) { return readDeviceId(v, s.outputDeviceId); }},
    // The serial devices COM1..COM4 stand for on Linux; written only when mapped, and
    // unknown to older readers, which pass over the lines.
    {"COMDEV1=", [](auto v, auto& s, auto&) { return takeText(v, s.comDevices[0]); }},
    {"COMDEV2=", [](auto v, auto& s, auto&) { return takeText(v, s.comDevices[1]); }},
    {"COMDEV3=", [](auto v, auto& s, auto&) { return takeText(v, s.comDevices[2]); }},
    {"COMDEV4=", [](auto v, auto& s, auto&) { return takeText(v, s.comDevices[3]); }},
};

std::int32_t delimiterFromByte(std::string_view line, std::size_t index) {
    if (index >= line.size()) return -1;
    const auto b = static_cast<unsigned char>(line[index]);
    return b == NoDelimiterByte ? -1 : b;
}

void readKeyLine(std::string_view line, Settings& s, ReadState& r, SettingsKeys* present) {
    const auto mark = [present](std::string_view name) {
        if (present != nullptr) present->emplace(name);
    };
    for (const Key& key : kKeys) {
        if (line.starts_with(key.name) && key.read(line.substr(key.name.size()), s, r)) {
            mark(key.name);
        }
    }
    if (line.front() == ChosenLineByte) {
        // Empty or starting with a blank means no chosen set, as the writer sees it.
        std::string text = lowerText(line.substr(1, ChosenTextMax));
        s.chosenCharacters = text.empty() || text.front() == ' ' ? std::string(" ") : text;
        mark(ChosenLineKey);
    }
    if (line.front() == MarkerLineByte) {
        s.maskStartChar = delimiterFromByte(line, 1);
        s.maskEndChar = delimiterFromByte(line, 2);
        mark(MarkerLineKey);
    }
}

bool isStandardCharacter(unsigned char lower) {
    static const CharacterList fixed;
    for (int k = 0; k < FixedCharacterCount; ++k) {
        if (fixed.entries[k] == lower) return true;
    }
    return false;
}

// " c  code  comment": longer than 4 bytes with blanks in third and fourth place. The
// first byte is not looked at (the program never did); the row keeps a blank there.
bool isLocalRowShape(std::string_view line) {
    return line.size() > 4 && line[2] == ' ' && line[3] == ' ';
}

bool isAcceptableLocalCharacter(unsigned char c) {
    return c > ' ' && c != 0x7F && c != '@' && !isStandardCharacter(lowerCp1252(c));
}

bool isValidLocalRow(std::string_view row) {
    if (!isLocalRowShape(row) || row.front() != ' ') return false;
    if (!isAcceptableLocalCharacter(localRowCharacter(row))) return false;
    const std::string code = localRowCode(row);
    return !code.empty() && code.size() <= LocalCodeMax;
}

void readLocalCharacters(const std::vector<std::string_view>& lines, std::size_t first,
                         Settings& s) {
    s.localCharacterRows.clear();
    std::vector<unsigned char> taken;
    for (std::size_t i = first; i < lines.size(); ++i) {
        if (s.localCharacterRows.size() >= static_cast<std::size_t>(MaxLocalCharacters)) break;
        std::string_view line = lines[i];
        if (!isLocalRowShape(line)) continue;
        std::string row(line.substr(0, LocalRowMax));
        row[0] = ' ';
        if (!isValidLocalRow(row)) continue;
        const unsigned char lower = lowerCp1252(localRowCharacter(row));
        if (std::find(taken.begin(), taken.end(), lower) != taken.end()) continue;
        taken.push_back(lower);
        s.localCharacterRows.push_back(std::move(row));
    }
}

std::string withoutLineFeeds(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c != '\n') out.push_back(c);
    }
    return out;
}

void putLine(std::string& out, std::string_view key, std::string_view value) {
    out.append(key);
    out.append(withoutLineFeeds(value));
    out.append(LineEnd);
}

void putInt(std::string& out, std::string_view key, long long value) {
    putLine(out, key, std::to_string(value));
}

char delimiterByte(std::int32_t c) {
    // 0xFF stands for "none", and a line feed would split the marker line.
    if (c < 0 || c >= NoDelimiterByte || c == '\n') return static_cast<char>(NoDelimiterByte);
    return static_cast<char>(c);
}

}  // namespace

std::array<std::string, LessonCount> initialLessonPages() {
    std::array<std::string, LessonCount> pages;
    static constexpr std::string_view kPage1[LessonsPerPage] = {
        "endx0",
        "tawp1",
        "endx0tawp1",
        "mgzq2",
        "iuvh3",
        "mgzq2iuvh3",
        "endx0tawp1mgzq2iuvh3",
        "okyc4",
        "rlf56",
        "okyc4rlf56",
        "sbj78",
        "+=?/9",
        "sbj78+=?/9",
        "okyc4rlf56sbj78+=?/9",
        "endx0tawp1mgzq2iuvh3",
        "abcdefghijklmnopqrstuvwxyz",
        "0123456789",
        "abcdefghijklmnopqrstuvwxyz0123456789",
        "+=?/'-,.",
        "abcdefghijklmnopqrstuvwxyz0123456789+=?/'-,.",
    };
    for (int k = 0; k < LessonCount; ++k) {
        pages[k] = k < LessonsPerPage ? std::string(kPage1[k]) : std::string(" ");
    }
    return pages;
}

int delayMilliseconds(int position) {
    static constexpr int kMs[16] = {250,  500,  750,  1000, 1250, 1500, 1750, 2000,
                                    2500, 3000, 4000, 5000, 6000, 7000, 8000, 9000};
    return kMs[std::clamp(position, 1, 16) - 1];
}

long double pitchOfNotePosition(int position) {
    return Real{1500} - Real{10} * position;
}

std::string scramblePassword(std::string_view password) {
    std::string out(password);
    for (std::size_t j = 1; j <= out.size(); ++j) {
        const auto code = static_cast<unsigned char>(out[j - 1]);
        out[j - 1] = static_cast<char>((code + j * j) & 0xFF);
    }
    return out;
}

std::string unscramblePassword(std::string_view scrambled) {
    std::string out(scrambled);
    for (std::size_t j = 1; j <= out.size(); ++j) {
        const auto code = static_cast<unsigned char>(out[j - 1]);
        // Unsigned wrap-around keeps the result right modulo 256.
        out[j - 1] = static_cast<char>((code - j * j) & 0xFF);
    }
    return out;
}

bool passwordCanBeStored(std::string_view password) {
    return scramblePassword(password).find('\n') == std::string::npos;
}

int lptAddressFromText(std::string_view text) {
    if (text.size() < 4) return 0;
    // Files written before four-digit addresses hold three digits and "h]"; the classic
    // reading looks at three characters and nothing after them, so a fourth character
    // counts only when it is a hex digit too.
    if (text.size() >= 5) {
        if (auto four = parseHexDigits(text.substr(1, 4))) {
            // A fifth digit would be an address no port has: refuse it rather than load a
            // truncated one.
            if (text.size() >= 6 && std::isxdigit(static_cast<unsigned char>(text[5]))) return 0;
            return *four;
        }
    }
    return parseHexDigits(text.substr(1, 3)).value_or(0);
}

unsigned char localRowCharacter(std::string_view row) {
    return row.size() > 1 ? static_cast<unsigned char>(row[1]) : 0;
}

std::string localRowCode(std::string_view row) {
    if (row.size() <= 4) return {};
    std::string_view field = row.substr(4);
    // Hand-aligned rows put more blanks before the code; only two blanks after it open
    // the comment.
    field.remove_prefix(std::min(field.find_first_not_of(' '), field.size()));
    field = field.substr(0, field.find("  "));
    std::string code;
    for (char c : field) {
        if (c == '.' || c == '-') code.push_back(c);
    }
    return code;
}

void applyLocalCharacters(const Settings& s, MorseTable& morse, CharacterList& list) {
    for (const std::string& row : s.localCharacterRows) {
        if (list.localCount >= MaxLocalCharacters) break;
        const unsigned char c = localRowCharacter(row);
        const std::string code = localRowCode(row);
        if (code.empty() || !isAcceptableLocalCharacter(c)) continue;
        const auto lower = static_cast<std::int32_t>(lowerCp1252(c));
        const auto localEnd = list.entries.begin() + LocalCharacterSlot + list.localCount;
        if (std::find(list.entries.begin(), localEnd, lower) != localEnd) continue;
        morse.defineLocal(c, code);
        list.addLocal(c);
    }
}

bool readSettings(std::string_view bytes, Settings& s, SettingsKeys* present,
                  SettingsNotes* notes) {
    const std::vector<std::string_view> lines = splitLines(bytes);
    std::size_t marker = lines.size();
    for (std::size_t i = lines.size(); i-- > 0;) {
        if (!lines[i].empty() && lines[i].front() == MarkerLineByte) {
            marker = i;
            break;
        }
    }
    if (marker == lines.size()) return false;

    ReadState state;
    bool keysEnd = false;  // an empty line: the rest of the file keeps its values
    for (std::size_t i = 0; i <= marker && !keysEnd; ++i) {
        keysEnd = lines[i].empty();
        if (!keysEnd) readKeyLine(lines[i], s, state, present);
    }
    if (notes) *notes = state.notes;
    if (keysEnd) return true;

    std::size_t next = marker + 1;
    const auto endsLessons = [](std::string_view line) {
        return line.empty() || line.front() == ' ';
    };
    for (int k = 0; k < LessonCount && next < lines.size() && !endsLessons(lines[next]); ++k) {
        s.lessonPages[k] = lowerText(lines[next]);
        ++next;
    }
    readLocalCharacters(lines, next, s);
    return true;
}

std::string writeSettings(const Settings& s) {
    std::string out;
    out.reserve(4096);
    putInt(out, "SPEED=", s.speed);
    putInt(out, "SPACE=", s.charSpacing);
    putInt(out, "SPACEW=", s.wordSpacingFactor);
    const bool knownLanguage =
        s.languageCode != '\0' &&
        std::string_view("EDFIPS").find(s.languageCode) != std::string_view::npos;
    putLine(out, "LANGUAGE=", std::string(1, knownLanguage ? s.languageCode : 'E'));
    putInt(out, "LEVEL=", s.level);
    putInt(out, "RANDOM_COUNT=", s.randomCount);
    putInt(out, "WORDS=", s.words);
    putLine(out, "MIXED=",
            s.wordContent == WordContent::NonMixed    ? "ON"
            : s.wordContent == WordContent::Callsigns ? "CALL"
                                                      : "OFF");
    putLine(out, "VVVVV=", s.addV ? "ON" : "OFF");
    putInt(out, "RANDOM=", s.randomClass);
    putInt(out, "COM=", s.comPort);
    putLine(out, "MONITOR_CASE=", s.monitorUpperCase ? "UPPER" : "LOWER");
    putLine(out, "MONITOR_CHANNEL=", s.monitorRightChannel ? "RIGHT" : "LEFT");
    putInt(out, "LEFT_THRESHOLD=", s.leftThreshold);
    putInt(out, "RIGHT_THRESHOLD=", s.rightThreshold);
    putInt(out, "NOISE_LEVEL=", s.noiseLevel);
    putInt(out, "QSB_LEVEL=", s.qsbLevel);
    putInt(out, "NOISE_BW=", s.noiseHold);
    putInt(out, "NOTE=",
           s.notePosition == -1 ? -1LL : 1500LL - 10LL * static_cast<long long>(s.notePosition));
    putLine(out, "DELAY=", DelayLabels[std::clamp(s.delayPosition, 1, 16) - 1]);
    putInt(out, "PAGE=", s.lessonPage);
    putInt(out, "QUIZ_COUNT=", s.quizCount);
    for (const Shortcut& slot : s.shortcuts) {
        if (slot.key.empty() || slot.text.empty() || slot.key.front() == '\n') continue;
        putLine(out, "SHORTCUT=", slot.key.substr(0, 1) + slot.text);
    }
    for (const std::string& message : s.messages) {
        if (!message.empty()) putLine(out, "MSG=", message);
    }
    putInt(out, "PTT=", s.pttLineMask);
    putInt(out, "CW=", s.cwLineMask);
    putInt(out, "TXDELAY=", s.txDelayMs);
    putInt(out, "LPT=", s.lptIndex);
    putLine(out, "ADLPT=", s.lptAddressText);
    putInt(out, "PIN=", s.pinIndex);
    putLine(out, "LOGIC=", s.negativeLogic ? "N" : "P");
    putLine(out, "MDPINT=",
            passwordCanBeStored(s.instructorPassword) ? scramblePassword(s.instructorPassword)
                                                      : std::string());
    putInt(out, "INSTMF=", s.lockMaskedFile ? 1 : 0);
    putInt(out, "INSTMR=", s.lockMaskedRandom ? 1 : 0);
    putInt(out, "INSTFN=", s.lockFixedNote ? 1 : 0);
    putInt(out, "INSTFS=", s.lockFixedSpeed ? 1 : 0);
    putInt(out, "ISOUND=", s.inputDeviceId);
    putInt(out, "OSOUND=", s.outputDeviceId);
    for (std::size_t n = 0; n < s.comDevices.size(); ++n) {
        if (!s.comDevices[n].empty()) {
            putLine(out, "COMDEV" + std::to_string(n + 1) + "=", s.comDevices[n]);
        }
    }

    if (!s.chosenCharacters.empty() && s.chosenCharacters.front() != ' ') {
        putLine(out, std::string_view(&ChosenLineByte, 1), s.chosenCharacters);
    }
    out.push_back(MarkerLineByte);
    out.push_back(delimiterByte(s.maskStartChar));
    out.push_back(delimiterByte(s.maskEndChar));
    out.append(LineEnd);

    for (const std::string& lesson : s.lessonPages) {
        const std::string text = withoutLineFeeds(lesson);
        if (text.empty() || text.front() == ' ' || text.front() == MarkerLineByte) continue;
        putLine(out, "", text);
    }
    int rows = 0;
    for (const std::string& row : s.localCharacterRows) {
        const std::string text = withoutLineFeeds(row);
        if (rows >= MaxLocalCharacters || !isValidLocalRow(text)) continue;
        putLine(out, "", text);
        ++rows;
    }
    return out;
}

}  // namespace kb
