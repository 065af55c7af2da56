#include "core/text_file.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <vector>

#include "core/cp1252.h"

namespace kb {

namespace {

void appendUtf8(std::string& out, char32_t cp) {
    // Surrogates and out-of-range values have no UTF-8 form.
    if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = 0xFFFD;
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// CR LF, CR and LF each become "\n"; so do the Unicode line and paragraph separators,
// which the box would otherwise take as breaks of its own.
std::string normaliseLineBreaks(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            out.push_back('\n');
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else if (c == '\xE2' && i + 2 < text.size() && text[i + 1] == '\x80' &&
                   (text[i + 2] == '\xA8' || text[i + 2] == '\xA9')) {
            out.push_back('\n');
            i += 2;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

// UTF-16 with its byte-order mark, as some Windows editors save "Unicode" text.
std::string utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    std::string out;
    char32_t high = 0;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
        const auto b0 = static_cast<unsigned char>(bytes[i]);
        const auto b1 = static_cast<unsigned char>(bytes[i + 1]);
        const char32_t unit = bigEndian ? (b0 << 8 | b1) : (b1 << 8 | b0);
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (high) appendUtf8(out, 0xFFFD);
            high = unit;
            continue;
        }
        if (unit >= 0xDC00 && unit <= 0xDFFF) {
            appendUtf8(out, high ? 0x10000 + ((high - 0xD800) << 10) + (unit - 0xDC00) : 0xFFFD);
            high = 0;
            continue;
        }
        if (high) appendUtf8(out, 0xFFFD);
        high = 0;
        // A NUL means nothing in a text (and is what marks a binary file elsewhere).
        if (unit != 0) appendUtf8(out, unit);
    }
    if (high) appendUtf8(out, 0xFFFD);
    return out;
}

// --- RTF -------------------------------------------------------------------------------------

// The Windows ANSI code pages a document may name in \ansicpg besides 1252, which the
// core decodes itself; any other page reads as 1252.
constexpr int AnsiCodePages[] = {874, 1250, 1251, 1253, 1254, 1255, 1256, 1257, 1258};
using HighHalf = std::array<char32_t, 128>;  // what the bytes 0x80..0xFF stand for

// A code page's upper half through glibc's iconv, one byte at a time; a byte the page
// leaves unassigned (or a page iconv lacks) gives U+FFFD.
HighHalf decodeHighHalf(int codePage) {
    HighHalf half;
    half.fill(0xFFFD);
    std::string name = "CP";
    name += std::to_string(codePage);
    const iconv_t cd = iconv_open("UTF-32LE", name.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return half;
    for (std::size_t b = 0; b < half.size(); ++b) {
        char in = static_cast<char>(0x80 + b);
        unsigned char out[16] = {};
        char* inPtr = &in;
        char* outPtr = reinterpret_cast<char*>(out);
        std::size_t inLeft = 1, outLeft = sizeof out;
        // The flush gives the letter that 1255 and 1258 hold back for a combining mark.
        const bool ok = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != std::size_t(-1) &&
                        iconv(cd, nullptr, nullptr, &outPtr, &outLeft) != std::size_t(-1);
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (ok && outLeft == sizeof out - 4) {
            half[b] = out[0] | out[1] << 8 | out[2] << 16 | static_cast<char32_t>(out[3]) << 24;
        }
    }
    iconv_close(cd);
    return half;
}

// The decoded upper half of a page, or null for 1252 and the pages not listed. Built once
// per process, on the first document that names another page.
const HighHalf* highHalfOf(long long codePage) {
    static const auto tables = [] {
        std::array<HighHalf, std::size(AnsiCodePages)> t;
        for (std::size_t i = 0; i < t.size(); ++i) t[i] = decodeHighHalf(AnsiCodePages[i]);
        return t;
    }();
    const auto* it = std::find(std::begin(AnsiCodePages), std::end(AnsiCodePages), codePage);
    return it == std::end(AnsiCodePages) ? nullptr : &tables[it - std::begin(AnsiCodePages)];
}

// Destinations whose text is not the document's.
constexpr std::string_view SkippedDestinations[] = {
    "fonttbl",
    "colortbl",
    "stylesheet",
    "info",
    "pict",
    "header",
    "headerl",
    "headerr",
    "headerf",
    "footer",
    "footerl",
    "footerr",
    "footerf",
    "object",
    "objdata",
    "datastore",
    "themedata",
    "listtable",
    "listoverridetable",
    "rsidtbl",
    "generator",
    "xmlnstbl",
    "fldinst",
    "latentstyles",
    "colorschememapping",
    "filetbl",
    "revtbl",
    "pntext",
    "pntxta",
    "pntxtb",
    "footnote",
    "annotation",
    "atnid",
    "bkmkstart",
};

// Control words that stand for one character.
struct WordCharacter {
    std::string_view word;
    char32_t cp;
};
constexpr WordCharacter CharacterWords[] = {
    {"par", U'\n'},        {"line", U'\n'},       {"sect", U'\n'},    {"page", U'\n'},
    {"row", U'\n'},        {"tab", U'\t'},        {"cell", U'\t'},    {"emdash", 0x2014},
    {"endash", 0x2013},    {"bullet", 0x2022},    {"lquote", 0x2018}, {"rquote", 0x2019},
    {"ldblquote", 0x201C}, {"rdblquote", 0x201D}, {"emspace", U' '},  {"enspace", U' '},
    {"qmspace", U' '},
};

// Deeper groups are read as skipped text: nothing legitimate nests this far, and the
// state stack stays small whatever the input.
constexpr std::size_t MaxGroupDepth = 256;
// A control word longer than this is no control word of RTF's; its letters are consumed
// all the same.
constexpr std::size_t MaxWordLength = 32;

struct GroupState {
    bool skip = false;
    int unicodeSkip = 1;  // \ucN: the fallback characters after each \uN
};

class RtfReader {
public:
    explicit RtfReader(std::string_view in) : in_(in) {}

    std::string run() {
        groups_.push_back({});
        while (pos_ < in_.size()) {
            const char c = in_[pos_++];
            switch (c) {
                case '{':
                    if (overflow_ > 0 || groups_.size() >= MaxGroupDepth) {
                        ++overflow_;
                    } else {
                        groups_.push_back(groups_.back());
                    }
                    pendingSkip_ = 0;
                    break;
                case '}':
                    pendingSkip_ = 0;
                    if (overflow_ > 0) {
                        --overflow_;
                    } else if (groups_.size() > 1) {
                        groups_.pop_back();
                        // The document's own group has closed: what follows is not part of it.
                        if (groups_.size() == 1 && opened_) return flush();
                    }
                    break;
                case '\\': controlSequence(); break;
                case '\r':
                case '\n':
                case '\0': break;
                default: byteCharacter(static_cast<unsigned char>(c)); break;
            }
            if (groups_.size() > 1) opened_ = true;
        }
        return flush();
    }

private:
    bool skipping() const { return overflow_ > 0 || groups_.back().skip; }

    std::string flush() {
        if (high_) appendUtf8(out_, 0xFFFD);
        high_ = 0;
        return std::move(out_);
    }

    // One character of the fallback text after \uN is passed over instead of written.
    bool takeFallback() {
        if (pendingSkip_ <= 0) return false;
        --pendingSkip_;
        return true;
    }

    void put(char32_t cp) {
        if (skipping()) return;
        if (high_ && !(cp >= 0xDC00 && cp <= 0xDFFF)) {
            appendUtf8(out_, 0xFFFD);
            high_ = 0;
        }
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            high_ = cp;
            return;
        }
        if (cp >= 0xDC00 && cp <= 0xDFFF) {
            cp = high_ ? 0x10000 + ((high_ - 0xD800) << 10) + (cp - 0xDC00) : 0xFFFD;
            high_ = 0;
        }
        // Control characters other than the tab and the line break mean nothing in a text.
        if (cp < 0x20 && cp != U'\t' && cp != U'\n') return;
        appendUtf8(out_, cp);
    }

    void byteCharacter(unsigned char b) {
        if (takeFallback()) return;
        put(b >= 0x80 && codePage_ ? (*codePage_)[b - 0x80] : cp1252ToUnicode(b));
    }

    static int hexValue(char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }

    static bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
    static bool isDigit(char c) { return c >= '0' && c <= '9'; }

    void controlSequence() {
        if (pos_ >= in_.size()) return;
        const char c = in_[pos_];
        if (!isLetter(c)) {
            ++pos_;
            controlSymbol(c);
            return;
        }
        const std::size_t start = pos_;
        while (pos_ < in_.size() && isLetter(in_[pos_])) ++pos_;
        const std::string_view word = in_.substr(start, std::min(pos_ - start, MaxWordLength + 1));
        bool negative = false;
        bool hasParam = false;
        long long param = 0;
        if (pos_ < in_.size() && in_[pos_] == '-' && pos_ + 1 < in_.size() &&
            isDigit(in_[pos_ + 1])) {
            negative = true;
            ++pos_;
        }
        while (pos_ < in_.size() && isDigit(in_[pos_])) {
            hasParam = true;
            // Clamped: a parameter of a thousand digits is still only a large number.
            param = std::min(param * 10 + (in_[pos_] - '0'), 10'000'000'000LL);
            ++pos_;
        }
        if (negative) param = -param;
        if (pos_ < in_.size() && in_[pos_] == ' ') ++pos_;
        controlWord(word, hasParam, param);
    }

    void controlSymbol(char c) {
        switch (c) {
            case '\\':
            case '{':
            case '}':
                if (!takeFallback()) put(static_cast<unsigned char>(c));
                return;
            case '\'': {
                // A cut or malformed escape stands for nothing.
                const int hi = pos_ < in_.size() ? hexValue(in_[pos_]) : -1;
                const int lo = pos_ + 1 < in_.size() ? hexValue(in_[pos_ + 1]) : -1;
                if (hi < 0 || lo < 0) {
                    if (hi >= 0) ++pos_;
                    takeFallback();
                    return;
                }
                pos_ += 2;
                byteCharacter(static_cast<unsigned char>(hi * 16 + lo));
                return;
            }
            case '*':
                if (overflow_ == 0) groups_.back().skip = true;
                return;
            case '~':
                if (!takeFallback()) put(0xA0);
                return;
            case '_':
                if (!takeFallback()) put(U'-');
                return;
            case '\r':
            case '\n':
                if (!takeFallback()) put(U'\n');
                return;
            default: takeFallback(); return;
        }
    }

    void controlWord(std::string_view word, bool hasParam, long long param) {
        if (word == "bin") {
            // Raw binary data of the given length follows; it may hold any byte, braces too.
            const auto n = static_cast<std::size_t>(std::max(0LL, hasParam ? param : 0LL));
            pos_ += std::min(n, in_.size() - pos_);
            return;
        }
        if (word == "u" && hasParam) {
            long long v = param;
            if (v < 0) v += 65536;
            if (v >= 0 && v <= 0xFFFF) put(static_cast<char32_t>(v));
            pendingSkip_ = groups_.back().unicodeSkip;
            return;
        }
        if (word == "ansicpg") codePage_ = hasParam ? highHalfOf(param) : nullptr;
        if (word == "uc" && hasParam) {
            if (overflow_ == 0)
                groups_.back().unicodeSkip = static_cast<int>(std::clamp(param, 0LL, 16LL));
            return;
        }
        if (std::find(std::begin(SkippedDestinations), std::end(SkippedDestinations), word) !=
            std::end(SkippedDestinations)) {
            if (overflow_ == 0) groups_.back().skip = true;
            return;
        }
        for (const WordCharacter& w : CharacterWords) {
            if (w.word == word) {
                if (!takeFallback()) put(w.cp);
                return;
            }
        }
        // Any other control word (formatting, the code page, ...) writes nothing but
        // counts as one fallback character.
        takeFallback();
    }

    std::string_view in_;
    std::size_t pos_ = 0;
    std::vector<GroupState> groups_;
    std::size_t overflow_ = 0;
    int pendingSkip_ = 0;
    char32_t high_ = 0;                   // a high surrogate waiting for its low half
    const HighHalf* codePage_ = nullptr;  // \ansicpg's page; null for 1252
    bool opened_ = false;
    std::string out_;
};

}  // namespace

std::string extractRtfText(std::string_view rtf) {
    return RtfReader(rtf).run();
}

TextFileResult readTextFile(std::string_view bytes) {
    TextFileResult r;
    if (bytes.size() > MaxTextFileBytes) {
        r.status = TextFileResult::Status::TooLarge;
        return r;
    }
    if (bytes.starts_with("{\\rtf")) {
        r.text = extractRtfText(bytes);
        return r;
    }
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
        r.text = normaliseLineBreaks(utf16ToUtf8(bytes, bytes[0] == '\xFE'));
        return r;
    }
    if (bytes.substr(0, BinaryProbeBytes).find('\0') != std::string_view::npos) {
        r.status = TextFileResult::Status::Binary;
        return r;
    }
    if (isValidUtf8(bytes)) {
        if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
        r.text = normaliseLineBreaks(bytes);
    } else {
        r.text = normaliseLineBreaks(cp1252ToUtf8(bytes));
    }
    return r;
}

std::string textFileRefusal(TextFileResult::Status status) {
    switch (status) {
        case TextFileResult::Status::TooLarge:
            return "the file is larger than 16 MiB, too large for a text to play";
        case TextFileResult::Status::Binary:
            return "the file is not a text file (it holds binary data)";
        case TextFileResult::Status::Ok: break;
    }
    return {};
}

std::string fileTextToPlay(std::string_view utf8Text) {
    std::string joined;
    joined.reserve(utf8Text.size() + utf8Text.size() / 16);
    for (const char c : utf8Text) {
        if (c == '\n') joined.push_back('\r');
        joined.push_back(c);
    }
    return utf8ToCp1252(joined);
}

}  // namespace kb
