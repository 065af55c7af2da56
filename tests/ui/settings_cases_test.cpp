// keybird.dat as users have it, through the running program: one table of files (none,
// partial, hand-edited, not a settings file at all) with the state they give the window and
// the file the program leaves behind; then the panels' round trips, where what a panel
// shows, confirmed unchanged, must keep what the file stored.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>

#include "app/settings_store.h"
#include "audio/sound_card_panel.h"
#include "audio/sound_dialogs.h"
#include "keying/clock.h"
#include "keying/fake_io_ctrl.h"
#include "keying/fake_mm_timer.h"
#include "keying/fake_serial_lines.h"
#include "keying/keyer.h"
#include "keying/port_panel.h"
#include "support/window_harness.h"
#include "ui/radio_group.h"

namespace kb {
namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string withoutLine(std::string bytes, const std::string& key) {
    const std::size_t at = bytes.find(key);
    return bytes.erase(at, bytes.find("\r\n", at) + 2 - at);
}

std::string randomBytes(std::size_t n) {
    std::mt19937 gen(20240611);
    std::string bytes(n, '\0');
    for (char& c : bytes) c = static_cast<char>(gen() & 0xFF);
    return bytes;
}

class SettingsCasesTest : public test::WindowTest {
public:
    // The table's checks reach the window through these.
    using WindowTest::defaultsWith;
    using WindowTest::engine;
    using WindowTest::form;
    using WindowTest::play;
    using WindowTest::ui;

protected:
    void SetUp() override {
        lpt.setAddress(1, 0x378);
        lpt.setAddress(2, 0x278);
        lpt.setControl(0x0C);
    }
    void TearDown() override {
        form.reset();
        WindowTest::TearDown();
    }

    // The window built on the folder's keybird.dat as it stands (or missing).
    void start() {
        form.reset();
        keyer = std::make_unique<Keyer>(lines, lpt, timer);
        keyer->loadLptAddresses();
        test::WindowOptions o;
        o.keyer = keyer.get();
        o.useSettingsFile = true;
        o.devices.inputs = [] { return std::vector<std::string>{"pulse", "default"}; };
        o.devices.outputs = [] { return std::vector<std::string>{"pulse", "default"}; };
        create(o);
    }
    void emptyFolder() {
        for (const auto& entry : fs::directory_iterator(folder())) {
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add);
            fs::remove_all(entry.path());
        }
    }
    fs::path keptPath() { return folder() / "keybird.dat.bad"; }

public:
    PortPanel& port() { return *form->portPanel(); }
    SoundCardPanel& card() { return form->soundCard(); }
    std::array<bool, 4> logicBoxes() {
        std::array<bool, 4> boxes{};
        for (int k = 0; k < 4; ++k) boxes[k] = port().CheckBoxPin[k]->isChecked();
        return boxes;
    }

    FakeClock clock;
    FakeSerialLines lines{clock};
    FakeIOCtrl lpt{clock};
    FakeMMTimer timer;
    std::unique_ptr<Keyer> keyer;
};

using Defaults = std::vector<std::pair<std::string, std::string>>;

// What the program writes on a first run: its defaults, with pin 1's "Neg. logic" box as
// the panel first shows it (checked).
std::string firstRunFile() {
    return SettingsCasesTest::defaultsWith({{"LOGIC=", "N"}});
}

enum class Start { NoFile, Bytes, Fifo };

struct FileCase {
    const char* name = "";
    Start start = Start::Bytes;
    std::string bytes{};  // Start::Bytes: keybird.dat's contents
    // The window after start-up.
    std::function<void(SettingsCasesTest&)> state{};
    // keybird.dat after the window is closed, from the file it started with; nullptr: not
    // looked at.
    std::function<std::string(const std::string& input)> written{};
    bool keptAside = false;   // the input is found as keybird.dat.bad, byte for byte
    bool lptRefuses = false;  // the parallel port refuses access
    bool warns = false;       // the file asks for something this machine lacks
    std::string olderKept{};  // a keybird.dat.bad already there
};

