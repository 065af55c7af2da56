#include "tools/render_plan.h"

#include <cctype>
#include <cstdio>

#include "core/morse.h"

namespace kb::render {
namespace {

bool wordCharacter(unsigned char c) {
    return std::isalnum(c) != 0 || c >= 0x80;
}

// A line that opens with the word, whole and in any case ("Chapter 3", "CHAPTER III").
bool lineOpensWith(std::string_view text, std::size_t at, std::string_view word) {
    if (word.empty() || text.size() - at < word.size()) return false;
    for (std::size_t k = 0; k < word.size(); ++k) {
        if (std::tolower(static_cast<unsigned char>(text[at + k])) !=
            std::tolower(static_cast<unsigned char>(word[k]))) {
            return false;
        }
    }
    const std::size_t after = at + word.size();
    return after == text.size() || !wordCharacter(static_cast<unsigned char>(text[after]));
}

}  // namespace

std::vector<Part> planParts(std::string_view text,
                            const std::function<std::uint64_t(unsigned char)>& bytesOf,
                            std::uint64_t bytesPerSecond, const SplitRule& rule) {
    const std::uint64_t limit =
        rule.minutes > 0 ? static_cast<std::uint64_t>(rule.minutes) * 60u * bytesPerSecond : 0;
    std::vector<Part> parts;
    Part current;
    bool sounds = false;  // the current part holds a sounding character
    bool cutDue = false;  // long enough: cut before the next sounding character
    // A stretch that sounds nothing (blanks before a chapter line) joins the next part.
    const auto close = [&](std::size_t at) {
        if (!sounds) return;
        current.end = at;
        parts.push_back(current);
        current = Part{at, at, 0};
        sounds = cutDue = false;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const bool lineStart = i == 0 || text[i - 1] == '\n';
        if (lineStart && lineOpensWith(text, i, rule.chapterWord)) close(i);
        const std::uint64_t bytes = bytesOf(c);
        const bool sounding = bytes > 0 && c != Blank;
        if (cutDue && sounding) close(i);
        current.bytes += bytes;
        sounds = sounds || sounding;
        // A line break is a word gap too: a word-per-line text has no blanks.
        if (limit > 0 && (c == Blank || c == '\n') && current.bytes >= limit) cutDue = true;
    }
    if (!sounds && !parts.empty()) {
        // Trailing blanks stay with the last part.
        parts.back().end = text.size();
        parts.back().bytes += current.bytes;
        return parts;
    }
    close(text.size());
    return parts;
}

std::string partFileName(const std::string& name, int number, const char* ext) {
    const std::size_t slash = name.find_last_of('/');
    const std::size_t dot = name.find_last_of('.');
    const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash) &&
                        dot + 1 < name.size() && dot > (slash == std::string::npos ? 0 : slash + 1);
    char number3[16];
    std::snprintf(number3, sizeof number3, "-%03d", number);
    if (hasExt) return name.substr(0, dot).append(number3).append(name.substr(dot));
    return std::string(name).append(number3).append(".").append(ext);
}

std::size_t charactersThatFit(std::string_view text, std::size_t begin,
                              const std::function<std::uint64_t(unsigned char)>& bytesOf,
                              std::uint64_t maxBytes) {
    std::uint64_t total = 0;
    std::size_t k = begin;
    for (; k < text.size(); ++k) {
        total += bytesOf(static_cast<unsigned char>(text[k]));
        if (total > maxBytes) break;
    }
    return k - begin;
}

}  // namespace kb::render
