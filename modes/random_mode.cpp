// Stub: replaced by the random mode.

#include "modes/random_mode.h"

namespace kb {

RandomMode::RandomMode(TForm1& form) : f_(form) {
    (void)f_;
}

CharacterSet RandomMode::currentSet() const {
    return {0, FixedCharacterCount};
}

void RandomMode::MenuChoixCaracteresClick() {}

void RandomMode::clearPlayRequested() {}

void RandomMode::setQuickRandomEnabled(bool) {}

}  // namespace kb
