#include "ui/text_save.h"

#include <QSaveFile>

namespace kb {

bool writeCrLfTextFile(const QString& path, const std::vector<std::string>& lines, QString& error) {
    std::string bytes;
    for (const std::string& line : lines) {
        bytes += line;
        bytes += "\r\n";
    }
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) &&
        file.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
            static_cast<qint64>(bytes.size()) &&
        file.commit()) {
        return true;
    }
    // Uncommitted, the temporary file goes with `file`.
    error = file.errorString();
    return false;
}

}  // namespace kb
