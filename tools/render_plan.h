#pragma once
// How a long text is cut into files: at each line that begins with a chapter word, and
// at the first word gap (a blank or a line break) after every so many minutes of sound. Every cut
// falls before a sounding character, so each file starts cleanly and the files' sound joined
// together is the whole text's.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kb::render {

struct Part {
    std::size_t begin = 0;  // text index of the first character
    std::size_t end = 0;    // one past the last
    std::uint64_t bytes = 0;
};

struct SplitRule {
    int minutes = 0;          // 0: no cut by length
    std::string chapterWord;  // empty: no cut by chapter
    bool splits() const { return minutes > 0 || !chapterWord.empty(); }
};

// The parts of `text`; characters that sound nothing at the end of a part stay with it.
// Without a rule, one part holds the whole text. A stretch with no sound makes no part.
std::vector<Part> planParts(std::string_view text,
                            const std::function<std::uint64_t(unsigned char)>& bytesOf,
                            std::uint64_t bytesPerSecond, const SplitRule& rule);

// NAME-001.EXT for part 1 of "NAME.EXT" (the extension `ext` when the name has none).
std::string partFileName(const std::string& name, int number, const char* ext);

// How many characters, from `begin`, fit in `maxBytes` of samples.
std::size_t charactersThatFit(std::string_view text, std::size_t begin,
                              const std::function<std::uint64_t(unsigned char)>& bytesOf,
                              std::uint64_t maxBytes);

}  // namespace kb::render
