#include "ui/texts.h"

#include <string_view>

namespace kb {

const LanguageTexts& languageTexts(Language lang) {
    switch (lang) {
        case Language::French: return frenchTexts();
        case Language::German: return germanTexts();
        case Language::Italian: return italianTexts();
        case Language::Portuguese: return portugueseTexts();
        case Language::Spanish: return spanishTexts();
        case Language::English: break;
    }
    return englishTexts();
}

std::optional<Language> languageFromCode(char code) {
    constexpr std::string_view Codes = "EFDIPS";  // in the order of AllLanguages
    const std::size_t k = Codes.find(code);
    if (code == '\0' || k == std::string_view::npos) return std::nullopt;
    return AllLanguages[k];
}

}  // namespace kb