const auto unchanged = [](const std::string& input) { return input; };
const auto firstRun = [](const std::string&) { return firstRunFile(); };

std::vector<FileCase> fileCases() {
    using T = SettingsCasesTest;
    const auto defaults = [](const Defaults& keys) { return T::defaultsWith(keys); };
    const auto writes = [](Defaults keys) {
        return [keys](const std::string&) { return T::defaultsWith(keys); };
    };
    const std::array<bool, 4> designLogic = {true, true, false, true};
    return {
        {.name = "no keybird.dat: nothing is applied, the Neg. logic boxes keep their design state",
         .start = Start::NoFile,
         .state =
             [=](T& t) {
                 EXPECT_EQ(t.logicBoxes(), designLogic);
                 EXPECT_TRUE(t.keyer->NegativeLogic(0));
                 EXPECT_TRUE(t.card().RadioButtonCarteWin->isChecked());
             },
         .written = firstRun},
        {.name = "only the marker line: every key missing, every control as designed",
         .bytes = "\x02\xFF\xFF\r\n",
         .state =
             [=](T& t) {
                 EXPECT_EQ(t.logicBoxes(), designLogic);
                 EXPECT_EQ(t.form->UpDownVitesse->value(), 12);
                 EXPECT_EQ(t.form->soundTables().params().levelGain, InitialLevelGain);
                 EXPECT_EQ(t.form->FormNote->TrackBarNote->value(), 70);
                 EXPECT_EQ(t.port().RadioGroupTXDelay->ItemIndex(), 1);
             },
         .written = firstRun},
        {.name = "no LOGIC= line: pin 17's box stays checked",
         .bytes = withoutLine(defaults({{"PIN=", "3"}}), "LOGIC="),
         .state =
             [=](T& t) {
                 EXPECT_EQ(t.port().RadioGroupPin->ItemIndex(), 3);
                 EXPECT_EQ(t.logicBoxes(), designLogic);
             },
         .written = writes({{"PIN=", "3"}, {"LOGIC=", "N"}})},
        {.name = "LOGIC=P read: pin 1's box unchecked, the file back byte for byte",
         .bytes = defaults({}),
         .state =
             [](T& t) {
                 EXPECT_FALSE(t.port().CheckBoxPin[0]->isChecked());
                 EXPECT_TRUE(t.port().CheckBoxPin[1]->isChecked());
                 EXPECT_TRUE(t.card().RadioButtonCarteWin->isChecked());
                 EXPECT_EQ(t.form->soundTables().params().levelGain, levelGain(-9));
             },
         .written = unchanged},
        {.name = "an empty line before LOGIC=P ends the reading: the boxes keep their design state",
         .bytes = defaults({{"PIN=", "0\r\n"}}),
         .state = [=](T& t) { EXPECT_EQ(t.logicBoxes(), designLogic); },
         .written = firstRun},
        {.name = "ISOUND=0 OSOUND=1 check \"I choose my Sound card\"",
         .bytes = defaults({{"ISOUND=", "0"}, {"OSOUND=", "1"}}),
         .state =
             [](T& t) {
                 EXPECT_TRUE(t.card().RadioButtonCarteMoi->isChecked());
                 EXPECT_EQ(t.card().inputDevice(), 0);
                 EXPECT_EQ(t.engine().outputDevice(), 1);
             },
         .written = unchanged},
        {.name = "NOTE=805 plays 805 Hz, the track bar at the nearest position",
         .bytes = defaults({{"NOTE=", "805"}}),
         .state =
             [](T& t) {
                 EXPECT_EQ(t.form->soundTables().params().pitch, 805.0L);
                 EXPECT_EQ(t.form->soundTables().params().type, ToneType::Sine);
                 EXPECT_EQ(t.form->FormNote->TrackBarNote->value(), 70);  // 69.5, half to even
             },
         // The writer writes the track bar's pitch.
         .written = writes({{"NOTE=", "800"}})},
        {.name = "NOTE=815 plays 815 Hz at position 68",
         .bytes = defaults({{"NOTE=", "815"}}),
         .state =
             [](T& t) {
                 EXPECT_EQ(t.form->soundTables().params().pitch, 815.0L);
                 EXPECT_EQ(t.form->FormNote->TrackBarNote->value(), 68);
             },
         .written = writes({{"NOTE=", "820"}})},
        {.name = "NOTE=2000 plays 1500 Hz at position 0",
         .bytes = defaults({{"NOTE=", "2000"}}),
         .state =
             [](T& t) {
                 EXPECT_EQ(t.form->soundTables().params().pitch, 1500.0L);
                 EXPECT_EQ(t.form->FormNote->TrackBarNote->value(), 0);
             },
         .written = writes({{"NOTE=", "1500"}})},
        {.name = "TXDELAY=75 selects 50 ms",
         .bytes = defaults({{"TXDELAY=", "75"}}),
         .state =
             [](T& t) {
                 EXPECT_EQ(t.port().RadioGroupTXDelay->ItemIndex(), 0);
                 EXPECT_EQ(t.play().TimerTXDelay->interval(), 50);
             },
         .written = writes({{"TXDELAY=", "50"}})},
        {.name = "TXDELAY=125 selects 150 ms",
         .bytes = defaults({{"TXDELAY=", "125"}}),
         .state =
             [](T& t) {
                 EXPECT_EQ(t.port().RadioGroupTXDelay->ItemIndex(), 2);
                 EXPECT_EQ(t.play().TimerTXDelay->interval(), 150);
             },
         .written = writes({{"TXDELAY=", "150"}})},
        {.name = "a local character with extra blanks before its code",
         .bytes = defaults({}) + " \xE9     ..-..  e.g. caf\xE9 .-.\r\n",
         .state =
             [](T& t) {
                 EXPECT_EQ(t.form->morse()['\xE9'], "..-..");
                 EXPECT_EQ(t.form->morse()['\xC9'], "..-..");
                 EXPECT_EQ(t.form->characters().localCount, 1);
             },
         .written = unchanged},
        {.name = "a four-digit LPT address is shown, used and written whole",
         .bytes = defaults({{"LPT=", "1"}, {"ADLPT=", "[D000h]"}}),
         .state =
             [](T& t) {
                 EXPECT_EQ(t.port().RadioGroupLPT->ItemIndex(), 1);
                 EXPECT_EQ(t.port().EditLPT[0]->text(), QStringLiteral("[D000h]"));
                 EXPECT_EQ(t.keyer->LptBaseAddress(), 0xD000);
                 const auto calls = t.lpt.calls();
                 EXPECT_TRUE(std::any_of(calls.begin(), calls.end(), [](const FakeIOCtrl::Call& c) {
                     return c.op == FakeIOCtrl::Op::Enable && c.address == 0xD000;
                 })) << "access for the card";
             },
         .written = unchanged},
        {.name = "a stored LPT this machine lacks is said and kept for one that has it",
         .bytes = defaults({{"LPT=", "3"}, {"ADLPT=", "[3BCh]"}}),
         .state =
             [](T& t) {
                 EXPECT_EQ(t.port().RadioGroupLPT->ItemIndex(), 0);
                 ASSERT_EQ(t.ui.warnings.size(), 1);
                 EXPECT_TRUE(t.ui.warnings[0].startsWith(QStringLiteral("LPT3 cannot be used")));
             },
         .written = unchanged,
         .warns = true},
        {.name = "a stored LPT whose port refuses access says what to do",
         .bytes = defaults({{"LPT=", "1"}, {"ADLPT=", "[378h]"}}),
         .state =
             [](T& t) {
                 ASSERT_EQ(t.ui.warnings.size(), 1);
                 EXPECT_TRUE(t.ui.warnings[0].startsWith(
                     QStringLiteral("LPT1 cannot be used: fake: access refused\n")));
                 EXPECT_TRUE(t.ui.warnings[0].contains(QStringLiteral("modprobe ppdev")));
                 EXPECT_TRUE(t.ui.warnings[0].contains(QStringLiteral(" lp")));
                 EXPECT_EQ(t.ui.beeps, 1);
             },
         .lptRefuses = true},
        {.name = "a FIFO named keybird.dat: start-up goes on, the FIFO is kept aside",
         .start = Start::Fifo,
         .state = [=](T& t) { EXPECT_EQ(t.logicBoxes(), designLogic); },
         .written = firstRun},
        {.name = "5 MB of random bytes: ignored, then kept byte for byte",
         .bytes = randomBytes(5 * 1000 * 1000),
         .state =
             [=](T& t) {
                 EXPECT_EQ(t.form->UpDownVitesse->value(), 12);
                 EXPECT_EQ(t.logicBoxes(), designLogic);
             },
         .written = firstRun,
         .keptAside = true},
        {.name = "no marker line: ignored as a whole, kept, replacing an older .bad",
         .bytes = "SPEED=20\r\nLOGIC=P\r\n",
         .state = [](T& t) { EXPECT_EQ(t.form->UpDownVitesse->value(), 12); },
         .written = firstRun,
         .keptAside = true,
         .olderKept = "an older keybird.dat.bad"},
        {.name = "an empty file: nothing to keep",
         .state = [](T& t) { EXPECT_EQ(t.form->UpDownVitesse->value(), 12); },
         .written = firstRun},
    };
}

