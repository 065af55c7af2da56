#include "app/settings_store.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <vector>

namespace kb {

namespace {

std::optional<std::string> env(const char* name) {
    const char* v = std::getenv(name);
    if (v == nullptr) return std::nullopt;
    return std::string(v);
}

bool nonEmpty(const std::optional<std::string>& v) {
    return v && !v->empty();
}

std::string describe(std::string_view what, const std::string& path, int err) {
    return std::string(what) + " " + path + ": " + std::strerror(err);
}

bool isDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// mkdir -p, new folders private to the user (as the XDG base directories want).
bool makeFolders(const std::string& path, std::string* error) {
    if (isDirectory(path)) return true;
    std::string partial;
    std::size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        partial = path.substr(0, pos);
        if (partial.empty() || isDirectory(partial)) continue;
        if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) {
            if (error) *error = describe("Cannot create folder", partial, errno);
            return false;
        }
    }
    if (!isDirectory(path)) {
        if (error) *error = describe("Not a folder:", path, ENOTDIR);
        return false;
    }
    return true;
}

std::string homeFolder(const SettingsLocationInputs& in) {
    if (nonEmpty(in.home)) return *in.home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr) {
        return pw->pw_dir;
    }
    return {};
}

std::string withoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

}  // namespace

SettingsLocationInputs settingsLocationFromEnvironment(std::string programFolder) {
    SettingsLocationInputs in;
    in.keybirdHome = env("KEYBIRD_HOME");
    in.xdgConfigHome = env("XDG_CONFIG_HOME");
    in.home = env("HOME");
    in.programFolder = std::move(programFolder);
    return in;
}

std::string executableFolder() {
    std::vector<char> buffer(4096);
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0) return {};
    std::string path(buffer.data(), static_cast<std::size_t>(n));
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {};
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string settingsFolder(const SettingsLocationInputs& in, std::string* error) {
    if (nonEmpty(in.keybirdHome)) {
        const std::string folder = withoutTrailingSlashes(*in.keybirdHome);
        return makeFolders(folder, error) ? folder : std::string();
    }
    // A program installed under a prefix (its data in ../share/keybird) keeps its
    // settings per user even where bin/ is writable, as in ~/.local/bin.
    const bool installed =
        !in.programFolder.empty() && isDirectory(in.programFolder + "/../share/keybird");
    if (!installed && !in.programFolder.empty() && isDirectory(in.programFolder) &&
        ::access(in.programFolder.c_str(), W_OK | X_OK) == 0) {
        return withoutTrailingSlashes(in.programFolder);
    }
    std::string base;
    // A relative XDG_CONFIG_HOME is invalid and is to be ignored.
    if (nonEmpty(in.xdgConfigHome) && in.xdgConfigHome->front() == '/') {
        base = *in.xdgConfigHome;
    } else {
        const std::string home = homeFolder(in);
        if (home.empty()) {
            if (error) *error = "No home folder for the settings file";
            return {};
        }
        base = withoutTrailingSlashes(home) + "/.config";
    }
    const std::string folder = withoutTrailingSlashes(base) + "/keybird";
    return makeFolders(folder, error) ? folder : std::string();
}

std::string settingsFilePath(std::string_view folder) {
    std::string path(folder);
    if (path.empty() || path.back() != '/') path.push_back('/');
    path.append(SettingsFileName);
    return path;
}

LoadedSettingsFile loadSettingsFile(const std::string& path) {
    LoadedSettingsFile result;
    // Only a regular file is opened at all: opening a device runs its driver (a serial
    // port raises DTR and RTS, which may key a transmitter), and a FIFO would wait for a
    // writer. The open itself is non-blocking too, for whatever replaces the file between
    // the look and the open; fstat below checks what was opened.
    struct stat before {};
    if (::stat(path.c_str(), &before) == 0 && !S_ISREG(before.st_mode)) {
        result.existed = true;
        const char* kind = S_ISDIR(before.st_mode)    ? "a folder"
                           : S_ISFIFO(before.st_mode) ? "a FIFO"
                           : S_ISSOCK(before.st_mode) ? "a socket"
                                                      : "a device";
        result.error = "Not a regular file but " + std::string(kind) + ": " + path;
        return result;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT && errno != ENOTDIR) {
            result.existed = true;
            result.error = describe("Cannot open", path, errno);
        }
        return result;
    }
    result.existed = true;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        result.error = describe("Cannot examine", path, errno);
        ::close(fd);
        return result;
    }
    if (!S_ISREG(st.st_mode)) {
        const char* kind = S_ISDIR(st.st_mode)    ? "a folder"
                           : S_ISFIFO(st.st_mode) ? "a FIFO"
                           : S_ISSOCK(st.st_mode) ? "a socket"
                                                  : "a device";
        result.error = "Not a regular file but " + std::string(kind) + ": " + path;
        ::close(fd);
        return result;
    }
    if (st.st_size > static_cast<off_t>(SettingsFileMaxBytes)) {
        result.error = describe("Too large to be a settings file:", path, EFBIG);
        ::close(fd);
        return result;
    }
    std::string bytes;
    char chunk[8192];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            result.error = describe("Cannot read", path, errno);
            ::close(fd);
            return result;
        }
        if (n == 0) break;
        bytes.append(chunk, static_cast<std::size_t>(n));
        // The file may grow while it is read.
        if (bytes.size() > SettingsFileMaxBytes) {
            result.error = describe("Too large to be a settings file:", path, EFBIG);
            ::close(fd);
            return result;
        }
    }
    ::close(fd);
    result.bytes = std::move(bytes);
    return result;
}

