// The port panel and the transmitter keying as the main window drives them, with fake
// serial lines, a fake parallel port and a keying timer fired by hand.

#include <gtest/gtest.h>
#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <fstream>

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

class PortWindowTest : public test::WindowTest {
protected:
    void SetUp() override {
        lpt.setAddress(1, 0x378);
        lpt.setAddress(2, 0x278);
        lpt.setControl(0x0C);
        create({});
    }
    void TearDown() override {
        form.reset();
        WindowTest::TearDown();
    }

    void create(std::vector<std::string> args, const std::string& settings = {}) {
        form.reset();
        keyer = std::make_unique<Keyer>(lines, lpt, timer);
        keyer->loadLptAddresses();
        test::WindowOptions o;
        o.keyer = keyer.get();
        o.arguments = std::move(args);
        o.settings = settings;
        WindowTest::create(o);
        lines.clearEvents();
    }

    static std::string defaultsWith(std::vector<std::pair<std::string, std::string>> keys) {
        return WindowTest::defaultsWith(keys);
    }

    PortPanel& port() { return *form->portPanel(); }
    bool lampOn() { return !form->LedOn->isHidden() && form->LedOff->isHidden(); }

    FakeClock clock;
    FakeSerialLines lines{clock};
    FakeIOCtrl lpt{clock};
    FakeMMTimer timer;
    std::unique_ptr<Keyer> keyer;
};

TEST_F(PortWindowTest, ThePanelOpensFromItsMenuAndShowsTheDetectedAddresses) {
    form->MenuPort->trigger();
    EXPECT_FALSE(port().PanelPort->isHidden());
    EXPECT_EQ(port().EditLPT[0]->text(), QStringLiteral("[378h]"));
    EXPECT_EQ(port().EditLPT[1]->text(), QStringLiteral("[278h]"));
    EXPECT_EQ(port().EditLPT[2]->text(), QStringLiteral("[000h]"));
    EXPECT_TRUE(port().CheckBoxPTTDTR->isChecked());
    EXPECT_FALSE(port().CheckBoxCWDTR->isEnabled());
    EXPECT_EQ(port().RadioGroupTXDelay->ItemIndex(), 1);
    // Another side panel closes it.
    form->Spacing1->trigger();
    EXPECT_TRUE(port().PanelPort->isHidden());
}

TEST_F(PortWindowTest, WithoutAPortNothingIsKeyedAndTheLampStaysOff) {
    QTest::keyClicks(form->Editcaractere, QStringLiteral("e"));
    EXPECT_FALSE(play().TimerTXDelay->isActive());
    EXPECT_EQ(wave->writes.size(), 1u);
    EXPECT_FALSE(timer.pending());
    EXPECT_FALSE(lampOn());
    EXPECT_TRUE(lines.events().empty());
}

