// Golden sessions: the main window driven only through its widgets and menus, with fake
// devices, and everything the devices saw compared with what the program does today: the
// sound (a digest, with a readable transcript under tests/golden/), the keying steps and
// keybird.dat. They exist so that a rework of the playback engine can show it changed
// nothing a user could hear, key or find on disk. After a deliberate change, rerun with
// KEYBIRD_UPDATE_GOLDEN=1 to rewrite the files; a digest failure prints the new constant.

#include <gtest/gtest.h>
#include <unistd.h>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <stdexcept>

#include "app/app_shell.h"
#include "audio/sound_dialogs.h"
#include "keying/clock.h"
#include "keying/fake_io_ctrl.h"
#include "keying/fake_mm_timer.h"
#include "keying/fake_serial_lines.h"
#include "keying/keyer.h"
#include "support/fake_ui.h"
#include "support/fake_wave_out.h"
#include "ui/form1.h"
#include "ui/radio_group.h"
#include "ui/typed_text_edit.h"

namespace kb {
namespace {

namespace fs = std::filesystem;

// 64-bit FNV-1a: order-sensitive and the same on every platform.
struct Fnv {
    std::uint64_t h = 14695981039346656037ull;
    void add(std::string_view bytes) {
        for (unsigned char b : bytes) h = (h ^ b) * 1099511628211ull;
    }
    void add(const std::vector<std::int16_t>& values) {  // little-endian, as a WAV holds them
        for (std::int16_t v : values) {
            const auto u = static_cast<std::uint16_t>(v);
            add(std::string{static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)});
        }
    }
};

std::string hex(std::uint64_t v, int digits = 16) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%0*llx", digits, static_cast<unsigned long long>(v));
    return buf;
}

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Control bytes shown as \xNN, so a CR LF file's difference is readable in the log.
std::string printable(std::string_view s) {
    std::string out;
    for (unsigned char c : s)
        out += c >= 32 && c < 127 ? std::string(1, char(c)) : "\\x" + hex(c, 2);
    return out;
}

std::string lineAt(const std::string& s, std::size_t at) {
    const std::size_t from = at == 0 ? 0 : s.rfind('\n', at - 1) + 1;  // npos + 1 == 0
    return printable(s.substr(from, s.find('\n', from) - from));
}

// Compares with tests/golden/<name>, or rewrites it when KEYBIRD_UPDATE_GOLDEN is set.
void expectGolden(const std::string& name, const std::string& actual) {
    const fs::path path = fs::path(KEYBIRD_SOURCE_DIR) / "tests/golden" / name;
    if (std::getenv("KEYBIRD_UPDATE_GOLDEN")) {
        std::ofstream(path, std::ios::binary) << actual;
        std::cout << "[ golden ] rewrote " << path.string() << "\n";
        return;
    }
    const std::string golden = readFile(path);
    if (golden == actual) return;
    const auto diff = std::mismatch(golden.begin(), golden.end(), actual.begin(), actual.end());
    const auto at = static_cast<std::size_t>(diff.first - golden.begin());
    ADD_FAILURE() << path.string() << " differs from this run at byte " << at << ", line "
                  << std::count(golden.begin(), diff.first, '\n') + 1
                  << ":\n  golden: " << lineAt(golden, at) << "\n  now:    " << lineAt(actual, at)
                  << "\nsizes: golden " << golden.size() << " bytes, now " << actual.size()
                  << ". If the change is deliberate, rerun with KEYBIRD_UPDATE_GOLDEN=1.";
}

// The hidden timers are never left to real time: the test fires them, as their interval
// running out would.
void fire(QTimer* timer) {
    if (!QMetaObject::invokeMethod(timer, "timeout")) throw std::runtime_error("timeout");
}

// The fake sound device, reporting before and after each call so that the transcript
// keeps the calls in their true place among the keying records.
class RecordingWaveOut : public test::FakeWaveOut {
public:
    std::function<void()> onCall;
    int open(int device) override {
        return around([&] { return FakeWaveOut::open(device); });
    }
    int reset() override {
        return around([&] { return FakeWaveOut::reset(); });
    }
    int close() override {
        return around([&] { return FakeWaveOut::close(); });
    }
    int write(WaveBuffer which, const std::int16_t* data, int values) override {
        return around([&] { return FakeWaveOut::write(which, data, values); });
    }

private:
    int around(const std::function<int()>& call) {
        if (onCall) onCall();
        const int r = call();
        if (onCall) onCall();
        return r;
    }
};

