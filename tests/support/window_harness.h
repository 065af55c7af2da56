#pragma once
// The main window built with fake devices, for every GUI test: a fake sound output that
// completes buffers on command, recorded message boxes, and optionally a keyer on fake
// lines and a keybird.dat of the test's own in a private folder.

#include <gtest/gtest.h>
#include <unistd.h>
#include <QApplication>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/app_shell.h"
#include "audio/character_fill.h"
#include "modes/play_control.h"
#include "support/fake_ui.h"
#include "support/fake_wave_in.h"
#include "support/fake_wave_out.h"
#include "ui/form1.h"
#include "ui/timing_controls.h"
#include "ui/typed_text_edit.h"

namespace kb::test {

struct WindowOptions {
    std::vector<std::string> arguments;
    // keybird.dat's bytes; empty: no settings file, unless useSettingsFile.
    std::string settings;
    // The test folder's keybird.dat as it stands (or missing) is the settings file.
    bool useSettingsFile = false;
    SettingsFileOps* settingsOps = nullptr;
    Keyer* keyer = nullptr;
    int openResult = 0;    // what opening the sound output returns
    int deviceCount = -1;  // with a count, device numbers beyond it fail to open
    DeviceLists devices;
    std::uint32_t randomSeed = 0;
    bool show = false;  // shown and active, for tests that type into it
};

class WindowTest : public ::testing::Test {
protected:
    void TearDown() override {
        form.reset();
        if (!dir.empty()) std::filesystem::remove_all(dir);
    }

    // Builds the window (replacing one built before) and runs its creation steps.
    void create(WindowOptions o = {}) {
        form.reset();
        wave = std::make_unique<FakeWaveOut>();
        wave->openResult = o.openResult;
        wave->deviceCount = o.deviceCount;
        waveIn = std::make_unique<FakeWaveIn>();
        FormDevices dev;
        dev.waveOut = wave.get();
        dev.waveIn = waveIn.get();
        dev.ui = &ui;
        dev.keyer = o.keyer;
        dev.arguments = std::move(o.arguments);
        dev.settingsOps = o.settingsOps;
        dev.devices = std::move(o.devices);
        dev.randomSeed = o.randomSeed;
        if (!o.settings.empty()) writeSettings(o.settings);
        if (!o.settings.empty() || o.useSettingsFile) dev.settingsPath = settingsPath().string();
        form = std::make_unique<TForm1>(dev);
        form->shell().FormCreate();
        if (o.show) {
            form->show();
            QApplication::setActiveWindow(form.get());
            form->Editcaractere->setFocus();
        }
    }

    // The test's own folder, made on first use and removed after the test.
    const std::filesystem::path& folder() {
        if (dir.empty()) {
            dir = std::filesystem::temp_directory_path() /
                  ("keybird-test-" + std::to_string(::getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
            std::filesystem::create_directories(dir);
        }
        return dir;
    }
    std::filesystem::path settingsPath() { return folder() / "keybird.dat"; }
    void writeSettings(const std::string& bytes) {
        std::ofstream(settingsPath(), std::ios::binary | std::ios::trunc) << bytes;
    }
    std::string readSettings() {
        std::ifstream in(settingsPath(), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    // The program's own default keybird.dat with some keys' values replaced.
    static std::string defaultsWith(const std::vector<std::pair<std::string, std::string>>& keys) {
        std::ifstream in(
            std::filesystem::path(KEYBIRD_SOURCE_DIR) / "fuzz/corpus/settings/default.dat",
            std::ios::binary);
        std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        for (const auto& [key, value] : keys) {
            const std::size_t at = bytes.find(key);
            bytes.replace(at, bytes.find("\r\n", at) - at, key + value);
        }
        return bytes;
    }

    // What one character sounds like with these settings, from the fill itself (no
    // noise or fading): a blank when `code` is empty.
    std::vector<std::int16_t> sound(std::string_view code, const CharacterSettings& s = {}) {
        CharBuffer b;
        KeyingSchedule k;
        RandomInt r;
        Fading f;
        const int n =
            fillOneCharacter(b, k, false, {form->soundTables(), r, f}, code, code.empty(), s);
        return {b.data(), b.data() + n};
    }
    static CharacterSettings at(int speed, int spacing = 1, int weight = 3, int wordFactor = 1) {
        CharacterSettings s;
        s.speed = speed;
        s.spacing = spacing;
        s.weightRatio = weight;
        s.wordSpacingFactor = wordFactor;
        return s;
    }
    // The tone buffers written so far, one after the other.
    std::vector<std::int16_t> heard() { return wave->toneStream(); }
    static std::vector<std::int16_t> join(std::initializer_list<std::vector<std::int16_t>> parts) {
        std::vector<std::int16_t> all;
        for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
        return all;
    }
    void type(const char* text) { QTest::keyClicks(form->Editcaractere, QString::fromUtf8(text)); }

    PlayControl& play() { return form->play(); }
    PlaybackEngine& engine() { return form->play().engine(); }
    TimingControls& timing() { return form->timing(); }
    const std::string& pending() { return engine().pendingText(); }

    FakeUi ui;
    std::unique_ptr<FakeWaveOut> wave;
    std::unique_ptr<FakeWaveIn> waveIn;
    std::unique_ptr<TForm1> form;
    std::filesystem::path dir;
};

}  // namespace kb::test
