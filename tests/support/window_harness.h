#pragma once
// The main window built with fake devices, for every GUI test: a fake sound output that
// completes buffers on command, recorded message boxes, and optionally a keyer on fake
// lines and a keybird.dat of the test's own in a private folder.

#include <QApplication>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/app_shell.h"
#include "modes/play_control.h"
#include "support/fake_ui.h"
#include "support/fake_wave_out.h"
#include "ui/form1.h"
#include "ui/timing_controls.h"
#include "ui/typed_text_edit.h"

namespace kb::test {

struct WindowOptions {
    std::vector<std::string> arguments;
    // keybird.dat's bytes; empty: no settings file at all.
    std::string settings;
    SettingsFileOps* settingsOps = nullptr;
    Keyer* keyer = nullptr;
    int openResult = 0;    // what opening the sound output returns
    int deviceCount = -1;  // with a count, device numbers beyond it fail to open
    DeviceLists devices;
    std::uint32_t randomSeed = 0;
    bool show = false;     // shown and active, for tests that type into it
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
        FormDevices dev;
        dev.waveOut = wave.get();
        dev.ui = &ui;
        dev.keyer = o.keyer;
        dev.arguments = std::move(o.arguments);
        dev.settingsOps = o.settingsOps;
        dev.devices = std::move(o.devices);
        dev.randomSeed = o.randomSeed;
        if (!o.settings.empty()) {
            writeSettings(o.settings);
            dev.settingsPath = settingsPath().string();
        }
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
        std::ifstream in(std::filesystem::path(KEYBIRD_SOURCE_DIR) /
                             "fuzz/corpus/settings/default.dat",
                         std::ios::binary);
        std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        for (const auto& [key, value] : keys) {
            const std::size_t at = bytes.find(key);
            bytes.replace(at, bytes.find("\r\n", at) - at, key + value);
        }
        return bytes;
    }

    PlayControl& play() { return form->play(); }
    PlaybackEngine& engine() { return form->play().engine(); }
    TimingControls& timing() { return form->timing(); }
    const std::string& pending() { return engine().pendingText(); }

    FakeUi ui;
    std::unique_ptr<FakeWaveOut> wave;
    std::unique_ptr<TForm1> form;
    std::filesystem::path dir;
};

}  // namespace kb::test
