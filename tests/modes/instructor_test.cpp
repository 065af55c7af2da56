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
// How a step leaves the dialog.
enum End { Ok, Cancel, CloseBox, Escape };
// One visit: the password typed, the lock boxes checked (a mask of Lock), inhibit, the end.
struct Step {
    const char* typed;
    int boxes;
    bool inhibit = false;
    End end = Ok;
};

class InstructorTest : public test::WindowTest {
protected:
    void SetUp() override { create(); }
    void create(bool shown = false, std::string settings = {}) {
        test::WindowOptions o;
        o.show = shown;
        o.settings = std::move(settings);
        o.useSettingsFile = true;
        WindowTest::create(o);
    }
    TFormInstructor& dlg() { return *form->FormInstructor; }
    void visit(const Step& s) {
        form->MenuInstructor->trigger();
        dlg().EditPassword->setText(QString::fromUtf8(s.typed));
        for (auto [box, bit] : boxes()) box->setChecked(s.boxes & bit);
        dlg().CheckBoxInhibitInstructor->setChecked(s.inhibit);
        if (s.end == Ok) dlg().BitBtnOK->click();
        if (s.end == Cancel) dlg().BitBtnCancel->click();
        if (s.end == CloseBox) dlg().close();
        if (s.end == Escape) QTest::keyClick(&dlg(), Qt::Key_Escape);
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
        EXPECT_EQ(r.MemoRandom->palette().color(QPalette::Base) == Qt::black,
                  !r.ButtonHide->isEnabled());
        EXPECT_EQ(form->fileMode().textHidden(), !form->fileMode().ButtonHideFile->isEnabled());
        return (form->fileMode().ButtonHideFile->isEnabled() ? 0 : MF) |
               (r.ButtonHide->isEnabled() ? 0 : MR) | (form->UpDownVitesse->isEnabled() ? 0 : FS) |
               (form->MenuNote->isEnabled() ? 0 : FN);
    }
};

// What the dialog shows after the last step (a mask): open, asking for a password, wrong.
enum Shown { Open = 1, AsksNew = 2, Wrong = 4 };

struct VisitCase {
    const char* name;
    std::vector<Step> before;
    Step last;
    int locks, shown, beeps, warnings;
    const char* password;
};

class InstructorVisit : public InstructorTest, public testing::WithParamInterface<VisitCase> {};

TEST_P(InstructorVisit, ChecksThePasswordThenAppliesOrRestores) {
    const VisitCase& c = GetParam();
    for (const Step& s : c.before) visit(s);
    ui.beeps = 0;
    visit(c.last);
    EXPECT_EQ(windowLocks(), c.locks);
    EXPECT_EQ((dlg().isVisible() ? Open : 0) | (dlg().LabelPassword->isHidden() ? 0 : AsksNew) |
                  (dlg().LabelIncorrectPassword->isHidden() ? 0 : Wrong),
              c.shown);
    // Once closed, the boxes are the locks in force.
    if (!dlg().isVisible()) {
        EXPECT_EQ(checked(), c.locks);
    }
    EXPECT_EQ(ui.beeps, c.beeps);
    EXPECT_EQ(ui.warnings.size(), c.warnings);
    EXPECT_EQ(dlg().instructorPassword(), c.password);
}

