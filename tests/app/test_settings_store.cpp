// keybird.dat on disk: where it lives, reading it whole, and a save that never loses the
// old file.

#include "app/settings_store.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fcntl.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace kb {
namespace {

class TempDir {
public:
    TempDir() {
        std::string t = "/tmp/keybird-store-XXXXXX";
        path_ = ::mkdtemp(t.data());
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }
    std::string operator/(std::string_view name) const { return path_ + "/" + std::string(name); }

private:
    std::string path_;
};

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void spit(const std::string& path, std::string_view bytes, mode_t mode) {
    {
        std::ofstream out(path, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    ::chmod(path.c_str(), mode);
}

mode_t modeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

bool isDir(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::vector<std::string> entries(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* d = ::opendir(folder.c_str())) {
        while (const dirent* e = ::readdir(d)) {
            const std::string n = e->d_name;
            if (n != "." && n != "..") names.push_back(n);
        }
        ::closedir(d);
    }
    return names;
}

// ------------------------------------------------------------------ location

TEST(SettingsLocation, KeybirdHomeNamesTheFolderOutright) {
    TempDir t;
    SettingsLocationInputs in;
    in.keybirdHome = t / "portable/settings";
    in.xdgConfigHome = t / "xdg";
    in.programFolder = t.path();  // writable, but KEYBIRD_HOME comes first
    std::string error;
    EXPECT_EQ(settingsFolder(in, &error), t / "portable/settings") << error;
    EXPECT_TRUE(isDir(t / "portable/settings"));  // created
    EXPECT_FALSE(isDir(t / "xdg"));
}

TEST(SettingsLocation, WritableProgramFolderComesNext) {
    TempDir t;
    SettingsLocationInputs in;
    in.keybirdHome = "";  // set but empty counts as unset
    in.xdgConfigHome = t / "xdg";
    in.programFolder = t / "bin";
    ::mkdir(in.programFolder.c_str(), 0755);
    EXPECT_EQ(settingsFolder(in), t / "bin");
    EXPECT_FALSE(isDir(t / "xdg"));
    // Installed under a prefix (as in ~/.local), the settings are the user's own.
    ::mkdir((t / "share").c_str(), 0755);
    ::mkdir((t / "share/keybird").c_str(), 0755);
    EXPECT_EQ(settingsFolder(in), t / "xdg/keybird");
}

TEST(SettingsLocation, UnusableProgramFolderFallsBackToXdgConfigHome) {
    TempDir t;
    SettingsLocationInputs in;
    in.xdgConfigHome = t / "xdg";
    in.home = t / "home";
    in.programFolder = t / "no-such-folder/bin";
    EXPECT_EQ(settingsFolder(in), t / "xdg/keybird");
    EXPECT_TRUE(isDir(t / "xdg/keybird"));
}

TEST(SettingsLocation, WithoutXdgConfigHomeUsesDotConfigInHome) {
    TempDir t;
    SettingsLocationInputs in;
    in.home = t / "home";
    ::mkdir(in.home->c_str(), 0755);
    EXPECT_EQ(settingsFolder(in), t / "home/.config/keybird");
    EXPECT_EQ(modeOf(t / "home/.config/keybird") & 0777, 0700u);

    in.xdgConfigHome = "relative/config";  // not absolute: ignored
    EXPECT_EQ(settingsFolder(in), t / "home/.config/keybird");
}

TEST(SettingsLocation, FolderThatCannotBeMadeIsReported) {
    TempDir t;
    spit(t / "file", "x", 0644);
    SettingsLocationInputs in;
    in.keybirdHome = t / "file/sub";
    std::string error;
    EXPECT_EQ(settingsFolder(in, &error), "");
    EXPECT_FALSE(error.empty());
}

TEST(SettingsLocation, ReadsTheEnvironment) {
    struct Saved {
        const char* name;
        std::optional<std::string> value;
    };
    std::vector<Saved> saved;
    for (const char* n : {"KEYBIRD_HOME", "XDG_CONFIG_HOME", "HOME"}) {
        const char* v = std::getenv(n);
        saved.push_back({n, v ? std::optional<std::string>(v) : std::nullopt});
    }
    ::setenv("KEYBIRD_HOME", "/k", 1);
    ::unsetenv("XDG_CONFIG_HOME");
    ::setenv("HOME", "/h", 1);
    const SettingsLocationInputs in = settingsLocationFromEnvironment("/p");
    for (const auto& s : saved) {
        if (s.value) {
            ::setenv(s.name, s.value->c_str(), 1);
        } else {
            ::unsetenv(s.name);
        }
    }
    EXPECT_EQ(in.keybirdHome, "/k");
    EXPECT_FALSE(in.xdgConfigHome.has_value());
    EXPECT_EQ(in.home, "/h");
    EXPECT_EQ(in.programFolder, "/p");
}

TEST(SettingsLocation, ExecutableFolderIsWhereThisTestRuns) {
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    ASSERT_GT(n, 0);
    std::string exe(buf, static_cast<std::size_t>(n));
    EXPECT_EQ(executableFolder() + "/" + exe.substr(exe.rfind('/') + 1), exe);
    EXPECT_EQ(settingsFilePath("/a/b"), "/a/b/keybird.dat");
    EXPECT_EQ(settingsFilePath("/a/b/"), "/a/b/keybird.dat");
}

// ------------------------------------------------------------------ reading

TEST(SettingsStoreLoad, MissingFileIsNothingRead) {
    TempDir t;
    const LoadedSettingsFile f = loadSettingsFile(t / "keybird.dat");
    EXPECT_FALSE(f.existed);
    EXPECT_TRUE(f.bytes.empty());
    EXPECT_TRUE(f.error.empty());
    EXPECT_FALSE(loadSettingsFile(t / "nofolder/keybird.dat").existed);
}

TEST(SettingsStoreLoad, ReadsEveryByteOfAReadOnlyFile) {
    TempDir t;
    std::string bytes = "SPEED=20\r\n\x02\xFF\xFF\r\n";
    bytes.push_back('\0');
    bytes += std::string(20000, 'e');  // longer than one read
    spit(t / "keybird.dat", bytes, 0444);
    const LoadedSettingsFile f = loadSettingsFile(t / "keybird.dat");
    EXPECT_TRUE(f.existed);
    EXPECT_EQ(f.bytes, bytes);
}

TEST(SettingsStoreLoad, FolderInPlaceOfTheFileIsAnError) {
    TempDir t;
    ::mkdir((t / "keybird.dat").c_str(), 0755);
    const LoadedSettingsFile f = loadSettingsFile(t / "keybird.dat");
    EXPECT_TRUE(f.existed);
    EXPECT_TRUE(f.bytes.empty());
    EXPECT_FALSE(f.error.empty());
}

// Anything but a regular file is passed over at once, without a read and without waiting
// for a writer (a FIFO opened for reading blocks until one comes).
TEST(SettingsStoreLoad, OnlyARegularFileIsRead) {
    TempDir t;
    ASSERT_EQ(::mkfifo((t / "fifo").c_str(), 0644), 0);
    ::symlink("/dev/zero", (t / "device").c_str());
    spit(t / "large", std::string(SettingsFileMaxBytes + 1, '\x02'), 0644);
    spit(t / "just-fits", std::string(SettingsFileMaxBytes, '\x02'), 0644);
    struct Case {
        const char* name;
        bool read;
        const char* why;  // what the error says, when not read
    };
    for (const Case& c : {Case{"fifo", false, "Not a regular file but a FIFO"},
                          Case{"device", false, "Not a regular file but a device"},
                          Case{"large", false, "Too large"}, Case{"just-fits", true, ""}}) {
        SCOPED_TRACE(c.name);
        auto load = std::async(std::launch::async, [&] { return loadSettingsFile(t / c.name); });
        if (load.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
            // Free the blocked reader before failing, so the test program can end.
            const int w = ::open((t / c.name).c_str(), O_WRONLY | O_NONBLOCK);
            ADD_FAILURE() << "the load waited for a writer";
            load.wait();
            if (w >= 0) ::close(w);
            continue;
        }
        const LoadedSettingsFile f = load.get();
        EXPECT_TRUE(f.existed);
        EXPECT_EQ(f.error.empty(), c.read) << f.error;
        EXPECT_EQ(f.error.rfind(c.why, 0), 0u) << f.error;
        EXPECT_EQ(f.bytes.size(), c.read ? SettingsFileMaxBytes : 0u);
    }
}

// ------------------------------------------------------------------ saving

TEST(SettingsStoreSave, NewFileIsReadOnlyWithExactBytes) {
    TempDir t;
    const std::string path = t / "keybird.dat";
    const std::string bytes = std::string("SPEED=20\r\n\x02\xFF\xFF\r\n\r");
    std::string error;
    ASSERT_TRUE(saveSettingsFile(path, bytes, &error)) << error;
    EXPECT_EQ(slurp(path), bytes);
    EXPECT_EQ(modeOf(path), 0444u);
    EXPECT_EQ(entries(t.path()), std::vector<std::string>{"keybird.dat"});
}

TEST(SettingsStoreSave, ReplacesAReadOnlyFile) {
    TempDir t;
    const std::string path = t / "keybird.dat";
    spit(path, "old settings", 0444);
    ASSERT_TRUE(saveSettingsFile(path, "new settings"));
    EXPECT_EQ(slurp(path), "new settings");
    EXPECT_EQ(modeOf(path), 0444u);
    EXPECT_EQ(entries(t.path()).size(), 1u);
}

TEST(SettingsStoreSave, ParentThatIsAFileFailsAndCreatesNothing) {
    TempDir t;
    spit(t / "plain", "x", 0644);
    std::string error;
    EXPECT_FALSE(saveSettingsFile(t / "plain/keybird.dat", "SPEED=20", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(slurp(t / "plain"), "x");
}

enum class Step { MakeTemp, Write, ShortWriteThenFull, ZeroWrite, Sync, Chmod, Close, Rename };

// The real calls, except that one step fails as a full disk or an I/O error would.
class FailingOps : public SettingsFileOps {
public:
    explicit FailingOps(Step step) : step_(step) {}
    int makeTemp(char* t) override {
        if (step_ == Step::MakeTemp) return fail(EACCES);
        const int fd = SettingsFileOps::makeTemp(t);
        tempPath_ = t;
        return fd;
    }
    ssize_t write(int fd, const void* data, std::size_t size) override {
        if (step_ == Step::Write) return fail(EIO);
        if (step_ == Step::ZeroWrite) return 0;
        if (step_ == Step::ShortWriteThenFull) {
            if (writes_++ == 0) return SettingsFileOps::write(fd, data, size / 2);
            return fail(ENOSPC);
        }
        return SettingsFileOps::write(fd, data, size);
    }
    int sync(int fd) override {
        return step_ == Step::Sync ? fail(EIO) : SettingsFileOps::sync(fd);
    }
    int chmod(int fd, mode_t m) override {
        return step_ == Step::Chmod ? fail(EPERM) : SettingsFileOps::chmod(fd, m);
    }
    int close(int fd) override {
        const int r = SettingsFileOps::close(fd);  // the descriptor is gone either way
        return step_ == Step::Close ? fail(EIO) : r;
    }
    int rename(const char* from, const char* to) override {
        return step_ == Step::Rename ? fail(EXDEV) : SettingsFileOps::rename(from, to);
    }
    const std::string& tempPath() const { return tempPath_; }

private:
    static int fail(int err) {
        errno = err;
        return -1;
    }
    Step step_;
    int writes_ = 0;
    std::string tempPath_;
};

class SettingsStoreFailure : public ::testing::TestWithParam<Step> {};

TEST_P(SettingsStoreFailure, KeepsTheOldFileByteForByteAndReports) {
    TempDir t;
    const std::string path = t / "keybird.dat";
    const std::string old = std::string("SPEED=18\r\nMSG=73\r\n\x02[]\r\nabc\r\n");
    spit(path, old, 0444);

    FailingOps ops(GetParam());
    std::string error;
    EXPECT_FALSE(saveSettingsFile(path, std::string(10000, 'n'), &error, ops));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(slurp(path), old);
    EXPECT_EQ(modeOf(path), 0444u);
    EXPECT_EQ(entries(t.path()), std::vector<std::string>{"keybird.dat"});  // no temp left
}

TEST_P(SettingsStoreFailure, WithNoOldFileLeavesNoFile) {
    TempDir t;
    FailingOps ops(GetParam());
    EXPECT_FALSE(saveSettingsFile(t / "keybird.dat", "SPEED=20\r\n", nullptr, ops));
    EXPECT_TRUE(entries(t.path()).empty());
}

INSTANTIATE_TEST_SUITE_P(EveryStep, SettingsStoreFailure,
                         ::testing::Values(Step::MakeTemp, Step::Write, Step::ShortWriteThenFull,
                                           Step::ZeroWrite, Step::Sync, Step::Chmod, Step::Close,
                                           Step::Rename));

// A file that was not read moves aside as keybird.dat.bad only when the new one is ready.
TEST(SettingsStoreSave, KeepingTheOldFileAside) {
    struct Case {
        const char* name;
        const char* old;    // nullptr: no keybird.dat
        const char* older;  // nullptr: no keybird.dat.bad before
        bool failRename;    // the new file cannot be put in place
        bool saved;
        const char* dat;  // keybird.dat afterwards
        const char* bad;  // keybird.dat.bad afterwards; nullptr: none
    };
    const Case cases[] = {
        {"kept", "not ours", nullptr, false, true, "new", "not ours"},
        {"replaces an older .bad", "not ours", "older", false, true, "new", "not ours"},
        {"nothing to keep", nullptr, nullptr, false, true, "new", nullptr},
        {"the new file fails: the old one is back", "not ours", nullptr, true, false, "not ours",
         nullptr},
    };
    class RenameOnce : public SettingsFileOps {
    public:
        bool failTempRename = false;
        int rename(const char* from, const char* to) override {
            if (failTempRename &&
                std::string_view(from).find("/.keybird.dat.") != std::string_view::npos) {
                errno = EIO;
                return -1;
            }
            return SettingsFileOps::rename(from, to);
        }
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir t;
        const std::string path = t / "keybird.dat";
        if (c.old) spit(path, c.old, 0444);
        if (c.older) spit(path + ".bad", c.older, 0444);
        RenameOnce ops;
        ops.failTempRename = c.failRename;
        std::string error;
        EXPECT_EQ(saveSettingsFile(path, "new", &error, ops, true), c.saved) << error;
        EXPECT_EQ(slurp(path), c.dat);
        EXPECT_EQ(keptSettingsFilePath(path), path + ".bad");
        if (c.bad) {
            EXPECT_EQ(slurp(path + ".bad"), c.bad);
        } else {
            EXPECT_FALSE(std::filesystem::exists(path + ".bad"));
        }
        std::vector<std::string> names = entries(t.path());
        std::erase(names, "keybird.dat");
        std::erase(names, "keybird.dat.bad");
        EXPECT_TRUE(names.empty()) << "a temporary file was left";
    }
}

TEST(SettingsStoreSave, AnOldFileThatCannotTakeTheBadNameIsKeptUnderAnother) {
    TempDir t;
    const std::string path = t / "keybird.dat";
    spit(path, "not ours", 0444);
    class KeepFails : public SettingsFileOps {
    public:
        int rename(const char* from, const char* to) override {
            if (std::string_view(to).ends_with(".bad")) {
                errno = EACCES;
                return -1;
            }
            return SettingsFileOps::rename(from, to);
        }
    } ops;
    std::string error;
    EXPECT_TRUE(saveSettingsFile(path, "new", &error, ops, true)) << error;
    EXPECT_EQ(slurp(path), "new");
    EXPECT_EQ(slurp(t / "keybird.dat.bad.new"), "not ours");
    EXPECT_EQ(entries(t.path()).size(), 2u);  // nothing else: no temporary left
}

TEST(SettingsStoreSave, TemporaryFileSitsBesideTheTarget) {
    TempDir t;
    FailingOps ops(Step::Rename);
    saveSettingsFile(t / "keybird.dat", "x", nullptr, ops);
    // Same folder, so the final rename never crosses a file system.
    EXPECT_EQ(ops.tempPath().rfind(t.path() + "/", 0), 0u);
    EXPECT_EQ(ops.tempPath().find('/', t.path().size() + 1), std::string::npos);
}

}  // namespace
}  // namespace kb