class GoldenSession : public ::testing::Test {
protected:
    void SetUp() override {
        lpt.setAddress(1, 0x378);
        lpt.setAddress(2, 0x278);
        lpt.setControl(0x0C);
        wave.deviceCount = 2;  // the chooser lists a third, gone since
        wave.onCall = [this] { drain(); };
        dir = fs::temp_directory_path() / ("keybird-golden-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        form.reset();
        keyer.reset();
        fs::remove_all(dir);
    }

    // A fresh install, or one whose keybird.dat starts as `settings` (a source-tree path).
    void start(const std::string& settings = {}) {
        if (!settings.empty()) fs::copy_file(fs::path(KEYBIRD_SOURCE_DIR) / settings, datPath());
        keyer = std::make_unique<Keyer>(lines, lpt, timer);
        keyer->loadLptAddresses();
        FormDevices dev;
        dev.waveOut = &wave;
        dev.ui = &ui;
        dev.keyer = keyer.get();
        dev.randomSeed = 20240611;
        dev.settingsPath = datPath().string();
        dev.devices.inputs = [] { return std::vector<std::string>{"pulse", "default"}; };
        dev.devices.outputs = [] { return std::vector<std::string>{"pulse", "default", "hw:1"}; };
        form = std::make_unique<TForm1>(dev);
        act("start", [this] {
            form->shell().FormCreate();
            form->show();
            QApplication::setActiveWindow(form.get());
            form->Editcaractere->setFocus();
        });
    }
    fs::path datPath() const { return dir / "keybird.dat"; }

    template <typename W>
    W* find(const char* name) {
        W* w = form->findChild<W*>(QString::fromLatin1(name));
        if (!w) throw std::runtime_error(std::string("no widget ") + name);
        return w;
    }
    void type(const char* text) { QTest::keyClicks(form->Editcaractere, QString::fromUtf8(text)); }
    void key(Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(form->Editcaractere, k, mods);
    }

    // Runs one user action or device event under a heading stamped with the fake clock,
    // and writes down what every device saw because of it. The sound device reports each
    // call as it comes, so sound calls and keying records keep their true order; between
    // two sound calls the keying records are listed by device (lines, LPT, timer).
    void act(const std::string& label, const std::function<void()>& action) {
        const std::int64_t now = clock.nowNs();
        log.append("@").append(std::to_string(now / 1'000'000)).append(".");
        log.append(std::to_string(now / 1000 % 1000 + 1000).substr(1)).append(" ");
        log.append(label).append("\n");
        action();
        drain();
    }

    void drain() {
        const std::vector<std::string> ev = lines.events();
        for (; seenEvents < ev.size(); ++seenEvents) log += "  com " + ev[seenEvents] + "\n";
        const std::vector<FakeIOCtrl::Call> io = lpt.calls();
        for (; seenIo < io.size(); ++seenIo) {
            static const char* const ops[] = {"enable", "disable", "in", "out"};
            log += std::string("  lpt ") + ops[static_cast<int>(io[seenIo].op)] + " " +
                   hex(io[seenIo].address, 3) + " " + hex(io[seenIo].value, 2) + "\n";
        }
        for (; seenArms < timer.armedIntervals().size(); ++seenArms) {
            const int ms = timer.armedIntervals()[seenArms];
            log += "  key timer " +
                   (ms == 0 ? std::string("at once") : std::to_string(ms) + " ms") + "\n";
        }
        for (; seenCalls < wave.calls.size(); ++seenCalls) {
            std::string line = wave.calls[seenCalls];
            if (line.starts_with("write") && seenWrites < wave.writes.size()) {
                const std::vector<std::int16_t>& v = wave.writes[seenWrites++].values;
                Fnv one;
                one.add(v);
                samples.add(v);
                sampleValues += v.size();
                line += " " + std::to_string(v.size());
                if (withSampleDigests) line += " " + hex(one.h);
                // Two values a frame at 22050 frames a second.
                soundEnd = clock.nowNs() +
                           static_cast<std::int64_t>(v.size() / 2) * 1'000'000'000 / OutputRate;
            }
            log += "  " + line + "\n";
        }
        // A message's further lines are indented under its first.
        const auto message = [](QString text) {
            return text.replace(QLatin1Char('\n'), QStringLiteral("\n        ")).toStdString();
        };
        for (; seenWarnings < ui.warnings.size(); ++seenWarnings) {
            log += "  warning " + message(ui.warnings[seenWarnings]) + "\n";
        }
        for (; seenErrors < ui.errors.size(); ++seenErrors) {
            log += "  error " + message(ui.errors[seenErrors]) + "\n";
        }
        for (; seenBeeps < ui.beeps; ++seenBeeps) log += "  beep\n";
        for (; seenEnds < ui.terminations; ++seenEnds) log += "  program ends\n";
    }

    // Lets the devices run: each keying step when its armed interval has passed, each
    // sound buffer given back when its sound has ended, the silent-mode clock and the TX
    // delay when they run out.
    // Stops when nothing is pending, or before the (buffers+1)-th buffer would be given
    // back or the (steps+1)-th keying step would fire.
    void play(int buffers = -1, int steps = -1) {
        for (int guard = 0; guard < 10000; ++guard) {
            const std::int64_t stepAt = clock.nowNs() + timer.pendingInterval() * 1'000'000LL;
            if (timer.pending() && (wave.pendingCount() == 0 || stepAt <= soundEnd)) {
                if (steps-- == 0) return;
                clock.set(stepAt);
                act("key step", [this] { timer.fire(); });
            } else if (wave.pendingCount() > 0) {
                if (buffers-- == 0) return;
                clock.set(std::max(clock.nowNs(), soundEnd));
                act("sound done", [this] { wave.completeNext(); });
            } else if (form->findChild<QTimer*>(QStringLiteral("Timer1"))
                           ->isActive()) {  // silent mode's stand-in for the device
                clock.advanceMs(form->findChild<QTimer*>(QStringLiteral("Timer1"))->interval());
                act("silent tick",
                    [this] { fire(form->findChild<QTimer*>(QStringLiteral("Timer1"))); });
            } else if (form->findChild<QTimer*>(QStringLiteral("TimerTXDelay"))->isActive()) {
                clock.advanceMs(
                    form->findChild<QTimer*>(QStringLiteral("TimerTXDelay"))->interval());
                act("TX delay over",
                    [this] { fire(form->findChild<QTimer*>(QStringLiteral("TimerTXDelay"))); });
            } else {
                return;
            }
        }
        throw std::runtime_error("the session never settles");
    }

    FakeClock clock;
    FakeSerialLines lines{clock, 4096};
    FakeIOCtrl lpt{clock, 4096};
    FakeMMTimer timer;
    RecordingWaveOut wave;
    test::FakeUi ui;
    std::unique_ptr<Keyer> keyer;
    std::unique_ptr<TForm1> form;
    fs::path dir;

    std::string log;
    bool withSampleDigests = true;
    Fnv samples;
    std::size_t sampleValues = 0;
    std::int64_t soundEnd = 0;
    std::size_t seenEvents = 0, seenIo = 0, seenArms = 0, seenCalls = 0, seenWrites = 0;
    qsizetype seenWarnings = 0, seenErrors = 0;
    int seenBeeps = 0, seenEnds = 0;
};

struct StreamDigest {
    std::uint64_t fnv;  // the transcript, then every value written, in order
    std::size_t calls;
    std::size_t writes;
    std::size_t values;
    bool operator==(const StreamDigest&) const = default;
};

TEST_F(GoldenSession, SoundOfAScriptedSessionIsUnchanged) {
    start();
    act("type \"cq \"", [&] { type("cq "); });
    play(2);
    act("speed 18", [&] { form->UpDownVitesse->setValue(18); });
    act("type \"de\"", [&] { type("de"); });
    play();
    act("Ctrl+U twice: 20 wpm; Alt+D: -12 dB", [&] {
        key(Qt::Key_U, Qt::ControlModifier);
        key(Qt::Key_U, Qt::ControlModifier);
        key(Qt::Key_D, Qt::AltModifier);
    });
    act("weight 4/1, word spacing x3", [&] {
        form->Poids41->trigger();
        form->MenuEspaceMotN[2]->trigger();
    });
    act("spacing 2 in its panel", [&] {
        form->Spacing1->trigger();
        form->findChild<QSpinBox*>(QStringLiteral("SpinEditEspace"))->stepUp();
        form->findChild<QPushButton*>(QStringLiteral("BitBtnOKEspace"))->click();
    });
    act("type \"f5abc 73\"", [&] { type("f5abc 73"); });
    play(3);
    act("Backspace", [&] { key(Qt::Key_Backspace); });
    play(2);
    act("clear the box", [&] { form->SpeedButtonRAZtext->click(); });
    play();
    act("level -3 dB, pitch 1000 Hz", [&] {
        form->UpDownAmplitude->setValue(-3);
        form->MenuNote->trigger();
        find<QSlider>("TrackBarNote")->setValue(50);
        form->FormNote->close();
    });
    act("delayed play; type \"paris 599?\"", [&] {
        form->MenuDelayedPlay->trigger();
        type("paris 599?");
    });
    act("replay", [&] { form->ButtonReplayText->click(); });
    play(4);
    act("stop", [&] { QTest::mouseClick(form->ButtonStop, Qt::LeftButton); });
    play();
    act("resume", [&] { form->ButtonReplayText->click(); });
    play();
    act("examination tone, weight 5/1", [&] {
        find<QCheckBox>("CheckBoxTonExamen")->click();
        form->Poids51->trigger();
    });
    act("replay", [&] { form->ButtonReplayText->click(); });
    play();
    act("continuous replay, standby 1 s", [&] { form->MenuStanby1s->trigger(); });
    act("replay", [&] { form->ButtonReplayText->click(); });
    play();
    act("the standby is over",
        [&] { fire(form->findChild<QTimer*>(QStringLiteral("TimerBoucle"))); });
    play(3);
    act("Escape stops", [&] { key(Qt::Key_Escape); });
    play();
    auto chooseCard = [&](int output) {
        form->MenuSoundCard->trigger();
        find<QRadioButton>(output < 0 ? "RadioButtonCarteWin" : "RadioButtonCarteMoi")->click();
        if (output >= 0) {
            find<QComboBox>("ComboBoxChoixIn")->setCurrentIndex(1);
            find<QComboBox>("ComboBoxChoixOut")->setCurrentIndex(output);
        }
        find<QPushButton>("BitBtnOKCarteSon")->click();
    };
    act("no loop; sound card: output hw:1, which fails", [&] {
        form->MenuNoBoucle->trigger();
        chooseCard(2);
    });
    act("delayed play off; type \"k\" without a device", [&] {
        form->MenuDelayedPlay->trigger();
        type("k");
    });
    play();
    act("sound card: the system's choice", [&] { chooseCard(-1); });
    act("type \"73\"", [&] { type("73"); });
    play();
    act("sound card: output default", [&] { chooseCard(1); });
    act("type \"e\"", [&] { type("e"); });
    play();
    act("Tools/Quit", [&] { form->MenuOutilsQuit->trigger(); });

    expectGolden("session-sound.txt", log);
    Fnv all;
    all.add(log);
    all.add(hex(samples.h));
    const StreamDigest now{all.h, wave.calls.size(), wave.writes.size(), sampleValues};
    const StreamDigest golden{0xc5cdd427a35446ab, 111, 49, 2110564};
    EXPECT_TRUE(now == golden) << "the session's sound changed; if deliberate, the new digest is\n"
                               << "    {0x" << hex(now.fnv) << ", " << now.calls << ", "
                               << now.writes << ", " << now.values << "}";
}

TEST_F(GoldenSession, KeyingStepsOfAScriptedSessionAreUnchanged) {
    withSampleDigests = false;  // the sound has its own golden; here only its length counts
    start();
    act("port: PTT on DTR, CW on RTS, TX delay 150 ms, COM1", [&] {
        form->MenuPort->trigger();
        find<QCheckBox>("CheckBoxPTTRTS")->click();
        find<QCheckBox>("CheckBoxCWRTS")->click();
        find<RadioGroup>("RadioGroupTXDelay")->clickItem(2);
        find<RadioGroup>("RadioGroupCOM")->clickItem(1);
        find<QPushButton>("ButtonClosePanelPort")->click();
    });
    act("type \"cq 5\"", [&] { type("cq 5"); });
    play();
    act("speed 25, weight 5/1", [&] {
        form->UpDownVitesse->setValue(25);
        form->Poids51->trigger();
    });
    act("delayed play; type \"e t? 0\"", [&] {
        form->MenuDelayedPlay->trigger();
        type("e t? 0");
    });
    act("replay", [&] { form->ButtonReplayText->click(); });
    play(3, 3);  // three keying steps: down, up and down again
    act("stop with the key down", [&] { form->ButtonStop->click(); });
    play();
    act("resume", [&] { form->ButtonReplayText->click(); });
    play();
    act("LPT1, pin 14, negative logic off", [&] {
        form->MenuPort->trigger();
        find<RadioGroup>("RadioGroupLPT")->clickItem(1);
        find<RadioGroup>("RadioGroupPin")->clickItem(1);
        find<QCheckBox>("CheckBoxPin14")->click();
    });
    act("replay, the port panel still open", [&] { form->ButtonReplayText->click(); });
    play();
    act("COM none, panel closed", [&] {
        find<RadioGroup>("RadioGroupCOM")->clickItem(0);
        find<QPushButton>("ButtonClosePanelPort")->click();
    });
    act("delayed play off; type \"ar\"", [&] {
        form->MenuDelayedPlay->trigger();
        type("ar");
    });
    play();
    act("close the window", [&] { form->close(); });
    expectGolden("keying-steps.txt", log);
}

struct SettingsCase {
    const char* name;
    const char* startFile;  // empty: a fresh install
    const char* golden;
};

void PrintTo(const SettingsCase& c, std::ostream* os) {
    *os << c.name;
}

class GoldenSettings : public GoldenSession, public ::testing::WithParamInterface<SettingsCase> {};

TEST_P(GoldenSettings, KeybirdDatAfterAScriptedSessionIsUnchanged) {
    start(GetParam().startFile);
    form->UpDownVitesse->stepUp();
    form->UpDownVitesse->stepUp();
    form->UpDownVitesse->stepUp();
    key(Qt::Key_D, Qt::AltModifier);
    form->Spacing1->trigger();
    form->findChild<QSpinBox*>(QStringLiteral("SpinEditEspace"))->stepUp();
    form->findChild<QPushButton*>(QStringLiteral("BitBtnOKEspace"))->click();
    form->MenuEspaceMotN[3]->trigger();
    form->Poids41->trigger();
    form->MenuNote->trigger();
    find<QSlider>("TrackBarNote")->setValue(62);
    form->MenuNoisesettings->trigger();
    find<QSlider>("TrackBarNoise")->setValue(4);
    find<QRadioButton>("RadioButton2k")->click();
    form->MenuQSBsetting->trigger();
    find<QSlider>("TrackBarQSB")->setValue(15);
    form->MenuSoundCard->trigger();
    find<QRadioButton>("RadioButtonCarteMoi")->click();
    find<QComboBox>("ComboBoxChoixIn")->setCurrentIndex(0);
    find<QComboBox>("ComboBoxChoixOut")->setCurrentIndex(1);
    find<QPushButton>("BitBtnOKCarteSon")->click();
    form->MenuPort->trigger();
    find<QCheckBox>("CheckBoxPTTDTR")->click();
    find<QCheckBox>("CheckBoxCWDTR")->click();
    find<RadioGroup>("RadioGroupTXDelay")->clickItem(3);
    find<RadioGroup>("RadioGroupCOM")->clickItem(2);
    find<RadioGroup>("RadioGroupLPT")->clickItem(2);
    find<RadioGroup>("RadioGroupPin")->clickItem(3);
    find<QCheckBox>("CheckBoxPin17")->click();
    find<QPushButton>("ButtonClosePanelPort")->click();
    type("cq");
    play();
    form->close();
    EXPECT_TRUE(ui.warnings.isEmpty()) << ui.warnings.join(QStringLiteral("; ")).toStdString();
    expectGolden(GetParam().golden, readFile(datPath()));
}

INSTANTIATE_TEST_SUITE_P(Sessions, GoldenSettings,
                         ::testing::Values(SettingsCase{"FreshInstall", "", "keybird-session.dat"},
                                           SettingsCase{"FullFile", "fuzz/corpus/settings/full.dat",
                                                        "keybird-session-full.dat"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kb
