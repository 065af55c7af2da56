#include "tools/output_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace kb::render {
namespace {

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string quoted(const std::string& s) {
    return std::string("'").append(s).append("'");
}

// The temporary being written, for the signal handler.
char gTemporary[4096];

extern "C" void removeTemporaryAndDie(int sig) {
    if (gTemporary[0] != '\0') ::unlink(gTemporary);
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}

constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE};

// Signals held off while the temporary's name is recorded or forgotten.
class SignalsHeld {
public:
    SignalsHeld() {
        sigset_t set;
        sigemptyset(&set);
        for (int sig : kCleanupSignals) sigaddset(&set, sig);
        sigprocmask(SIG_BLOCK, &set, &old_);
    }
    ~SignalsHeld() { sigprocmask(SIG_SETMASK, &old_, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t old_;
};

void setTemporary(const std::string& path) {
    SignalsHeld held;
    const std::size_t n = std::min(path.size(), sizeof gTemporary - 1);
    std::memcpy(gTemporary, path.data(), n);
    gTemporary[n] = '\0';
}

void installCleanupHandlers() {
    static bool installed = false;
    if (std::exchange(installed, true)) return;
    struct sigaction sa {};
    sa.sa_handler = removeTemporaryAndDie;
    sigemptyset(&sa.sa_mask);
    for (int sig : kCleanupSignals) {
        struct sigaction old {};
        // A signal the caller chose to ignore (nohup, a background job) stays ignored.
        if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
        sigaction(sig, &sa, nullptr);
    }
}

// A new file goes into an existing folder this user can add to.
bool folderTakesNewFile(const std::string& path, const std::string& shown, std::string& error) {
    const std::string folder = folderOf(path);
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) {
        error = std::string("cannot write ").append(quoted(shown)).append(": folder ");
        error.append(quoted(folder)).append(": ").append(std::strerror(errno));
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        error = std::string("cannot write ").append(quoted(shown)).append(": ");
        error.append(quoted(folder)).append(" is not a folder");
        return false;
    }
    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
        error = std::string("cannot write ").append(quoted(shown)).append(": folder ");
        error.append(quoted(folder)).append(": ").append(std::strerror(errno));
        return false;
    }
    return true;
}

}  // namespace

bool writeAll(int fd, const void* buf, std::size_t n) {
    const char* p = static_cast<const char*>(buf);
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

std::optional<OutputTarget> resolveOutput(const std::string& name, std::string& error) {
    OutputTarget t;
    t.shown = name;
    if (name == "-") {
        if (::isatty(STDOUT_FILENO)) {
            error =
                "standard output is a terminal; send it to a file or a program (> FILE, "
                "| PROGRAM) or give -o FILE";
            return std::nullopt;
        }
        t.kind = OutputTarget::Kind::StandardOutput;
        return t;
    }
    const auto fail = [&](const std::string& why) {
        error = std::string("cannot write ").append(quoted(name)).append(": ").append(why);
        return std::nullopt;
    };
    if (name.empty()) return fail("empty file name");
    // A pipe or a terminal reached through /dev/stdout or /proc/self/fd is opened by the
    // name given: its link target ("pipe:[123]") names nothing.
    if (struct stat st{};
        ::stat(name.c_str(), &st) == 0 && (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode))) {
        if (::access(name.c_str(), W_OK) != 0) return fail(std::strerror(errno));
        t.kind = OutputTarget::Kind::Direct;
        t.path = name;
        return t;
    }
    std::string path = name;
    // Followed by hand rather than through realpath(), which refuses a link whose target
    // does not exist yet: such a link names the file to create.
    for (int hops = 0;; ++hops) {
        if (hops > 40) return fail(std::strerror(ELOOP));
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) {
            if (errno != ENOENT) return fail(std::strerror(errno));
            if (!folderTakesNewFile(path, name, error)) return std::nullopt;
            t.path = path;
            return t;
        }
        if (S_ISLNK(st.st_mode)) {
            std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4096) + 1,
                               '\0');
            const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
            if (n < 0) return fail(std::strerror(errno));
            target.resize(static_cast<std::size_t>(n));
            path = target.starts_with('/') ? target : folderOf(path).append("/").append(target);
            continue;
        }
        t.path = path;
        if (S_ISREG(st.st_mode)) {
            // A file made read-only is kept, even from root: write-protecting a finished
            // recording is a deliberate act.
            if ((st.st_mode & 0222) == 0) {
                return fail("it is read-only (make it writable to replace it)");
            }
            if (::access(path.c_str(), W_OK) != 0) return fail(std::strerror(errno));
            if (!folderTakesNewFile(path, name, error)) return std::nullopt;
            // Never the set-id bits: the new file may belong to whoever writes it.
            t.mode = st.st_mode & 0777;
            t.owner = st.st_uid;
            t.group = st.st_gid;
            return t;
        }
        if (S_ISDIR(st.st_mode)) {
            return fail("it is a folder; give a file name inside it (-o FOLDER/NAME.wav)");
        }
        if (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode)) {
            if (::access(path.c_str(), W_OK) != 0) return fail(std::strerror(errno));
            t.kind = OutputTarget::Kind::Direct;
            return t;
        }
        if (S_ISBLK(st.st_mode))
            return fail("it is a disk device; sound is not written over a disk");
        if (S_ISSOCK(st.st_mode)) return fail("it is a socket, which a file cannot be written to");
        return fail("it is neither a file, a pipe nor a character device");
    }
}