TEST_F(SettingsCasesTest, KeybirdDatInputsAndWhatTheyLeave) {
    for (const FileCase& c : fileCases()) {
        SCOPED_TRACE(c.name);
        emptyFolder();
        ui.warnings.clear();
        ui.errors.clear();
        ui.beeps = 0;
        lpt.setAccessWorks(!c.lptRefuses);
        lpt.clearCalls();
        if (c.start == Start::Fifo) {
            ASSERT_EQ(::mkfifo(settingsPath().c_str(), 0644), 0);
        } else if (c.start == Start::Bytes) {
            std::ofstream(settingsPath(), std::ios::binary) << c.bytes;
        }
        if (!c.olderKept.empty()) std::ofstream(keptPath(), std::ios::binary) << c.olderKept;

        ::testing::internal::CaptureStderr();
        // A read that waits for a writer would hang here for good: the watchdog ends the
        // test program instead.
        ::alarm(20);
        start();
        ::alarm(0);
        c.state(*this);
        form->close();
        const std::string said = ::testing::internal::GetCapturedStderr();

        if (c.written) {
            struct stat st {};
            ASSERT_EQ(::lstat(settingsPath().c_str(), &st), 0);
            EXPECT_TRUE(S_ISREG(st.st_mode));
            EXPECT_EQ(readFile(settingsPath()), c.written(c.bytes));
        }
        if (c.keptAside) {
            EXPECT_EQ(readFile(keptPath()), c.bytes);  // byte for byte
            EXPECT_NE(said.find(keptPath().string()), std::string::npos) << said;
        } else if (c.start == Start::Fifo) {
            struct stat st {};
            ASSERT_EQ(::lstat(keptPath().c_str(), &st), 0);
            EXPECT_TRUE(S_ISFIFO(st.st_mode));
        } else {
            EXPECT_FALSE(fs::exists(keptPath())) << "nothing was to be kept";
        }
        // Such files are passed over without a message box.
        if (!c.lptRefuses && !c.warns) {
            EXPECT_TRUE(ui.warnings.isEmpty()) << ui.warnings.join('|').toStdString();
        }
        EXPECT_TRUE(ui.errors.isEmpty());
        form.reset();
    }
}