TEST_F(PortWindowTest, PttOnDtrCwOnRtsKeysTheCharacterAfterTheTxDelay) {
    form->MenuPort->trigger();
    port().CheckBoxPTTRTS->click();  // PTT on DTR only
    EXPECT_TRUE(port().CheckBoxCWRTS->isEnabled());
    port().CheckBoxCWRTS->click();  // CW on RTS
    EXPECT_FALSE(port().CheckBoxPTTRTS->isEnabled()) << "a line serves one purpose";
    port().RadioGroupTXDelay->clickItem(4);
    port().RadioGroupCOM->clickItem(1);
    EXPECT_EQ(lines.openedPath(), "/dev/ttyS0");
    lines.clearEvents();

    QTest::keyClicks(form->Editcaractere, QStringLiteral("e"));
    EXPECT_EQ(lines.events(), std::vector<std::string>{"DTR+"});  // PTT
    EXPECT_TRUE(lampOn());
    // The first character waits for the transmitter to switch over.
    EXPECT_TRUE(play().TimerTXDelay->isActive());
    EXPECT_EQ(play().TimerTXDelay->interval(), 250);
    EXPECT_TRUE(wave->writes.empty());
    play().TimerTXDelayTimer();
    ASSERT_EQ(wave->writes.size(), 1u);
    // The key goes down on the keying timer's first step, due at once, not here.
    EXPECT_EQ(lines.events(), std::vector<std::string>{"DTR+"});
    EXPECT_TRUE(timer.pending());
    EXPECT_EQ(timer.pendingInterval(), 0);
    timer.fire();
    EXPECT_EQ(lines.events(), (std::vector<std::string>{"DTR+", "RTS+"}));  // key down
    EXPECT_EQ(timer.pendingInterval(), 94);  // the dot at 12 wpm: 2083 frames
    timer.fire();                            // "E" ends: key up, no more steps
    EXPECT_EQ(lines.events().back(), "RTS-");
    EXPECT_FALSE(timer.pending());

    wave->completeAll();  // the end of the text releases the transmitter
    EXPECT_FALSE(lampOn());
    EXPECT_FALSE(lines.dtr());
    EXPECT_FALSE(lines.rts());
}

TEST_F(PortWindowTest, StopDuringTheTxDelayDropsPtt) {
    form->MenuPort->trigger();
    port().RadioGroupCOM->clickItem(1);
    QTest::keyClicks(form->Editcaractere, QStringLiteral("e"));
    ASSERT_TRUE(play().TimerTXDelay->isActive());
    ASSERT_TRUE(lines.dtr());
    form->ButtonStop->click();  // the port panel stays open: Stop stops
    EXPECT_FALSE(port().PanelPort->isHidden());
    EXPECT_FALSE(lines.dtr());
    EXPECT_FALSE(lines.rts());
    EXPECT_FALSE(lampOn());
    play().TimerTXDelayTimer();  // the delay runs out: nothing is left to play
    EXPECT_TRUE(wave->writes.empty());
    EXPECT_FALSE(lines.dtr());
}

TEST_F(PortWindowTest, ABlankIsNeverKeyedAndPttStaysOn) {
    form->MenuPort->trigger();
    port().CheckBoxPTTRTS->click();
    port().CheckBoxCWRTS->click();
    port().RadioGroupCOM->clickItem(1);
    form->MenuDelayedPlay->trigger();
    QTest::keyClicks(form->Editcaractere, QStringLiteral("e e"));
    form->ButtonReplayText->click();
    play().TimerTXDelayTimer();
    timer.fire();  // key down
    timer.fire();  // key up
    lines.clearEvents();
    wave->completeNext();  // "e" done: the blank is next
    EXPECT_TRUE(lines.events().empty());
    EXPECT_FALSE(timer.pending());
    EXPECT_TRUE(lines.dtr()) << "PTT stays on through the word gap";
    wave->completeNext();
    timer.fire();
    EXPECT_EQ(lines.events(), std::vector<std::string>{"RTS+"});
}

TEST_F(PortWindowTest, APortOpenedWhileTextIsPendingAssertsPttAtOnce) {
    QTest::keyClicks(form->Editcaractere, QStringLiteral("abc"));
    form->MenuPort->trigger();
    port().RadioGroupCOM->clickItem(2);
    EXPECT_EQ(lines.openedPath(), "/dev/ttyS1");
    EXPECT_TRUE(lines.dtr());
    EXPECT_TRUE(lines.rts());
    EXPECT_TRUE(lampOn());
}

TEST_F(PortWindowTest, ChoosingCom2WhileCom1IsOpenDropsCom1First) {
    form->MenuPort->trigger();
    port().RadioGroupCOM->clickItem(1);
    QTest::keyClicks(form->Editcaractere, QStringLiteral("e"));  // PTT up on COM1
    lines.clearEvents();
    port().RadioGroupCOM->clickItem(2);
    const std::vector<std::string> ev = lines.events();
    ASSERT_GE(ev.size(), 4u);
    EXPECT_EQ((std::vector<std::string>(ev.begin(), ev.begin() + 3)),
              (std::vector<std::string>{"DTR-", "RTS-", "close"}));
    EXPECT_EQ(ev[3], "open /dev/ttyS1");
}

