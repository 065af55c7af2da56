#pragma once
// The random-groups generator: characters drawn from a stretch of the character list, in
// groups of a fixed or random length, optionally led by a group of V's, kept to one kind
// of character (non-mixed) or shaped like amateur callsigns, with the count of a run.
// Plain state and rules, no Qt: the random mode drives it one character at a time as the
// sound ends, keybird-groups drives it in a loop, and both take the same draws from the
// same RandomInt, so a seed gives the same series in both. GUI thread (or a tool's only
// thread).

#include <string>
#include <string_view>

#include "core/morse.h"
#include "core/random_int.h"

namespace kb {

inline constexpr int MinWordLength = 2;
inline constexpr int MaxWordLength = 8;
inline constexpr int DefaultWordLength = 5;
// A refused candidate is drawn again at most this often; then the group's first
// character stands in, so impossible rules never block a run.
inline constexpr int MaxRefusedDraws = 1000;

struct GroupOptions {
    int wordLength = DefaultWordLength;  // the fixed length, 2..8
    bool randomLength = false;           // each group 2..8 long, drawn as it starts
    bool leadingV = false;               // the run opens with a group of V's
    bool nonMixed = false;               // a group keeps to the kind of its first character
    bool callsigns = false;              // groups shaped like callsigns (letters + figures)
};

class RandomGroups {
public:
    RandomGroups(const CharacterList& list, RandomInt& random) : list_(list), random_(random) {}

    // The slots drawn from (SetOffset, SetCount).
    CharacterSet set{0, FixedCharacterCount};
    GroupOptions options;

    // A run begins: the group starts afresh, the V group is due when asked for (five V's
    // with random lengths), else a random length is drawn; `count` characters to make.
    void startRun(int count);
    // The count starts again (a set change during a run): a fresh group, `count` to make.
    void restartCount(int count);
    // The next character of the group, lower case as the list holds it. The set must not
    // be empty.
    unsigned char next();
    // The end-of-group step: when the group is complete it starts afresh (a new length
    // drawn with random lengths) and true is returned.
    bool endGroup();
    // One character has ended: false when it was the run's last, else the count goes down.
    bool countDown();
    // The current group starts afresh (the memo was cleared).
    void resetGroup() { groupPosition_ = 0; }

    int groupPosition() const { return groupPosition_; }
    int wordLength() const { return wordLength_; }
    int remaining() const { return remaining_; }
    // A length shortened below the group under way ends that group at its next
    // character, rather than never.
    bool groupComplete() const { return groupPosition_ >= wordLength_; }
    // A new fixed length takes effect at once, for the group under way too.
    void setWordLength(int length) { wordLength_ = length; }

private:
    bool acceptable(int candidate);
    int drawLength() { return MinWordLength + static_cast<int>(random_(7)); }

    const CharacterList& list_;
    RandomInt& random_;
    int wordLength_ = DefaultWordLength;  // WordLength: of the group under way
    int groupPosition_ = 0;               // GroupPosition
    int groupFirst_ = 0;                  // GroupFirst
    int groupSecond_ = 0;                 // GroupSecond
    int vCount_ = NoMoreVs;               // VCount
    int remaining_ = 0;                   // RandomRemaining
    static constexpr int NoMoreVs = 10;
};

// The characters a chosen text gives, as the choice panel's OK takes them: "A".."Z" are
// lowered, and a character is kept when it is one of the list's standard or local
// characters or a special character; duplicates are kept (drawn more often). They are
// written to the chosen slots (at most MaxChosenCharacters); returns how many.
int acceptChosenCharacters(std::string_view text, CharacterList& list);

}  // namespace kb