TEST_F(SettingsCasesTest, AnUnreadableFileIsKeptAsideNotOverwritten) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads any file";
    const std::string mine = SettingsCasesTest::defaultsWith({{"SPEED=", "30"}});
    std::ofstream(settingsPath(), std::ios::binary) << mine;
    fs::permissions(settingsPath(), fs::perms::none);
    start();
    EXPECT_EQ(form->UpDownVitesse->value(), 12);
    form->close();
    EXPECT_EQ(readFile(settingsPath()), firstRunFile());
    fs::permissions(keptPath(), fs::perms::owner_read);
    EXPECT_EQ(readFile(keptPath()), mine);
    EXPECT_TRUE(ui.warnings.isEmpty());
}

// What a panel shows for a stored value, confirmed or clicked again unchanged, keeps that
// value; what is typed and chosen in a panel comes back whole after a restart.
TEST_F(SettingsCasesTest, PanelRoundTrips) {
    // The sound card: stored devices are shown under "I choose" and survive OK.
    const std::string devices =
        SettingsCasesTest::defaultsWith({{"ISOUND=", "0"}, {"OSOUND=", "1"}});
    std::ofstream(settingsPath(), std::ios::binary) << devices;
    start();
    form->MenuSoundCard->trigger();
    EXPECT_TRUE(card().RadioButtonCarteMoi->isChecked());
    EXPECT_EQ(card().ComboBoxChoixIn->currentIndex(), 0);
    EXPECT_EQ(card().ComboBoxChoixOut->currentIndex(), 1);
    const std::size_t calls = wave->calls.size();
    card().BitBtnOKCarteSon->click();
    EXPECT_TRUE(card().PanelCarteSon->isHidden());
    EXPECT_EQ(wave->calls.size(), calls) << "nothing reopened";
    EXPECT_EQ(card().inputDevice(), 0);
    EXPECT_EQ(engine().outputDevice(), 1);
    form->close();
    EXPECT_EQ(readFile(settingsPath()), devices);

    // The port panel: a four-digit address typed for LPT1 and a TX delay chosen.
    fs::remove(settingsPath());
    start();
    form->MenuPort->trigger();
    port().RadioGroupLPT->clickItem(1);
    port().EditLPT[0]->selectAll();
    QTest::keyClicks(port().EditLPT[0], QStringLiteral("[D000h]"));
    EXPECT_EQ(keyer->lptAddress(1), 0xD000);
    EXPECT_EQ(keyer->LptBaseAddress(), 0xD000);
    port().RadioGroupTXDelay->clickItem(2);
    form->close();
    const std::string saved = readFile(settingsPath());
    EXPECT_EQ(saved,
              SettingsCasesTest::defaultsWith(
                  {{"TXDELAY=", "150"}, {"LPT=", "1"}, {"ADLPT=", "[D000h]"}, {"LOGIC=", "N"}}));
    start();
    EXPECT_EQ(port().EditLPT[0]->text(), QStringLiteral("[D000h]"));
    EXPECT_EQ(keyer->LptBaseAddress(), 0xD000);
    EXPECT_EQ(port().RadioGroupTXDelay->ItemIndex(), 2);
    EXPECT_EQ(play().TimerTXDelay->interval(), 150);

    // Clicking the COM or LPT item already selected: no close and reopen, PTT stays up.
    form->MenuPort->trigger();
    port().RadioGroupCOM->clickItem(1);
    type("paris");
    ASSERT_TRUE(lines.dtr());
    lines.clearEvents();
    lpt.clearCalls();
    port().RadioGroupCOM->clickItem(1);
    port().RadioGroupLPT->clickItem(1);
    port().RadioGroupTXDelay->clickItem(2);
    EXPECT_TRUE(lines.events().empty());
    EXPECT_TRUE(lpt.calls().empty());
    EXPECT_TRUE(lines.dtr());
    EXPECT_TRUE(lines.rts());
    EXPECT_EQ(port().RadioGroupCOM->ItemIndex(), 1);
    form->close();
    EXPECT_EQ(readFile(settingsPath()), SettingsCasesTest::defaultsWith({{"COM=", "1"},
                                                                         {"TXDELAY=", "150"},
                                                                         {"LPT=", "1"},
                                                                         {"ADLPT=", "[D000h]"},
                                                                         {"LOGIC=", "N"}}));
    EXPECT_TRUE(ui.warnings.isEmpty()) << ui.warnings.join('|').toStdString();
}

}  // namespace
}  // namespace kb
