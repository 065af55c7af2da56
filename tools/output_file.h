#pragma once
// Where keybird-render's files go. A regular file is written beside its final name and
// renamed into place only when complete, so a failure or an interruption never leaves a
// partial file that looks finished, and the file it replaces keeps its mode. A symbolic
// link is followed, so its target is what gets replaced. A pipe or a character device
// (standard output, a FIFO, /dev/null) is written straight through: renaming over it
// would destroy it. Anything else (a directory, a socket, a block device) is refused
// before any sound is made.

#include <sys/types.h>

#include <optional>
#include <string>

namespace kb::render {

struct OutputTarget {
    enum class Kind {
        Replace,         // a regular file, or a name that does not exist yet
        Direct,          // a FIFO or a character device, opened and written as it is
        StandardOutput,  // "-"
    };
    Kind kind = Kind::Replace;
    std::string path;            // after symbolic links; empty for standard output
    std::string shown;           // the name as the user gave it, for messages
    std::optional<mode_t> mode;  // an existing regular file's permission bits
    uid_t owner = 0;             // and its owner, given back when root replaces it
    gid_t group = 0;
};

// Resolves the name the user gave. Returns nothing and sets `error` (a sentence without
// the program name) when the target can not or must not be written.
std::optional<OutputTarget> resolveOutput(const std::string& name, std::string& error);

// One file being written. Signals that end the program (Ctrl+C, a closed terminal, kill)
// remove the temporary first.
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool open(const OutputTarget& target, std::string& error);
    int fd() const { return fd_; }
    // A file that can be written back into (not a pipe or a terminal).
    bool seekable() const;
    // Makes the file final: flushed to the disk and renamed into place. On failure the
    // temporary is removed and any file of that name is left as it was.
    bool commit(std::string& error);
    // Drops what was written (a temporary is removed; a pipe simply ends).
    void abandon();

private:
    OutputTarget target_;
    std::string temporary_;
    int fd_ = -1;
};

// Writes all of buf, retrying after interruptions. False with errno set on failure.
bool writeAll(int fd, const void* buf, std::size_t n);

}  // namespace kb::render
