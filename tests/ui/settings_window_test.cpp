// keybird.dat through the running program: read while the window is created, applied to
// the controls, and written back at each way out, byte for byte, never lost on failure.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/settings_store.h"
#include "support/window_harness.h"

namespace kb {
namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const fs::path& p, const std::string& bytes) {
    fs::remove(p);
    std::ofstream(p, std::ios::binary) << bytes;
    fs::permissions(p, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
}

std::string replaceLine(std::string bytes, const std::string& key, const std::string& value) {
    const std::size_t at = bytes.find(key);
    const std::size_t end = bytes.find("\r\n", at);
    return bytes.replace(at, end - at, key + value);
}

// A full file as users have it: French, 18 wpm, spacing 2, x2, -6 dB, messages, shortcuts,
// lessons and local characters.
std::string fullFile() {
    return readFile(fs::path(KEYBIRD_SOURCE_DIR) / "fuzz/corpus/settings/full.dat");
}

class FailingRename : public SettingsFileOps {
public:
    int rename(const char*, const char*) override {
        errno = EIO;
        return -1;
    }
};

class SettingsWindowTest : public test::WindowTest {
protected:
    void SetUp() override {
        path = settingsPath();
        original = fullFile();
        ASSERT_FALSE(original.empty());
        writeFile(path, original);
    }

    void start(SettingsFileOps* ops = nullptr) {
        test::WindowOptions o;
        o.useSettingsFile = true;
        o.settingsOps = ops;
        create(o);
    }

    fs::path path;
    std::string original;
};

TEST_F(SettingsWindowTest, StoredValuesReachTheControls) {
    start();
    EXPECT_EQ(form->UpDownVitesse->value(), 18);
    EXPECT_EQ(timing().SpinEditEspace->value(), 2);
    EXPECT_TRUE(form->MenuEspaceMotN[1]->isChecked());
    EXPECT_EQ(timing().wordSpacingFactor(), 2);
    EXPECT_EQ(form->UpDownAmplitude->value(), -6);
    EXPECT_EQ(form->soundTables().params().levelGain, levelGain(-6));
    // The file is French, and so is the real-speed text.
    EXPECT_TRUE(form->Francais1->isChecked());
    EXPECT_EQ(timing().LabelVitesseCorrigee->text(),
              QString::fromStdString(frenchTexts().summary.realSpeedPrefix +
                                     formatOneDecimal(effectiveSpeed(18, 2, 2))));
}

TEST_F(SettingsWindowTest, EachWayOutWritesTheChangedValuesAndKeepsEverythingElse) {
    enum Way { QuitButton, CloseWindow, ToolsQuit };
    for (Way way : {QuitButton, CloseWindow, ToolsQuit}) {
        SCOPED_TRACE(way);
        writeFile(path, original);
        start();
        form->UpDownVitesse->stepUp();
        form->UpDownVitesse->stepUp();
        timing().SpinEditEspace->stepUp();
        switch (way) {
            case QuitButton: form->ButtonQuitter->click(); break;
            case CloseWindow: form->close(); break;
            case ToolsQuit: form->MenuOutilsQuit->trigger(); break;
        }
        const std::string expected =
            replaceLine(replaceLine(original, "SPEED=", "20"), "SPACE=", "3");
        EXPECT_EQ(readFile(path), expected);
        struct stat st {};
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0444u);
        EXPECT_TRUE(ui.warnings.isEmpty());
        form.reset();
    }
}

TEST_F(SettingsWindowTest, AFailedWriteKeepsTheOldFileAndSaysSo) {
    FailingRename failing;
    start(&failing);
    form->UpDownVitesse->stepUp();
    form->MenuOutilsQuit->trigger();
    EXPECT_EQ(readFile(path), original);
    EXPECT_EQ(ui.warnings,
              QStringList{QString::fromUtf8(frenchTexts().shared.msgCannotCreateSettings)});
    EXPECT_EQ(ui.terminations, 1);  // the program ends anyway
    for (const auto& entry : fs::directory_iterator(folder())) {
        EXPECT_EQ(entry.path().filename(), "keybird.dat") << "a temporary file was left";
    }
}

TEST_F(SettingsWindowTest, WithoutAFileTheDefaultsApplyAndOneIsWritten) {
    fs::remove(path);
    start();
    EXPECT_EQ(form->UpDownVitesse->value(), 12);
    EXPECT_EQ(timing().SpinEditEspace->value(), 1);
    form->close();
    const std::string written = readFile(path);
    EXPECT_TRUE(
        written.starts_with("SPEED=12\r\nSPACE=1\r\nSPACEW=1\r\nLANGUAGE=E\r\nLEVEL=-9\r\n"));
}

}  // namespace
}  // namespace kb
