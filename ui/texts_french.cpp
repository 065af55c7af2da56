#include "ui/texts.h"

namespace kb {

// Stub: replaced by the texts-french branch (English words under this language's code).
const LanguageTexts& frenchTexts() {
    static const LanguageTexts texts = [] {
        LanguageTexts t = englishTexts();
        t.language = Language::French;
        t.code = "F";
        t.helpFile = "Keybirdfrench.hlp";
        return t;
    }();
    return texts;
}

}  // namespace kb