std::string keptSettingsFilePath(const std::string& path) {
    return path + ".bad";
}

int SettingsFileOps::makeTemp(char* pathTemplate) {
    return ::mkstemp(pathTemplate);
}
ssize_t SettingsFileOps::write(int fd, const void* data, std::size_t size) {
    return ::write(fd, data, size);
}
int SettingsFileOps::sync(int fd) {
    return ::fsync(fd);
}
int SettingsFileOps::chmod(int fd, mode_t mode) {
    return ::fchmod(fd, mode);
}
int SettingsFileOps::close(int fd) {
    return ::close(fd);
}
int SettingsFileOps::rename(const char* from, const char* to) {
    return ::rename(from, to);
}
int SettingsFileOps::unlink(const char* path) {
    return ::unlink(path);
}

SettingsFileOps& posixSettingsFileOps() {
    static SettingsFileOps ops;
    return ops;
}

bool saveSettingsFile(const std::string& path, std::string_view bytes, std::string* error,
                      SettingsFileOps& ops, bool keepOld) {
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".")
                               : slash == 0               ? std::string("/")
                                                          : path.substr(0, slash);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string tempPath = folder + "/." + name + ".XXXXXX";

    const int fd = ops.makeTemp(tempPath.data());
    if (fd < 0) {
        if (error) *error = describe("Cannot create a file in", folder, errno);
        return false;
    }
    bool open = true;
    const auto fail = [&](std::string_view what, const std::string* subject = nullptr) {
        const int err = errno;
        if (open) ops.close(fd);
        ops.unlink(tempPath.c_str());
        if (error) *error = describe(what, subject ? *subject : tempPath, err);
        return false;
    };

    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ops.write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            return fail("Cannot write");
        }
        done += static_cast<std::size_t>(n);
    }
    if (ops.sync(fd) != 0) return fail("Cannot flush");
    if (ops.chmod(fd, 0444) != 0) return fail("Cannot make read-only");
    open = false;
    if (ops.close(fd) != 0) return fail("Cannot close");
    const std::string kept = keptSettingsFilePath(path);
    const std::string keptNew = kept + ".new";
    bool linked = false;
    bool setAside = false;
    if (keepOld) {
        // The old file stays the user's. It gets a second name first, so that an older
        // .bad is replaced only once the new file is in place; where the folder allows no
        // hard link it moves aside instead. Anything but its absence stops the save
        // rather than overwrite it.
        ::unlink(keptNew.c_str());
        if (::link(path.c_str(), keptNew.c_str()) == 0) {
            linked = true;
        } else if (errno == ENOENT) {
            // Gone meanwhile: nothing to keep.
        } else if (ops.rename(path.c_str(), kept.c_str()) == 0) {
            setAside = true;
        } else if (errno != ENOENT) {
            return fail("Nothing written: cannot move aside", &path);
        }
    }
    if (ops.rename(tempPath.c_str(), path.c_str()) != 0) {
        const int err = errno;
        if (linked) ::unlink(keptNew.c_str());
        if (setAside && ops.rename(kept.c_str(), path.c_str()) != 0) {
            std::cerr << "keybird: the settings file that was not read is now " << kept << "\n";
        }
        errno = err;
        return fail("Cannot rename");
    }
    if (linked && ops.rename(keptNew.c_str(), kept.c_str()) != 0) {
        std::cerr << "keybird: the settings file that was not read is kept as " << keptNew << "\n";
    }

    // Make the rename itself durable; the new file is in place whatever this gives.
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

}  // namespace kb
