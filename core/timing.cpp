#include "core/timing.h"

#include <cmath>
#include <cstdio>

namespace kb {

ElementDurations elementDurations(Real sf, int weightRatio) {
    const Real base = static_cast<Real>(ToneTableFrames) / sf;
    ElementDurations d;
    d.dash = static_cast<int>(2 * nearest(base));
    d.dot = static_cast<int>(2 * nearest(base / static_cast<Real>(weightRatio)));
    d.gap = static_cast<int>(2 * nearest(base / 3.0L));
    return d;
}

Real effectiveSpeed(int speed, int spacing, int wordSpacingFactor) {
    return static_cast<Real>(speed) * 49.0L /
           static_cast<Real>(15 * spacing + 3 * wordSpacingFactor + 31);
}

int charGapCount(CharGapKind kind, int spacing, int wordSpacingFactor) {
    switch (kind) {
        case CharGapKind::Quiz: return 2;
        case CharGapKind::GroupEnd: return 3 * wordSpacingFactor + charGapUnits(spacing);
        case CharGapKind::Normal: break;
    }
    return charGapUnits(spacing);
}

int characterDuration(std::string_view code, const ElementDurations& d, int trailingGaps) {
    int n = 0;
    for (char e : code) n += (e == '-' ? d.dash : d.dot) + d.gap;
    return n + trailingGaps * d.gap;
}

std::string formatOneDecimal(Real value, char decimalPoint) {
    const Real tenths = std::floor(std::fabs(value) * 10.0L + 0.5L);
    const long long t = static_cast<long long>(tenths);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%s%lld%c%lld", (value < 0 && t != 0) ? "-" : "", t / 10,
                  decimalPoint, t % 10);
    return buf;
}

std::string realSpeedText(const SummaryWords& words, Real eff) {
    return words.realSpeedPrefix + formatOneDecimal(eff, words.decimalPoint);
}

std::string fileSummaryText(const SummaryWords& words, int spacing, Real eff) {
    return words.spacingBetweenCharacters + "=" + std::to_string(spacing) + " / " +
           realSpeedText(words, eff);
}

std::string randomSummaryText(const SummaryWords& words, const GroupSummary& group, int spacing,
                              Real eff) {
    std::string s = words.wordLength;
    s += group.randomLength ? words.randomLength : std::to_string(group.wordLength);
    s += " / ";
    s += group.leadingVs ? words.leadingVs : words.noLeadingVs;
    s += " / ";
    switch (group.content) {
        case GroupContent::NonMixed: s += words.nonMixed; break;
        case GroupContent::Callsigns: s += words.callsigns; break;
        case GroupContent::Mixed: s += words.mixed; break;
    }
    return s + " / " + fileSummaryText(words, spacing, eff);
}

int spacingAfterSpeedChange(int speed, int spacing, int wordSpacingFactor) {
    // Each step back re-runs the spacing handler, which checks again: so the spacing falls
    // until the real speed is 5 or more, or it reaches 1.
    while (spacing > MinSpacing && effectiveSpeed(speed, spacing, wordSpacingFactor) < 5.0L) {
        --spacing;
    }
    return spacing;
}

}  // namespace kb