TEST_F(PortWindowTest, APortThatCannotOpenSaysErrorCom) {
    lines.failOpenWith(ENOENT);
    form->MenuPort->trigger();
    port().RadioGroupCOM->clickItem(3);
    ASSERT_EQ(ui.warnings.size(), 1);
    EXPECT_TRUE(ui.warnings[0].startsWith(
        QStringLiteral("Error COM\n/dev/ttyS2: No such file or directory\n")));
    EXPECT_EQ(port().RadioGroupCOM->ItemIndex(), 0);
    EXPECT_FALSE(keyer->keyingActive());
}

// "Error COM" stays the first line; the device, the system's reason and the usual mend
// follow it.
TEST_F(PortWindowTest, ErrorComSaysTheDeviceTheReasonAndWhatToDo) {
    struct Case {
        int err;
        int item;
        const char* mapped;  // a COMDEVn= mapping, or empty
        const char* second;  // the line after "Error COM"
        const char* third;   // what the third line holds; empty: no third line
    };
    const Case cases[] = {
        {ENOENT, 2, "", "/dev/ttyS1: No such file or directory", "COMDEV2=/dev/ttyUSB0"},
        {EACCES, 1, "/dev/ttyUSB0",
         "/dev/ttyUSB0: Permission denied: add yourself to the dialout group (sudo adduser "
         "$USER dialout), then log in again.",
         ""},
        {EBUSY, 4, "", "/dev/ttyS3: Device or resource busy: another program holds the port.", ""},
        {ENOTTY, 3, "/dev/ttyACM0", "/dev/ttyACM0: Inappropriate ioctl for device",
         "map COM3 to it"},
    };
    form->MenuPort->trigger();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.second);
        ui.warnings.clear();
        keyer->comDevices().setDevicePath(c.item, c.mapped);
        lines.failOpenWith(c.err);
        port().RadioGroupCOM->clickItem(c.item);
        ASSERT_EQ(ui.warnings.size(), 1);
        const QStringList text = ui.warnings[0].split(QLatin1Char('\n'));
        ASSERT_GE(text.size(), 2);
        EXPECT_EQ(text[0], QStringLiteral("Error COM"));
        EXPECT_EQ(text[1], QString::fromUtf8(c.second));
        if (*c.third) {
            ASSERT_EQ(text.size(), 3);
            EXPECT_TRUE(text[2].contains(QString::fromUtf8(c.third))) << text[2].toStdString();
            EXPECT_TRUE(text[2].contains(QStringLiteral("README"))) << text[2].toStdString();
        } else {
            EXPECT_EQ(text.size(), 2);
        }
        EXPECT_EQ(port().RadioGroupCOM->ItemIndex(), 0);
    }
}

TEST_F(PortWindowTest, AnAdapterPulledWhileKeyingStopsKeyingAndSaysSo) {
    form->MenuPort->trigger();
    port().CheckBoxPTTRTS->click();
    port().CheckBoxCWRTS->click();
    port().RadioGroupCOM->clickItem(1);
    QTest::keyClicks(form->Editcaractere, QStringLiteral("ee"));
    play().TimerTXDelayTimer();
    timer.fire();  // key down
    lines.failLinesWith(EIO);
    timer.fire();                       // the step fails on the "timer thread"
    QCoreApplication::processEvents();  // the fault reaches the window
    ASSERT_EQ(ui.warnings.size(), 1);
    EXPECT_TRUE(
        ui.warnings[0].startsWith(QStringLiteral("Error COM\n/dev/ttyS0: Input/output error\n")));
    EXPECT_EQ(port().RadioGroupCOM->ItemIndex(), 0);
    EXPECT_FALSE(lampOn());
    // The text plays on without keying.
    wave->completeAll();
    EXPECT_EQ(wave->writes.size(), 2u);
    EXPECT_FALSE(timer.pending());
}

