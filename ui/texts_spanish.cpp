#include "ui/texts.h"

namespace kb {

// Stub: replaced by the texts-spanish branch (English words under this language's code).
const LanguageTexts& spanishTexts() {
    static const LanguageTexts texts = [] {
        LanguageTexts t = englishTexts();
        t.language = Language::Spanish;
        t.code = "S";
        t.helpFile = "KeybirdSpanish.hlp";
        return t;
    }();
    return texts;
}

}  // namespace kb
