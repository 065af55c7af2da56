#pragma once
// The text-file mode: PanelFile with the file's text (FileEdit), opening a file, Play,
// Resume, the highlight of the played part, Hide/Show, and the file buttons of the
// controls group. GUI thread only.
// Stub: replaced by the file-mode branch.

#include "modes/mode.h"

namespace kb {

class TForm1;

class FileMode final : public Mode {
public:
    explicit FileMode(TForm1& form);
    ~FileMode() override;

    // A file is loaded: the first line of FileEdit is not "MemoFile".
    bool fileLoaded() const;
    // The three-way rule of the file buttons: no file, both disabled and Play shown; a
    // stopped file, only Resume; otherwise only Play.
    void refreshFileButtons();

private:
    TForm1& f_;
};

}  // namespace kb