TEST_F(PortWindowTest, TypedLptAddressesAreTakenOnlyWhenWellFormed) {
    form->MenuPort->trigger();
    port().RadioGroupLPT->clickItem(2);
    port().EditLPT[1]->clear();
    QTest::keyClicks(port().EditLPT[1], QStringLiteral("[27h]"));
    EXPECT_EQ(keyer->lptAddress(2), 0x278);  // unchanged
    port().EditLPT[1]->setText(QStringLiteral("[2BCh]"));
    EXPECT_EQ(keyer->lptAddress(2), 0x2BC);
    EXPECT_EQ(keyer->LptBaseAddress(), 0x2BC);
}

TEST_F(PortWindowTest, ALptWithoutAddressBeepsAndReturnsToThePreviousChoice) {
    form->MenuPort->trigger();
    port().RadioGroupLPT->clickItem(1);
    port().RadioGroupLPT->clickItem(3);  // no LPT3 here
    EXPECT_EQ(ui.beeps, 1);
    EXPECT_EQ(port().RadioGroupLPT->ItemIndex(), 1);
}

TEST_F(PortWindowTest, Pin16WithoutNegativeLogicClearsBit2) {
    form->MenuPort->trigger();
    port().RadioGroupPin->clickItem(2);
    port().RadioGroupLPT->clickItem(1);
    ASSERT_FALSE(port().CheckBoxPin[2]->isChecked());
    EXPECT_EQ(lpt.control() & 0x04, 0);
    port().CheckBoxPin[2]->click();  // negative logic: key up sets it
    EXPECT_EQ(lpt.control() & 0x04, 0x04);
}

TEST_F(PortWindowTest, TheCom2SwitchOpensCom2) {
    create({"/com2"});
    EXPECT_EQ(port().RadioGroupCOM->ItemIndex(), 2);
    EXPECT_EQ(lines.openedPath(), "/dev/ttyS1");
    EXPECT_FALSE(lines.dtr());
    EXPECT_FALSE(lines.rts());
}

TEST_F(PortWindowTest, StoredPortKeysApplyAndComeBackAtExit) {
    const std::string file = defaultsWith({{"COM=", "1"},
                                           {"PTT=", "1"},
                                           {"CW=", "2"},
                                           {"TXDELAY=", "250"},
                                           {"LPT=", "2"},
                                           {"ADLPT=", "[2BCh]"},
                                           {"PIN=", "2"},
                                           {"LOGIC=", "N"},
                                           {"OSOUND=", "-1\r\nCOMDEV1=/dev/ttyUSB0"}});
    create({}, file);
    EXPECT_EQ(lines.openedPath(), "/dev/ttyUSB0");
    EXPECT_EQ(keyer->PttLineMask(), LineDtr);
    EXPECT_EQ(keyer->CwLineMask(), LineRts);
    EXPECT_EQ(play().TimerTXDelay->interval(), 250);
    EXPECT_EQ(port().RadioGroupTXDelay->ItemIndex(), 4);
    EXPECT_EQ(port().RadioGroupLPT->ItemIndex(), 2);
    EXPECT_EQ(port().EditLPT[1]->text(), QStringLiteral("[2BCh]"));
    EXPECT_EQ(keyer->LptBaseAddress(), 0x2BC);
    EXPECT_EQ(port().RadioGroupPin->ItemIndex(), 2);
    EXPECT_TRUE(port().CheckBoxPin[2]->isChecked());
    form->close();
    std::ifstream in(settingsPath(), std::ios::binary);
    const std::string written{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_EQ(written, file);
}

}  // namespace
}  // namespace kb