bool OutputFile::seekable() const {
    return fd_ >= 0 && ::lseek(fd_, 0, SEEK_CUR) >= 0;
}

OutputFile::~OutputFile() {
    abandon();
}

bool OutputFile::open(const OutputTarget& target, std::string& error) {
    abandon();
    target_ = target;
    const auto fail = [&](int err) {
        error = std::string("cannot write '").append(target.shown).append("': ");
        error.append(std::strerror(err));
        return false;
    };
    switch (target.kind) {
        case OutputTarget::Kind::StandardOutput: fd_ = STDOUT_FILENO; return true;
        case OutputTarget::Kind::Direct:
            fd_ = ::open(target.path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
            return fd_ >= 0 || fail(errno);
        case OutputTarget::Kind::Replace: break;
    }
    // A short name beside the file: the final name may already be as long as names go.
    std::string tmp = folderOf(target.path).append("/.keybird-XXXXXX");
    if (tmp.size() >= sizeof gTemporary) return fail(ENAMETOOLONG);
    installCleanupHandlers();
    int openError = 0;
    {
        SignalsHeld held;
        fd_ = ::mkostemp(tmp.data(), O_CLOEXEC);
        openError = errno;
        if (fd_ >= 0) setTemporary(tmp);
    }
    if (fd_ < 0) return fail(openError);
    temporary_ = tmp;
    // mkstemp makes 0600; the file gets the mode of the one it replaces, or the mode a
    // new file of this user gets.
    mode_t mode = 0;
    if (target.mode) {
        mode = *target.mode;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (::fchmod(fd_, mode) != 0) {
        const int err = errno;
        abandon();
        return fail(err);
    }
    // Only root can give the file back to its owner; anyone else makes it their own, as
    // any editor saving a copy would.
    if (target.mode && ::geteuid() == 0 && ::fchown(fd_, target.owner, target.group) != 0) {
        const int err = errno;
        abandon();
        return fail(err);
    }
    return true;
}

bool OutputFile::commit(std::string& error) {
    const auto fail = [&](int err) {
        abandon();
        error = std::string("cannot write '").append(target_.shown).append("': ");
        error.append(std::strerror(err));
        return false;
    };
    if (fd_ < 0) return fail(EBADF);
    if (target_.kind == OutputTarget::Kind::StandardOutput) {
        fd_ = -1;
        return true;
    }
    if (target_.kind == OutputTarget::Kind::Replace && ::fsync(fd_) != 0) return fail(errno);
    const int closed = ::close(std::exchange(fd_, -1));
    if (closed != 0) return fail(errno);
    if (target_.kind == OutputTarget::Kind::Direct) return true;
    SignalsHeld held;
    if (std::rename(temporary_.c_str(), target_.path.c_str()) != 0) return fail(errno);
    temporary_.clear();
    setTemporary("");
    return true;
}

void OutputFile::abandon() {
    if (fd_ >= 0 && target_.kind != OutputTarget::Kind::StandardOutput) ::close(fd_);
    fd_ = -1;
    if (!temporary_.empty()) {
        SignalsHeld held;
        ::unlink(temporary_.c_str());
        temporary_.clear();
        setTemporary("");
    }
}

}  // namespace kb::render
