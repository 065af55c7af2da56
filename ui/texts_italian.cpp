#include "ui/texts.h"

namespace kb {

// Stub: replaced by the texts-italian branch (English words under this language's code).
const LanguageTexts& italianTexts() {
    static const LanguageTexts texts = [] {
        LanguageTexts t = englishTexts();
        t.language = Language::Italian;
        t.code = "I";
        t.helpFile = "KeybirdItalian.hlp";
        return t;
    }();
    return texts;
}

}  // namespace kb
