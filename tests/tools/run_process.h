#pragma once
// Runs a program the way a user's shell would, for the tests of the command-line tools:
// standard input from a string, standard output and error captured, the exit status back.

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace kb::test {

struct ProcessResult {
    int exitCode = -1;  // the exit status, or 128 + the signal that ended it
    std::string out;
    std::string err;
};

struct ProcessOptions {
    std::string input;                    // standard input
    std::optional<rlim_t> fileSizeLimit;  // RLIMIT_FSIZE, to make writes fail
    std::filesystem::path workDir;        // where the captures go; must exist
};

inline std::string readWholeFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline ProcessResult runProcess(const std::vector<std::string>& argv,
                                const ProcessOptions& options) {
    namespace fs = std::filesystem;
    const fs::path dir = options.workDir.empty() ? fs::temp_directory_path() : options.workDir;
    const std::string tag = std::to_string(::getpid()) + "_" + std::to_string(std::rand());
    const fs::path inPath = dir / (".stdin_" + tag);
    const fs::path outPath = dir / (".stdout_" + tag);
    const fs::path errPath = dir / (".stderr_" + tag);
    std::ofstream(inPath, std::ios::binary) << options.input;

    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    ProcessResult r;
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int in = ::open(inPath.c_str(), O_RDONLY);
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || err < 0) ::_exit(126);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        if (options.fileSizeLimit) {
            // A write past the limit then fails with EFBIG instead of killing the process.
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit lim{*options.fileSizeLimit, *options.fileSizeLimit};
            ::setrlimit(RLIMIT_FSIZE, &lim);
        }
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    if (pid > 0) {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    r.out = readWholeFile(outPath);
    r.err = readWholeFile(errPath);
    std::error_code ec;
    fs::remove(inPath, ec);
    fs::remove(outPath, ec);
    fs::remove(errPath, ec);
    return r;
}

// A fresh directory under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "keybird_test_XXXXXX");
        if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

    // The names in the directory other than the captures of runProcess.
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(path_)) {
            const std::string n = e.path().filename().string();
            if (!n.starts_with(".std")) names.push_back(n);
        }
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::filesystem::path path_;
};

}  // namespace kb::test
