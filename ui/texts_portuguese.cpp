#include "ui/texts.h"

namespace kb {

// Stub: replaced by the texts-portuguese branch (English words under this language's code).
const LanguageTexts& portugueseTexts() {
    static const LanguageTexts texts = [] {
        LanguageTexts t = englishTexts();
        t.language = Language::Portuguese;
        t.code = "P";
        t.helpFile = "KeybirdPortugues.hlp";
        return t;
    }();
    return texts;
}

}  // namespace kb
