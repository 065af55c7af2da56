#include "core/morse.h"

#include "core/cp1252.h"

namespace kb {

MorseTable::MorseTable() {
    struct Entry {
        unsigned char c;
        const char* code;
    };
    // Kept by hand: a table reads best in columns.
    // clang-format off
    static constexpr Entry kEntries[] = {
        {WaitSign, ".-..."},  {ErrorSign, "........"}, {TransmitSign, "-.--."},
        {EndOfWorkSign, "...-.-"},
        {'!', ".-..."},   {'"', ".-..-."},  {'\'', ".----."}, {'(', "-.--."},
        {')', "-.--.-"},  {'+', ".-.-."},   {',', "--..--"},  {'-', "-....-"},
        {'.', ".-.-.-"},  {'/', "-..-."},   {'0', "-----"},   {'1', ".----"},
        {'2', "..---"},   {'3', "...--"},   {'4', "....-"},   {'5', "....."},
        {'6', "-...."},   {'7', "--..."},   {'8', "---.."},   {'9', "----."},
        {':', "---..."},  {';', "-.-.-."},  {'<', "........"}, {'=', "-...-"},
        {'>', "...-.-"},  {'?', "..--.."},  {'@', ".--.-."},
        {'A', ".-"},   {'B', "-..."}, {'C', "-.-."}, {'D', "-.."},  {'E', "."},
        {'F', "..-."}, {'G', "--."},  {'H', "...."}, {'I', ".."},   {'J', ".---"},
        {'K', "-.-"},  {'L', ".-.."}, {'M', "--"},   {'N', "-."},   {'O', "---"},
        {'P', ".--."}, {'Q', "--.-"}, {'R', ".-."},  {'S', "..."},  {'T', "-"},
        {'U', "..-"},  {'V', "...-"}, {'W', ".--"},  {'X', "-..-"}, {'Y', "-.--"},
        {'Z', "--.."},
    };
    // clang-format on
    for (const auto& e : kEntries) {
        codes_[e.c] = e.code;
        if (e.c >= 'A' && e.c <= 'Z') codes_[e.c + 32] = e.code;
    }
}

void MorseTable::defineLocal(unsigned char c, std::string_view definition) {
    std::string code;
    for (char d : definition) {
        if (d == '.' || d == '-') code.push_back(d);
    }
    codes_[c] = code;
    codes_[upperCp1252(c)] = code;
    codes_[lowerCp1252(c)] = code;
}

CharacterList::CharacterList() {
    static constexpr std::string_view kFixed = "abcdefghijklmnopqrstuvwxyz0123456789.,?/+'-=";
    static_assert(kFixed.size() == FixedCharacterCount);
    for (std::size_t k = 0; k < kFixed.size(); ++k) {
        entries[k] = static_cast<unsigned char>(kFixed[k]);
    }
}

bool CharacterList::addLocal(unsigned char c) {
    if (localCount >= MaxLocalCharacters) return false;
    entries[LocalCharacterSlot + localCount] = lowerCp1252(c);
    ++localCount;
    return true;
}

void CharacterList::clearLocal() {
    for (int k = 0; k < MaxLocalCharacters; ++k) entries[LocalCharacterSlot + k] = 0;
    localCount = 0;
}

CharacterSet characterSet(CharacterClass cls, int localCount, int chosenCount) {
    switch (cls) {
        case CharacterClass::Letters: return {0, 26};
        case CharacterClass::Figures: return {26, 10};
        case CharacterClass::Stops: return {36, 8};
        case CharacterClass::Local: return {LocalCharacterSlot, localCount};
        case CharacterClass::LettersFigures: return {0, 36};
        case CharacterClass::All: return {0, FixedCharacterCount + localCount};
        case CharacterClass::Chosen: return {ChosenCharacterSlot, chosenCount};
    }
    return {0, 0};
}

namespace {

struct Expansion {
    const ShortcutTable& table;
    std::array<bool, 256> key{};   // characters some slot replaces
    std::array<bool, 256> open{};  // keys being expanded right now
    std::size_t reads = 0;
    std::string& out;

    bool full() const { return out.size() >= ExpansionMax || reads >= ExpansionReadMax; }

    void expand(unsigned char c) {
        open[c] = true;
        // Later slots first: each slot's text is inserted right after the key in turn.
        for (int slot = ShortcutSlots - 1; slot >= 0 && !full(); --slot) {
            const Shortcut& s = table[slot];
            if (s.key.empty() || static_cast<unsigned char>(s.key[0]) != c) continue;
            for (char ch : s.text) {
                if (full()) break;
                ++reads;
                const auto u = static_cast<unsigned char>(ch);
                if (!key[u]) {
                    out.push_back(ch);
                } else if (!open[u]) {
                    expand(u);
                }
                // A key already being expanded is dropped: it would never end.
            }
        }
        open[c] = false;
    }
};

}  // namespace

bool expandShortcut(const ShortcutTable& table, const MorseTable& morse, unsigned char c,
                    std::string& out) {
    out.clear();
    Expansion e{table, {}, {}, 0, out};
    // A key with a code of its own (or the blank) is sounded, never replaced.
    for (const Shortcut& s : table) {
        if (s.key.empty()) continue;
        const auto k = static_cast<unsigned char>(s.key[0]);
        if (k != Blank && !morse.hasCode(k)) e.key[k] = true;
    }
    if (!e.key[c]) return false;
    e.expand(c);
    return true;
}

WalkResult walkFront(std::string& pendingText, const MorseTable& morse,
                     const ShortcutTable& shortcuts, MaskState& mask, bool fileModeOn,
                     std::string& currentCode) {
    if (pendingText.empty()) return WalkResult::Exhausted;
    const auto c = static_cast<unsigned char>(pendingText.front());
    if (static_cast<std::int32_t>(c) == mask.startChar && !mask.active) mask.active = true;
    if (mask.active && fileModeOn) {
        pendingText.erase(0, 1);
        if (static_cast<std::int32_t>(c) == mask.endChar) mask.active = false;
        return WalkResult::Skipped;
    }
    if (c == Blank || morse.hasCode(c)) {
        currentCode = morse[c];
        return WalkResult::Sound;
    }
    std::string expansion;
    if (expandShortcut(shortcuts, morse, c, expansion)) {
        pendingText.replace(0, 1, expansion);
    } else {
        pendingText.erase(0, 1);
    }
    return WalkResult::Skipped;
}

WalkResult walkStep(std::string& pendingText, const MorseTable& morse,
                    const ShortcutTable& shortcuts, MaskState& mask, bool fileModeOn,
                    std::string& currentCode) {
    // Expanded text holds no shortcut key any more (expandShortcut resolves them all), so
    // every skip shortens the unexpanded part of the queue: the walk ends.
    for (;;) {
        const WalkResult r =
            walkFront(pendingText, morse, shortcuts, mask, fileModeOn, currentCode);
        if (r != WalkResult::Skipped) return r;
    }
}

}  // namespace kb
