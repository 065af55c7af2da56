#include "audio/character_fill.h"

namespace kb {

int trailingGapCount(bool blank, const CharacterSettings& s) {
    if (blank) return blankGapCount(s.wordSpacingFactor);
    return charGapCount(s.gapKind, s.spacing, s.wordSpacingFactor);
}

int fillOneCharacter(CharBuffer& buffer, KeyingSchedule& schedule, bool keyingActive,
                     const CharacterSources& sources, std::string_view code, bool blank,
                     const CharacterSettings& settings) {
    const ElementDurations d = elementDurations(speedFactor(settings.speed), settings.weightRatio);
    FillEffects fx;
    if (settings.noise) {
        fx.noise = &sources.tables.noise();
        fx.random = &sources.random;
        fx.noiseParams = sources.tables.noiseParams();
    }
    if (settings.fading && !blank) {
        fx.fading = true;
        fx.fadingGain = sources.fading.nextGain(settings.speed);
    }
    const std::string_view sounded = blank ? std::string_view{} : code;
    const int n = fillCharacter(buffer, sources.tables.tone(), sounded, d,
                                trailingGapCount(blank, settings), fx);
    schedule = buildKeyingSchedule(sounded, d, keyingActive);
    return n;
}

}  // namespace kb
