#include "ui/text_save.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tools/run_process.h"

namespace kb {
namespace {

TEST(TextFile, WritesWholeCrLfFilesOrLeavesTheOldOneAlone) {
    struct Case {
        const char* name;
        const char* before;  // the file already there; "/": a folder of that name
        const char* path;
        std::vector<std::string> lines;
        const char* after;  // nullptr: the write fails
        std::vector<std::string> entries;
    };
    const Case cases[] = {
        {"new",
         nullptr,
         "memo.txt",
         {"cq de f6", "", "\xe9t\xe9"},
         "cq de f6\r\n\r\n\xe9t\xe9\r\n",
         {"memo.txt"}},
        {"a longer file replaced",
         "old old old old\r\n",
         "memo.txt",
         {"73"},
         "73\r\n",
         {"memo.txt"}},
        {"no lines", "73\r\n", "memo.txt", {}, "", {"memo.txt"}},
        {"a folder in the way", "/", "memo.txt", {"73"}, nullptr, {"memo.txt"}},
        {"no such folder", nullptr, "gone/memo.txt", {"73"}, nullptr, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const test::TempDir dir;
        const std::filesystem::path path = dir.path() / c.path;
        const std::string before = c.before ? c.before : "";
        if (before == "/") std::filesystem::create_directory(path);
        else if (c.before) std::ofstream(path, std::ios::binary) << before;

        QString error;
        const bool ok = writeCrLfTextFile(QString::fromStdString(path.string()), c.lines, error);
        EXPECT_EQ(ok, c.after != nullptr);
        EXPECT_EQ(error.isEmpty(), ok) << error.toStdString();
        if (before == "/") {
            EXPECT_TRUE(std::filesystem::is_directory(path));
        } else if (c.after) {
            EXPECT_EQ(test::readWholeFile(path), c.after);
        }
        EXPECT_EQ(dir.entries(), c.entries);  // no temporary file left behind
    }
}

}  // namespace
}  // namespace kb
