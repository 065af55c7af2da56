#pragma once
// The instructor's locks on a student's copy: the file text and the random memo kept
// hidden, the tone pitch and the speed fixed. FormInstructor sets them behind a password
// that its first confirmation creates; keybird.dat keeps both. GUI thread only.

#include <QDialog>
#include <array>
#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kb {

class TForm1;
struct Settings;

class TFormInstructor final : public QDialog {
public:
    // Builds the dialog hidden and wires MenuInstructor to it.
    explicit TFormInstructor(TForm1& form);

    // Each lock box takes the state of the window control it locks (disabled: locked).
    void FormCreate();
    void MenuInstructorClick();
    void BitBtnOKClick();
    void BitBtnCancelClick();

    // keybird.dat: the stored locks are applied to the window at start-up; at exit the
    // locks in force (not boxes changed but never confirmed) and the password go back.
    void applySettings(const Settings& s);
    void collectSettings(Settings& s) const;

    // InstructorPassword, Windows-1252; empty when none exists.
    const std::string& instructorPassword() const { return password_; }

    QLabel* LabelMotPasse = nullptr;
    QLineEdit* EditPassword = nullptr;
    QLabel* LabelPassword = nullptr;
    QLabel* LabelIncorrectPassword = nullptr;
    QCheckBox* CheckBoxMaskedFile = nullptr;
    QCheckBox* CheckBoxMaskedRandom = nullptr;
    QCheckBox* CheckBoxFixedSpeed = nullptr;
    QCheckBox* CheckBoxFixedNote = nullptr;
    QCheckBox* CheckBoxInhibitInstructor = nullptr;
    QPushButton* BitBtnOK = nullptr;
    QPushButton* BitBtnCancel = nullptr;

protected:
    void showEvent(QShowEvent* e) override;    // FormShow
    void closeEvent(QCloseEvent* e) override;  // FormClose: as Cancel
    void reject() override;                    // Escape: as Cancel

private:
    std::array<QCheckBox*, 4> lockBoxes() const;
    void applyLocks();

    TForm1& f_;
    std::string password_;            // InstructorPassword
    std::array<bool, 4> snapshot_{};  // InstructorSnapshot, in lockBoxes() order
    std::array<bool, 4> inForce_{};   // the locks the window is under
};

}  // namespace kb
