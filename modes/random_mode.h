#pragma once
// Stub: replaced by the random mode.
// Only what the quiz asks of the random mode: the current character set (All until the
// random mode's menus exist), the choice panel's opening and the two switches the quiz
// selection turns off. GUI thread only.

#include "core/morse.h"
#include "modes/mode.h"

namespace kb {

class TForm1;

class RandomMode final : public Mode {
public:
    explicit RandomMode(TForm1& form);

    // The set the random groups and the quiz draw from.
    CharacterSet currentSet() const;
    // Opens the character-choice panel.
    void MenuChoixCaracteresClick();
    // Forgets a pending request to play random groups.
    void clearPlayRequested();
    // MenuQuickRandom.
    void setQuickRandomEnabled(bool on);

private:
    TForm1& f_;
};

}  // namespace kb
