#pragma once
// The random mode: runs of random groups, each character generated when the previous one
// has ended, shown in upper case in the read-only memo and sounded one at a time; a run
// stops after the chosen count. The character set (also the quiz's), the group options,
// the quick serial without sound, the memo's Clear / Save / Hide, the choice panel with
// the lesson pages, and the 60 lessons the local-lessons panel edits live here. The
// generator's rules are core/random_groups.*; this class wires them to the window.
// GUI thread only.

#include <QObject>
#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/settings_file.h"
#include "core/random_groups.h"
#include "modes/mode.h"

class QAction;
class QActionGroup;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QToolButton;

namespace kb {

class LessonPanel;
class TForm1;

class RandomMode final : public Mode {
public:
    // Builds the random view, its menu items and the choice panel, and registers with
    // the play control.
    explicit RandomMode(TForm1& form);
    ~RandomMode() override;

    // The slots the random mode and the quiz draw from (SetOffset, SetCount).
    CharacterSet currentSet() const { return groups_.set; }
    // Opens the choice panel (also the quiz's set edit and ButtonChangeLesson).
    void MenuChoixCaracteresClick();
    // Another mode was chosen: Play no longer starts a run on selecting this mode.
    void clearPlayRequested() { playRequested_ = false; }
    void setQuickRandomEnabled(bool on);

    // Handlers.
    void ButtonChoixRandomClick();  // the mode was chosen
    void BitBtnPlayRandomClick();
    void BitBtnStopRandomClick();
    void RadioButtonRandomClick();          // generates and queues the next character of a run
    void MenuSetClick(CharacterClass cls);  // the six set items (not the chosen one)
    // A local character came or went: "All" and "Local" take the new count in.
    void localCharactersChanged();
    void MenuAddVClick();
    void MenuFixedWordsClick(int length);
    void MenuRandomWordsClick();
    void MenuWordContentClick();
    void menuCallsignsClick();
    void ButtonChoixCaractereOKClick();
    void ButtonCancelChoixClick();
    void BoxCaracteresChoixChange();
    void BoxCaracteresChoixItemClick(int row);
    void SpeedButtonChoixMoinsClick();
    void SpeedButtonChoixPlusClick();
    void MenuQuickRandomClick();
    void ClearMemoRandomClick();
    void SaveMemoRandom1Click();
    void ButtonHideClick();
    // The instructor's "Masked random" lock: the memo black and ButtonHide disabled;
    // cleared, the memo shown and the button usable again.
    void setMemoLocked(bool locked);
    void UpdateRandomSummary();
    // After a language change: the set name, the Hide/Show caption and the summary.
    void languageChanged();

    // keybird.dat: applied at start-up (lessons, page, chosen text, then the set), and
    // filled back at exit.
    void applySettings(const Settings& s, const SettingsKeys& present);
    void collectSettings(Settings& s) const;

    // The lessons (Windows-1252, lower case, " " for an empty one), lesson n at n - 1.
    const std::array<std::string, LessonCount>& lessons() const { return lessons_; }
    // A lesson changed by the local-lessons panel: its entry in the choice list follows,
    // and a chosen set taken from it is rebuilt at once.
    void setLesson(int number, const std::string& text);
    int lessonPage() const { return lessonPage_; }
    bool runOn() const { return runOn_; }
    LessonPanel& lessonPanel() { return *lessonPanel_; }

    // Mode.
    bool playing() const override { return runOn_; }
    void adjustCharacter(CharacterSettings& c) const override;
    bool takeOverEnd() override;
    void normalEnd() override;
    void stopped(const std::optional<std::string>& unplayed) override;

    // The random view.
    QGroupBox* GroupBoxRandom = nullptr;
    QPlainTextEdit* MemoRandom = nullptr;
    QLabel* LabelRandomNumber = nullptr;
    QSpinBox* SpinEditRandomNumber = nullptr;
    QLabel* LabelWords = nullptr;
    QFrame* PanelRandomLesson = nullptr;
    QLabel* PanelRandomLessonCaption = nullptr;  // the set's name on the panel
    QPushButton* ButtonChangeLesson = nullptr;
    QPushButton* BitBtnPlayRandom = nullptr;
    QPushButton* BitBtnStopRandom = nullptr;
    QPushButton* ButtonHide = nullptr;
    QToolButton* SpeedButtonNoise = nullptr;
    QToolButton* SpeedButtonQSB = nullptr;

    // Options / Random characters.
    QMenu* Randomcaracters1 = nullptr;
    QAction* MenuLetters = nullptr;
    QAction* MenuFigures = nullptr;
    QAction* MenuStops = nullptr;
    QAction* MenuLocal = nullptr;
    QAction* MenuLettersFigures = nullptr;
    QAction* MenuAll = nullptr;
    QAction* MenuChoixCaracteres = nullptr;
    QAction* MenuAddV = nullptr;
    QMenu* MenuWordslength = nullptr;
    std::array<QAction*, 7> MenuFixedWords{};  // MenuFixedWords2..8
    QAction* MenuRandomWords = nullptr;
    QAction* MenuWordContent = nullptr;
    QAction* menuCallsigns = nullptr;
    // Tools.
    QAction* ClearMemoRandom = nullptr;
    QAction* SaveMemoRandom1 = nullptr;
    QAction* MenuQuickRandom = nullptr;

    // The choice panel.
    QGroupBox* PanelChoixRandom = nullptr;
    QLabel* LabelChoixCaracteres = nullptr;
    QLineEdit* BoxCaracteresChoix = nullptr;        // the combo's edit line
    QListWidget* BoxCaracteresChoixList = nullptr;  // its list, always shown
    QLabel* Label3 = nullptr;
    QToolButton* SpeedButtonChoixMoins = nullptr;
    QToolButton* SpeedButtonChoixPlus = nullptr;
    QPushButton* ButtonChoixCaractereOK = nullptr;
    QPushButton* ButtonCancelChoix = nullptr;

private:
    class Memo;

    void buildView();
    void buildMenus();
    void buildChoicePanel();
    void wire();
    QAction* setItem(CharacterClass cls) const;
    void checkSetItem(CharacterClass cls);
    void showSetName(const QString& name);
    void restartRunCount();
    void startNewMemoLine();
    void appendToMemo(const QString& text);
    void memoCaretToEnd();
    bool memoFirstLineEmpty() const;
    void syncOptions();
    void showPlayButton(bool play);
    void showPage();
    void setMemoHidden(bool hidden);
    void refreshSetName();
    void runFailed();
    // Escape in the memo or the choice box: as the main window's Escape.
    void escapeKey();

    TForm1& f_;
    // The context of every connection made here: they end with this object, before the
    // window's widgets go.
    QObject context_;
    RandomGroups groups_;
    CharacterClass setClass_ = CharacterClass::All;
    bool runOn_ = false;          // RandomModeOn
    bool stopRequested_ = false;  // StopRequested
    bool playRequested_ = false;  // PlayRequested
    bool memoHidden_ = false;
    bool memoLocked_ = false;  // the instructor's lock holds the memo hidden
    QActionGroup* lengthGroup_ = nullptr;
    int chosenLesson_ = 0;  // the lesson the chosen set was taken from; 0 none
    std::function<void()> previousTimingChange_;

    std::array<std::string, LessonCount> lessons_ = initialLessonPages();
    int lessonPage_ = 1;  // LessonPage
    // What Cancel gives back: the text, the list selection and the page at opening.
    QString savedText_;
    int savedRow_ = -1;
    int savedPage_ = 1;

    std::unique_ptr<LessonPanel> lessonPanel_;
};

}  // namespace kb
