#include "modes/file_mode.h"

#include "ui/form1.h"

namespace kb {

// Stub: replaced by the file-mode branch.
FileMode::FileMode(TForm1& form) : f_(form) {}

FileMode::~FileMode() = default;

bool FileMode::fileLoaded() const { return false; }

void FileMode::refreshFileButtons() {}

}  // namespace kb
