#pragma once
// How long everything lasts. Vocabulary used throughout Keybird:
//   duration  - a length of sound or silence, in 16-bit sample values of the two-channel
//               22050 Hz output (two values per frame), so always even;
//   element   - one dot or dash; element gap - the silence after each element;
//   character gap - the further element gaps after a character's last element gap;
//   word gap  - the element gaps a blank adds;
//   weight    - the dash:dot ratio (3, 4 or 5); it changes the dot only.

#include <string>
#include <string_view>

#include "core/nearest.h"

namespace kb {

inline constexpr int ToneTableFrames = 30000;  // also the time base of all durations
inline constexpr int OutputRate = 22050;       // frames per second
inline constexpr int MinSpeed = 5;
inline constexpr int MaxSpeed = 50;
inline constexpr int MinSpacing = 1;
inline constexpr int MaxSpacing = 30;

// The timing settings the user controls.
struct TimingSettings {
    int speed = 12;             // wpm, 5..50
    int spacing = 1;            // character spacing, 1..30
    int wordSpacingFactor = 1;  // 1..4
    int weightRatio = 3;        // 3, 4 or 5
};

inline Real speedFactor(int speed) {
    return static_cast<Real>(speed) / 2.5L;
}

// Durations of one element, in sample values.
struct ElementDurations {
    int dash = 0;
    int dot = 0;
    int gap = 0;
};
ElementDurations elementDurations(Real speedFactor, int weightRatio);

inline int charGapUnits(int spacing) {
    return 3 * spacing - 1;
}

// The real speed, word gaps and character spacing included.
Real effectiveSpeed(int speed, int spacing, int wordSpacingFactor);

// Which character gap follows a character.
enum class CharGapKind {
    Normal,    // CharGapUnits element gaps
    Quiz,      // always 2 during a quiz, whatever the spacing
    GroupEnd,  // last character of a random group: the word gap follows it
};
// The element gaps (g) after the last element's own gap.
int charGapCount(CharGapKind kind, int spacing, int wordSpacingFactor);
// The element gaps of a blank.
inline int blankGapCount(int wordSpacingFactor) {
    return 3 * wordSpacingFactor;
}

// Duration of a whole character (elements, element gaps, character gap) in values.
int characterDuration(std::string_view code, const ElementDurations& d, int trailingGaps);

// Fixed notation with one decimal, halves away from zero ("11.3").
std::string formatOneDecimal(Real value, char decimalPoint = '.');

// The words of the current language used in the speed texts.
struct SummaryWords {
    std::string realSpeedPrefix = "Real speed (wpm) = ";
    std::string spacingBetweenCharacters = "Spacing between characters";
    std::string wordLength = "Word length= ";
    std::string randomLength = "Random";
    std::string leadingVs = "Leading Vs";
    std::string noLeadingVs = "No leading Vs";
    std::string nonMixed = "Non-mixed characters";
    std::string callsigns = "Callsigns";
    std::string mixed = "Mixed Characters";
    // Not a word, but the reader's: the decimal separator of the real speed.
    char decimalPoint = '.';
};

std::string realSpeedText(const SummaryWords& words, Real effectiveSpeed);

// The file panel's summary: "Spacing between characters=1 / Real speed (wpm) = 12.0".
std::string fileSummaryText(const SummaryWords& words, int spacing, Real effectiveSpeed);

// The random panel's summary.
enum class GroupContent { Mixed, NonMixed, Callsigns };
struct GroupSummary {
    int wordLength = 5;
    bool randomLength = false;
    bool leadingVs = false;
    GroupContent content = GroupContent::Mixed;
};
std::string randomSummaryText(const SummaryWords& words, const GroupSummary& group, int spacing,
                              Real effectiveSpeed);

// The speed-change rule: while the real speed would fall below 5 wpm, the character
// spacing steps back. Returns the spacing to use.
int spacingAfterSpeedChange(int speed, int spacing, int wordSpacingFactor);

}  // namespace kb
