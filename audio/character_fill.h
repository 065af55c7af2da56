#pragma once
// One character's sound, decided once for every place that makes it: the playback engine,
// keybird-render and the wave recorder. The trailing gap follows from the character and
// the gap kind, noise and fading from the band conditions, and the keying schedule from
// the same durations as the sound, so what is keyed always matches what is heard.
// Qt-free; called on the GUI thread (or a tool's only thread).

#include <string_view>

#include "audio/noise.h"
#include "audio/synthesis.h"
#include "core/random_int.h"
#include "core/timing.h"
#include "keying/keying_schedule.h"

namespace kb {

// Everything besides its code that shapes a character, read afresh for each one so a
// change of speed or spacing takes effect at the next character.
struct CharacterSettings {
    int speed = 12;  // wpm; also paces the fading cycle
    int weightRatio = 3;
    int spacing = 1;  // character spacing
    int wordSpacingFactor = 1;
    CharGapKind gapKind = CharGapKind::Normal;
    bool noise = false;   // noise under the tone and in the gaps
    bool fading = false;  // a fading gain on the tone
};

// The element gaps after a character's last element gap; a blank is only these.
int trailingGapCount(bool blank, const CharacterSettings& s);

// What the fill draws on: the tone and noise tables, the generator the noise draws its
// gap values from, and the fading cycle.
struct CharacterSources {
    const SoundTables& tables;
    RandomInt& random;
    Fading& fading;
};

// Fills `buffer` with the character whose code is `code` (a blank when `blank`), and
// `schedule` with its keying when `keyingActive` (a blank is never keyed). Returns the
// used length in values.
int fillOneCharacter(CharBuffer& buffer, KeyingSchedule& schedule, bool keyingActive,
                     const CharacterSources& sources, std::string_view code, bool blank,
                     const CharacterSettings& settings);

}  // namespace kb
