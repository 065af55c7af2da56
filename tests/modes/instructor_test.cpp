// The instructor's locks through their dialog (password, inhibit, Cancel, restart, what
// is saved) and the demo window following the file mode.

#include <gtest/gtest.h>
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTextEdit>
#include <QToolButton>

#include "app/settings_binding.h"
#include "modes/demo_window.h"
#include "modes/file_mode.h"
#include "modes/instructor.h"
#include "modes/random_mode.h"
#include "support/window_harness.h"

namespace kb {
namespace {

enum Lock { MF = 1, MR = 2, FS = 4, FN = 8 };

// One confirmation: the password typed, the lock boxes checked (a mask of Lock), inhibit.
struct Step {
    const char* typed;
    int boxes;
    bool inhibit = false;
};

class InstructorTest : public test::WindowTest {
protected:
    void SetUp() override { create(); }
    TFormInstructor& dlg() { return *form->FormInstructor; }
    void confirm(const Step& s) {
        form->MenuInstructor->trigger();
        dlg().EditPassword->setText(QString::fromUtf8(s.typed));
        for (auto [box, bit] : boxes()) box->setChecked(s.boxes & bit);
        dlg().CheckBoxInhibitInstructor->setChecked(s.inhibit);
        dlg().BitBtnOK->click();
    }
    std::vector<std::pair<QCheckBox*, int>> boxes() {
        return {{dlg().CheckBoxMaskedFile, MF},
                {dlg().CheckBoxMaskedRandom, MR},
                {dlg().CheckBoxFixedSpeed, FS},
                {dlg().CheckBoxFixedNote, FN}};
    }
    int checked() {
        int m = 0;
        for (auto [box, bit] : boxes()) m |= box->isChecked() ? bit : 0;
        return m;
    }
    // The locks the window is under, read from the controls themselves.
    int windowLocks() {
        RandomMode& r = form->randomMode();
        const bool memoBlack = r.MemoRandom->palette().color(QPalette::Base) == Qt::black;
        EXPECT_EQ(memoBlack, !r.ButtonHide->isEnabled());
        EXPECT_EQ(form->fileMode().textHidden(), !form->fileMode().ButtonHideFile->isEnabled());
        return (form->fileMode().ButtonHideFile->isEnabled() ? 0 : MF) |
               (r.ButtonHide->isEnabled() ? 0 : MR) | (form->UpDownVitesse->isEnabled() ? 0 : FS) |
               (form->MenuNote->isEnabled() ? 0 : FN);
    }
};

struct OkCase {
    const char* name;
    std::vector<Step> before;
    Step last;
    int locks;
    bool staysOpen, asksNew, incorrect;
    int beeps, warnings;
    const char* password;
};

class InstructorOk : public InstructorTest, public testing::WithParamInterface<OkCase> {};

TEST_P(InstructorOk, ChecksThePasswordThenAppliesTheLocks) {
    const OkCase& c = GetParam();
    for (const Step& s : c.before) confirm(s);
    ui.beeps = 0;
    confirm(c.last);
    EXPECT_EQ(windowLocks(), c.locks);
    EXPECT_EQ(dlg().isVisible(), c.staysOpen);
    EXPECT_EQ(!dlg().LabelPassword->isHidden(), c.asksNew);
    EXPECT_EQ(!dlg().LabelIncorrectPassword->isHidden(), c.incorrect);
    EXPECT_EQ(ui.beeps, c.beeps);
    EXPECT_EQ(ui.warnings.size(), c.warnings);
    EXPECT_EQ(dlg().instructorPassword(), c.password);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InstructorOk,
    testing::Values(
        OkCase{"NothingTypedFirstTime", {}, {"", MR}, 0, true, true, false, 1, 0, ""},
        OkCase{"FirstPasswordCreatesIt", {}, {"abc", MR}, MR, false, false, false, 0, 0, "abc"},
        OkCase{"SamePasswordChanges", {{"abc", MR}}, {"abc", FS | FN}, FS | FN, false, false,
               false, 0, 0, "abc"},
        OkCase{"CaseCounts", {{"abc", MR}}, {"ABC", FS}, MR, true, false, true, 1, 0, "abc"},
        OkCase{"EmptyOnceOneExists", {{"abc", MR}}, {"", 0}, MR, true, false, true, 1, 0, "abc"},
        OkCase{"InhibitClearsAll", {{"abc", MF | MR | FS | FN}}, {"abc", MF | MR, true}, 0, false,
               false, false, 0, 0, ""},
        OkCase{"AfterInhibitAsksNew", {{"abc", MR}, {"abc", 0, true}}, {"", MR}, 0, true, true,
               false, 1, 0, ""},
        // n-tilde in 5th place would scramble to a line feed: the file could not hold it.
        OkCase{"UnstorableRefused", {}, {"abcd\xC3\xB1", MR}, 0, true, false, false, 1, 1, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(InstructorTest, CancelOrCloseRestoresTheBoxesAndLeavesTheWindow) {
    const std::vector<std::function<void()>> ways = {[&] { dlg().BitBtnCancel->click(); },
                                                     [&] { dlg().close(); },
                                                     [&] { QTest::keyClick(&dlg(), Qt::Key_Escape); }};
    confirm({"abc", MF});
    for (const auto& way : ways) {
        form->MenuInstructor->trigger();
        dlg().CheckBoxMaskedFile->setChecked(false);
        dlg().CheckBoxMaskedRandom->setChecked(true);
        way();
        EXPECT_FALSE(dlg().isVisible());
        EXPECT_EQ(checked(), MF);
        EXPECT_EQ(windowLocks(), MF);
    }
}

TEST_F(InstructorTest, FixedSpeedLeavesTheSpeedKeys) {
    confirm({"abc", FS});
    const int speed = form->UpDownVitesse->value();
    form->UpSpeed->trigger();
    form->UpSpeed->trigger();
    form->DownSpeed->trigger();
    EXPECT_EQ(form->UpDownVitesse->value(), speed + 1);
    EXPECT_FALSE(form->UpDownVitesse->isEnabled());
}

TEST_F(InstructorTest, StoredLocksApplyAtStartUpAndStayThroughHideAndLanguage) {
    for (auto [key, lock] : {std::pair{"INSTMF=", MF}, {"INSTMR=", MR}, {"INSTFS=", FS},
                             {"INSTFN=", FN}}) {
        test::WindowOptions o;
        o.settings = defaultsWith({{key, "1"}, {"MDPINT=", "bfl"}});
        create(o);
        for (int k = 0; k < 2; ++k) {  // twice: unlocked, back as it was
            form->randomMode().ButtonHideClick();
            form->fileMode().ButtonHideFileClick();
        }
        form->ApplyLanguage(Language::French);
        const char* show = languageTexts(Language::French).shared.showCaption;
        const char* hide = languageTexts(Language::French).shared.hideCaption;
        EXPECT_EQ(windowLocks(), lock) << key;
        EXPECT_EQ(form->randomMode().ButtonHide->text().toStdString(), lock == MR ? show : hide);
        EXPECT_EQ(form->fileMode().ButtonHideFile->text().toStdString(), lock == MF ? show : hide);
        form->MenuInstructor->trigger();
        EXPECT_EQ(checked(), lock) << key;
        confirm({"abc", 0, true});  // the stored password unscrambled
        EXPECT_EQ(windowLocks(), 0) << key;
    }
}

TEST_F(InstructorTest, ExitSavesTheLocksInForceAndTheScrambledPassword) {
    test::WindowOptions o;
    o.useSettingsFile = true;
    create(o);
    confirm({"abc", MR});
    form->MenuInstructor->trigger();
    dlg().CheckBoxFixedSpeed->setChecked(true);  // never confirmed
    form->settingsBinding().write();
    const std::string saved = readSettings();
    for (const char* line : {"MDPINT=bfl\r\n", "INSTMR=1\r\n", "INSTFS=0\r\n", "INSTMF=0\r\n"}) {
        EXPECT_NE(saved.find(line), std::string::npos) << line;
    }
}

class DemoTest : public InstructorTest {
protected:
    void SetUp() override { create(shown()); }
    static test::WindowOptions shown() {
        test::WindowOptions o;
        o.show = true;
        return o;
    }
    void open(const std::string& bytes) {
        const auto path = folder() / "t.txt";
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        ui.openAnswer = QString::fromStdString(path.string());
        form->RadioButtonFile->click();
    }
};

// Registered after the file mode: sees both selections after each highlight step.
struct SelectionProbe : Mode {
    explicit SelectionProbe(TForm1& f) : f(f) {}
    void beforeCharacter() override {
        if (!f.fileMode().fileModeOn()) return;
        QString box = f.fileMode().FileEdit->textCursor().selectedText();
        const QString demo = f.FormDemo->MemoDemo->textCursor().selectedText();
        boxes.push_back(static_cast<int>(box.size()));
        demos.push_back(static_cast<int>(demo.size()));
        // The box's one break is the demo's CR (an invisible stand-in) and LF.
        same.push_back(demo == box.replace(QChar(0x2029), QStringLiteral("\u200B\u2029")));
    }
    TForm1& f;
    std::vector<int> boxes, demos;
    std::vector<bool> same;
};

TEST_F(DemoTest, MarksOneMoreFromTheLineFeedOnAndClosesAtTheEnd) {
    open("AB\r\nCD");
    SelectionProbe probe(*form);
    play().addMode(probe);
    form->fileMode().SpeedButtonDemo->click();
    ASSERT_TRUE(form->FormDemo->isVisible());
    form->ButtonPlayFile->click();
    wave->completeAll();
    EXPECT_EQ(probe.boxes, (std::vector<int>{1, 2, 3, 3, 4, 5}));
    EXPECT_EQ(probe.demos, (std::vector<int>{1, 2, 3, 4, 5, 6}));
    // With the CR taken the box has marked its whole break, the demo only the CR.
    EXPECT_EQ(probe.same, (std::vector<bool>{true, true, false, true, true, true}));
    EXPECT_FALSE(form->FormDemo->isVisible());
    form.reset();  // before the probe
}

TEST_F(DemoTest, ButtonDoesNothingWhileTheTextIsHidden) {
    const std::vector<std::pair<const char*, std::function<void()>>> rows = {
        {"shown", [] {}},
        {"hidden", [&] { form->fileMode().ButtonHideFile->click(); }},
        {"locked", [&] { confirm({"abc", MF}); }}};
    for (const auto& [name, hideIt] : rows) {
        create(shown());
        open("AB");
        hideIt();
        form->fileMode().SpeedButtonDemo->click();
        EXPECT_EQ(form->FormDemo->isVisible(), std::string(name) == "shown") << name;
    }
}

}  // namespace
}  // namespace kb
