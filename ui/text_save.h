#pragma once
// A memo saved as a text file: Windows-1252 lines, each ended by CR LF. The file is
// written beside its final name and renamed over it only once complete, so a full disk or
// a lost device never leaves half a file, nor destroys the one it was to replace.

#include <QString>
#include <string>
#include <vector>

namespace kb {

// The lines (already Windows-1252) to `path`. On failure false, with the reason in `error`
// and the file at `path` as it was.
bool writeCrLfTextFile(const QString& path, const std::vector<std::string>& lines, QString& error);

}  // namespace kb