const std::vector<Step> LockedMR = {{"abc", MR}};
INSTANTIATE_TEST_SUITE_P(
    Cases, InstructorVisit,
    testing::Values(
        VisitCase{"NothingTypedFirstTime", {}, {"", MR}, 0, Open | AsksNew, 1, 0, ""},
        VisitCase{"FirstPasswordCreatesIt", {}, {"abc", MR}, MR, 0, 0, 0, "abc"},
        VisitCase{"SamePasswordChanges", LockedMR, {"abc", FS | FN}, FS | FN, 0, 0, 0, "abc"},
        VisitCase{"CaseCounts", LockedMR, {"ABC", FS}, MR, Open | Wrong, 1, 0, "abc"},
        VisitCase{"EmptyOnceOneExists", LockedMR, {"", 0}, MR, Open | Wrong, 1, 0, "abc"},
        VisitCase{"InhibitClearsAll", {{"abc", 15}}, {"abc", MR, true}, 0, 0, 0, 0, ""},
        VisitCase{
            "ThenAsksNew", {{"abc", 15}, {"abc", 0, true}}, {"", MR}, 0, Open | AsksNew, 1, 0, ""},
        VisitCase{"CancelRestores", LockedMR, {"", MF, false, Cancel}, MR, 0, 0, 0, "abc"},
        VisitCase{"CloseRestores", LockedMR, {"", MF, false, CloseBox}, MR, 0, 0, 0, "abc"},
        VisitCase{"EscapeRestores", LockedMR, {"", MF, false, Escape}, MR, 0, 0, 0, "abc"},
        // n-tilde in 5th place would scramble to a line feed: the file could not hold it.
        VisitCase{"UnstorableRefused", {}, {"abcd\xC3\xB1", MR}, 0, Open, 1, 1, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(InstructorTest, StoredLocksApplyAtStartUpStayThroughHideAndLanguageAndAreSaved) {
    const std::pair<std::string, int> keys[] = {
        {"INSTMF=", MF}, {"INSTMR=", MR}, {"INSTFS=", FS}, {"INSTFN=", FN}};
    for (const auto& [key, lock] : keys) {
        create(false, defaultsWith({{key, "1"}, {"MDPINT=", "bfl"}}));
        for (int k = 0; k < 2; ++k) {  // twice: unlocked, back as it was
            form->randomMode().ButtonHideClick();
            form->fileMode().ButtonHideFileClick();
        }
        form->ApplyLanguage(Language::French);
        const SharedTexts& t = languageTexts(Language::French).shared;
        EXPECT_EQ(windowLocks(), lock) << key;
        EXPECT_EQ(form->randomMode().ButtonHide->text().toStdString(),
                  lock == MR ? t.showCaption : t.hideCaption);
        EXPECT_EQ(form->fileMode().ButtonHideFile->text().toStdString(),
                  lock == MF ? t.showCaption : t.hideCaption);
        // Only the control is locked: the speed keys still change the speed.
        const int speed = form->UpDownVitesse->value();
        form->UpSpeed->trigger();
        EXPECT_EQ(form->UpDownVitesse->value(), speed + 1);
        form->MenuInstructor->trigger();
        EXPECT_EQ(checked(), lock) << key;
        // What is saved is the locks in force, not boxes changed but never confirmed.
        for (QCheckBox* b : {dlg().CheckBoxMaskedFile, dlg().CheckBoxFixedNote}) b->toggle();
        form->settingsBinding().write();
        const std::string saved = readSettings();
        for (const auto& [k, l] : keys) {
            EXPECT_NE(saved.find(k + (l == lock ? "1\r\n" : "0\r\n")), std::string::npos) << k;
        }
        EXPECT_NE(saved.find("MDPINT=bfl\r\n"), std::string::npos);
        dlg().BitBtnCancel->click();
        visit({"abc", 0, true});  // the stored password, unscrambled
        EXPECT_EQ(windowLocks(), 0) << key;
    }
}

// Registered after the file mode: sees both selections after each highlight step.
struct SelectionProbe : Mode {
    explicit SelectionProbe(TForm1& f) : f(f) {}
    void beforeCharacter() override {
        if (!f.fileMode().fileModeOn()) return;
        box.push_back(f.fileMode().FileEdit->textCursor().selectedText());
        demo.push_back(f.FormDemo->MemoDemo->textCursor().selectedText());
    }
    TForm1& f;
    QStringList box, demo;
};

TEST_F(InstructorTest, DemoOpensOnShownTextMarksOneMoreFromTheLineFeedOnAndClosesAtTheEnd) {
    create(true);
    std::ofstream(folder() / "t.txt", std::ios::binary) << "AB\r\nCD";
    ui.openAnswer = QString::fromStdString((folder() / "t.txt").string());
    form->RadioButtonFile->click();
    SelectionProbe probe(*form);
    play().addMode(probe);
    // Hidden, by the user or by the lock (the same black box), the text has no demo.
    form->fileMode().ButtonHideFile->click();
    form->fileMode().SpeedButtonDemo->click();
    EXPECT_FALSE(form->FormDemo->isVisible());
    form->fileMode().ButtonHideFile->click();
    form->fileMode().SpeedButtonDemo->click();
    ASSERT_TRUE(form->FormDemo->isVisible());
    form->ButtonPlayFile->click();
    wave->completeAll();
    // The box's one break is the demo's CR (an invisible stand-in) and LF.
    const QString ab = "AB", br = QChar(0x2029), cr = QChar(0x200B);
    EXPECT_EQ(probe.box, (QStringList{"A", ab, ab + br, ab + br, ab + br + "C", ab + br + "CD"}));
    EXPECT_EQ(probe.demo, (QStringList{"A", ab, ab + cr, ab + cr + br, ab + cr + br + "C",
                                       ab + cr + br + "CD"}));
    EXPECT_FALSE(form->FormDemo->isVisible());
    form.reset();  // before the probe
}

}  // namespace
}  // namespace kb
