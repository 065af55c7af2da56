#pragma once
// Where keybird.dat lives and how it reaches the disk. POSIX, no Qt; GUI thread only.
//
// Location, first that applies:
//   1. $KEYBIRD_HOME, the folder named outright (tests, portable installs);
//   2. the program's own folder when it is writable (portable use, beside the program);
//   3. $XDG_CONFIG_HOME/keybird/ ($XDG_CONFIG_HOME defaults to ~/.config).
// The folder is created when missing.
//
// Saving never loses the old file: the bytes go to a temporary file in the same folder,
// which is flushed to disk, made read-only (0444, as keybird.dat has always been) and only
// then renamed over keybird.dat. On any failure the temporary file is removed, the old
// keybird.dat stays as it was, byte for byte, and the call reports the failure (the main
// window then shows MsgCannotCreateSettings). Renaming over a read-only file needs only a
// writable folder.

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

namespace kb {

inline constexpr std::string_view SettingsFileName = "keybird.dat";

// A file larger than this is no settings file of ours; it is not read (and is kept aside,
// not overwritten, when the new file is written).
inline constexpr std::size_t SettingsFileMaxBytes = 4 * 1024 * 1024;

struct SettingsLocationInputs {
    std::optional<std::string> keybirdHome;    // $KEYBIRD_HOME
    std::optional<std::string> xdgConfigHome;  // $XDG_CONFIG_HOME
    std::optional<std::string> home;           // $HOME
    std::string programFolder;                 // the folder holding the executable
};

// The inputs from the process environment, with the given program folder.
SettingsLocationInputs settingsLocationFromEnvironment(std::string programFolder);

// The folder of the running executable (/proc/self/exe resolved), empty if unknown.
std::string executableFolder();

// The folder that holds keybird.dat, created when missing. Empty, with a reason in
// *error, when no folder can be found or made.
std::string settingsFolder(const SettingsLocationInputs& in, std::string* error = nullptr);

// folder + "/keybird.dat".
std::string settingsFilePath(std::string_view folder);

struct LoadedSettingsFile {
    bool existed = false;  // SettingsFileExisted
    std::string bytes;     // the whole file when it existed and could be read
    std::string error;     // why an existing file could not be read (then bytes is empty)
};

// Reads the whole file. A missing file is not an error: existed stays false. Anything
// but a regular file (a FIFO, a device, a folder) is an error without being read, and
// nothing here ever waits for a writer.
LoadedSettingsFile loadSettingsFile(const std::string& path);

// Where a keybird.dat that was not read is kept when a new one is written: path + ".bad".
std::string keptSettingsFilePath(const std::string& path);

// The low-level calls of saveSettingsFile, one virtual each so that a test can make any
// of them fail. Each returns what the POSIX call of the same name returns and sets errno.
class SettingsFileOps {
public:
    virtual ~SettingsFileOps() = default;
    virtual int makeTemp(char* pathTemplate);  // mkstemp
    virtual ssize_t write(int fd, const void* data, std::size_t size);
    virtual int sync(int fd);                // fsync
    virtual int chmod(int fd, mode_t mode);  // fchmod
    virtual int close(int fd);
    virtual int rename(const char* from, const char* to);
    virtual int unlink(const char* path);
};

// The real calls.
SettingsFileOps& posixSettingsFileOps();

// Writes bytes to path safely (see above). Returns false, with a reason in *error, when
// the new file could not be put in place; the old file is then untouched. With keepOld,
// an existing file at path (one that was not read: too large, unreadable, no settings
// file) is renamed to keptSettingsFilePath(path), replacing an older one, just before the
// new file takes its place; if it cannot be moved aside nothing is written, and if the
// new file then cannot be put in place the old one returns to path.
bool saveSettingsFile(const std::string& path, std::string_view bytes, std::string* error = nullptr,
                      SettingsFileOps& ops = posixSettingsFileOps(), bool keepOld = false);

}  // namespace kb
