#pragma once
// The Morse character table, the character lists the training modes draw from, the
// shortcut table, and the walk that takes the next sounded character off the text queue.
// Plain data, no Qt: the GUI thread owns every instance.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kb {

// A code is a string of '.' and '-'; empty means the character has no code.
class MorseTable {
public:
    MorseTable();  // the built-in contents

    const std::string& operator[](unsigned char c) const { return codes_[c]; }
    const std::string& code(unsigned char c) const { return codes_[c]; }
    void set(unsigned char c, std::string code) { codes_[c] = std::move(code); }
    bool hasCode(unsigned char c) const { return !codes_[c].empty(); }

    // A local character's code from its definition: the '.' and '-' found in it, in
    // order. Stored under the character and under both its case forms.
    void defineLocal(unsigned char c, std::string_view definition);

private:
    std::array<std::string, 256> codes_;
};

// The four procedural signs live at codes 1..4; the alphabet list queues these codes.
inline constexpr unsigned char WaitSign = 1;
inline constexpr unsigned char ErrorSign = 2;
inline constexpr unsigned char TransmitSign = 3;
inline constexpr unsigned char EndOfWorkSign = 4;

// Slots of the character list: 44 fixed entries, up to 26 local characters, up to 70
// chosen characters.
inline constexpr int FixedCharacterCount = 44;
inline constexpr int LocalCharacterSlot = 44;
inline constexpr int MaxLocalCharacters = 26;
inline constexpr int ChosenCharacterSlot = 71;
inline constexpr int MaxChosenCharacters = 70;
inline constexpr int CharacterListSize = 141;

struct CharacterList {
    CharacterList();  // fixed entries filled, the rest 0
    std::array<std::int32_t, CharacterListSize> entries{};
    int localCount = 0;  // LocalCharacterCount

    // Appends a local character (held lower-case when it has a lower-case form).
    // Returns false when the 26 local slots are full.
    bool addLocal(unsigned char c);
    void clearLocal();
};

// A (first slot, count) stretch of the character list.
struct CharacterSet {
    int first = 0;
    int count = 0;
};

enum class CharacterClass { Letters, Figures, Stops, Local, LettersFigures, All, Chosen };
CharacterSet characterSet(CharacterClass cls, int localCount, int chosenCount);

// The further characters offered when composing a chosen set.
inline constexpr std::string_view SpecialCharacterList = "!():;<>@";

inline constexpr int ShortcutSlots = 26;
inline constexpr std::size_t ShortcutTextMax = 36;

struct Shortcut {
    std::string key;   // one character, empty when the slot is free
    std::string text;  // at most ShortcutTextMax characters

    bool operator==(const Shortcut&) const = default;
};
using ShortcutTable = std::array<Shortcut, ShortcutSlots>;

// A shortcut key's replacement, with every key inside it replaced in turn. A key met
// again inside its own expansion (directly or through other shortcuts) is dropped there,
// the result is cut at ExpansionMax characters and at most ExpansionReadMax characters of
// shortcut text are read, so expansion always ends, and ends quickly even when keys
// expand into further keys that sound nothing. When several slots carry the key, the
// later slot's text comes first. Code-less characters that are no key stay in the result
// (the walk drops them, and a masked stretch's delimiters keep their meaning). Returns
// false when c is no slot's key.
inline constexpr std::size_t ExpansionMax = 4096;
inline constexpr std::size_t ExpansionReadMax = 8 * ExpansionMax;
bool expandShortcut(const ShortcutTable& table, const MorseTable& morse, unsigned char c,
                    std::string& out);

// The masked stretch of a played text file.
struct MaskState {
    std::int32_t startChar = -1;  // MaskStartChar, -1 none
    std::int32_t endChar = -1;    // MaskEndChar, -1 none
    bool active = false;          // MaskActive
};

inline constexpr std::string_view InitialCurrentCode = "..--..";
inline constexpr unsigned char Blank = 32;

enum class WalkResult { Sound, Exhausted, Skipped };

// One pass of the walk over the front character: Sound (its code, empty for a blank,
// goes to currentCode; it stays at the front), Skipped (it was taken off the front, or a
// shortcut key was replaced there by its expansion) or Exhausted (the queue is empty).
// The playback engine calls this per character so that skipped characters count in the
// replay highlight.
WalkResult walkFront(std::string& pendingText, const MorseTable& morse,
                     const ShortcutTable& shortcuts, MaskState& mask, bool fileModeOn,
                     std::string& currentCode);

// One walk step over the text queue: drops code-less characters (expanding shortcut
// keys in place) and masked stretches of file text from its front until the front
// character is to be sounded (its code, empty for a blank, goes to currentCode) or the
// queue is empty. The sounded character stays at the front.
WalkResult walkStep(std::string& pendingText, const MorseTable& morse,
                    const ShortcutTable& shortcuts, MaskState& mask, bool fileModeOn,
                    std::string& currentCode);

}  // namespace kb
