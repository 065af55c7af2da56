#include "core/random_groups.h"

#include <algorithm>

namespace kb {

namespace {

bool isDigit(int c) {
    return c >= '0' && c <= '9';
}
bool isLetter(int c) {
    return c >= 'a' && c <= 'z';
}

// The three kinds a non-mixed group keeps to: figures, letters, and everything else
// (stops, local and special characters).
int kindOf(int c) {
    return isDigit(c) ? 0 : isLetter(c) ? 1 : 2;
}

}  // namespace

void RandomGroups::startRun(int count) {
    groupPosition_ = 0;
    if (options.leadingV) {
        vCount_ = 0;
        // A random-length run opens with the classic five V's.
        if (options.randomLength) wordLength_ = DefaultWordLength;
    } else {
        vCount_ = NoMoreVs;
        if (options.randomLength) wordLength_ = drawLength();
    }
    remaining_ = count;
}

void RandomGroups::restartCount(int count) {
    groupPosition_ = 0;
    remaining_ = count;
}

unsigned char RandomGroups::next() {
    ++groupPosition_;
    if (vCount_ < wordLength_) {
        if (++vCount_ == wordLength_) vCount_ = NoMoreVs;
        return 'v';
    }
    // A length shortened below the V's already made ends the V group too; it must not
    // come back should the length grow again.
    vCount_ = NoMoreVs;
    if (set.count <= 0) return 0;
    for (int drawn = 0; drawn < MaxRefusedDraws; ++drawn) {
        const int candidate = list_.entries[static_cast<std::size_t>(
            set.first + static_cast<int>(random_(static_cast<std::uint32_t>(set.count))))];
        if (acceptable(candidate)) return static_cast<unsigned char>(candidate);
    }
    return static_cast<unsigned char>(groupFirst_);
}

bool RandomGroups::acceptable(int candidate) {
    if (groupPosition_ < 2) {
        groupFirst_ = candidate;
        return true;
    }
    // Non-mixed and callsigns exclude each other: non-mixed decides alone.
    if (options.nonMixed) return kindOf(candidate) == kindOf(groupFirst_);
    if (!options.callsigns) return true;
    if (groupPosition_ == 2) {
        if (isDigit(groupFirst_) && isDigit(candidate)) return false;
        groupSecond_ = candidate;
        return true;
    }
    if (groupPosition_ == 3) return !(isLetter(groupSecond_) && isLetter(candidate));
    return isLetter(candidate);
}

bool RandomGroups::endGroup() {
    if (!groupComplete()) return false;
    groupPosition_ = 0;
    if (options.randomLength) wordLength_ = drawLength();
    return true;
}

bool RandomGroups::countDown() {
    if (remaining_ < 2) return false;
    --remaining_;
    return true;
}

int acceptChosenCharacters(std::string_view text, CharacterList& list) {
    const int standard = FixedCharacterCount + list.localCount;
    const auto known = [&](unsigned char c) {
        const auto* first = list.entries.begin();
        return std::find(first, first + standard, c) != first + standard ||
               SpecialCharacterList.find(static_cast<char>(c)) != std::string_view::npos;
    };
    int count = 0;
    for (char ch : text) {
        if (count == MaxChosenCharacters) break;
        auto c = static_cast<unsigned char>(ch);
        if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c + 32);
        // A zero slot would read as "no character"; it is no Morse character either.
        if (c == 0 || !known(c)) continue;
        list.entries[static_cast<std::size_t>(ChosenCharacterSlot + count)] = c;
        ++count;
    }
    return count;
}

}  // namespace kb
