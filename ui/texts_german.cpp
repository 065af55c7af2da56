#include "ui/texts.h"

namespace kb {

// Stub: replaced by the texts-german branch (English words under this language's code).
const LanguageTexts& germanTexts() {
    static const LanguageTexts texts = [] {
        LanguageTexts t = englishTexts();
        t.language = Language::German;
        t.code = "D";
        t.helpFile = "Keybirddeutsch.hlp";
        return t;
    }();
    return texts;
}

}  // namespace kb
