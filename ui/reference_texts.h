#pragma once
// The language-dependent rows of the three reference lists, one table per language:
// the headings, underlines, continuation, explanation and pointer rows of the alphabet
// list (written by ListingHeadingRows), the Q-code rows and the abbreviation rows. The
// character rows of the alphabet list are the same in every language and are built from
// the Morse table instead. Strings are UTF-8; every one is representable in Windows-1252.
// Plain data, no Qt.

#include <array>

#include "ui/texts.h"

namespace kb {

inline constexpr int ListingHeadingCount = 23;
inline constexpr int QCodeCount = 30;
inline constexpr int AbbreviationCount = 64;

// Row of the alphabet list that heading entry k goes to, in every language.
inline constexpr std::array<int, ListingHeadingCount> ListingHeadingRows = {
    0, 1, 30, 31, 32, 46, 47, 55, 61, 62, 63, 65, 67, 69, 71, 92, 93, 94, 95, 123, 124, 125, 126};

struct ReferenceTexts {
    Language language;
    std::array<const char*, ListingHeadingCount> ListingHeadings;
    std::array<const char*, QCodeCount> QCodeTexts;                // row i of ListCodeQ
    std::array<const char*, AbbreviationCount> AbbreviationTexts;  // row i of ListAbreviations
};

const ReferenceTexts& referenceTexts(Language lang);

}  // namespace kb
