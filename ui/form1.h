#pragma once
// The main window. It owns the widgets (each named as its objectName, so tests and the
// language tables find them), the run-time state and the controllers; it wires signals
// to the controllers' handlers and decides nothing itself. Each controller keeps its
// behaviour in its own folder and wires its own widgets: PlayControl and the modes
// (modes/), TimingControls (ui/), AppShell and SettingsBinding (app/), the sound and
// port panels (audio/, keying/). GUI thread only.

#include <QMainWindow>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "app/main_state.h"
#include "audio/sound_card_panel.h"
#include "audio/synthesis.h"
#include "audio/wave_in.h"
#include "audio/wave_out.h"
#include "core/morse.h"
#include "core/random_int.h"
#include "keying/transmitter.h"
#include "ui/texts.h"

class QAction;
class QActionGroup;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTimer;
class QToolButton;
class QWidget;

namespace kb {

class AppShell;
class SettingsBinding;
class SettingsFileOps;
class FileMode;
class Mode;
class MaskedTextPanel;
class MessagePanel;
class MonitorMode;
class PlayControl;
class QuizMode;
class RandomMode;
class RecordPanel;
class ReferenceLists;
class TimingControls;
class TypedTextMode;
class TypedTextEdit;
class TFormNoise;
class SoundCardPanel;
class Keyer;
class LocalCharactersPanel;
class ShortcutPanel;
class PortPanel;
class TFormNote;
class TFormInstructor;
class TFormDemo;
class TFormQSB;
class UiServices;

// Everything the window needs from outside, handed in so tests can use fakes.
struct FormDevices {
    WaveOut* waveOut = nullptr;  // required
    // The monitor's input; nullptr: none (starting the monitor says it cannot open).
    WaveIn* waveIn = nullptr;
    // The transmitter keying and its port panel; nullptr: no transmitter and no panel.
    Keyer* keyer = nullptr;
    UiServices* ui = nullptr;            // required
    std::vector<std::string> arguments;  // the command line, program name excluded
    std::uint32_t randomSeed = 0;
    std::string settingsPath;                // keybird.dat; empty: none could be found
    SettingsFileOps* settingsOps = nullptr;  // nullptr: the real file calls
    DeviceLists devices;                     // what the sound-card chooser lists
};

class TForm1 : public QMainWindow {
    Q_OBJECT

public:
    explicit TForm1(const FormDevices& devices, QWidget* parent = nullptr);
    ~TForm1() override;

    // --- State and tables -------------------------------------------------------------
    MainState& state() { return state_; }
    MorseTable& morse() { return morse_; }
    ShortcutTable& shortcuts() { return shortcuts_; }
    CharacterList& characters() { return characters_; }
    SoundTables& soundTables() { return soundTables_; }
    RandomInt& random() { return random_; }
    Fading& fading() { return fading_; }
    WaveOut& waveOut() { return *waveOut_; }
    TransmitterKeying& keying() { return *keying_; }
    UiServices& ui() { return *ui_; }
    const LanguageTexts& texts() const { return *texts_; }
    // The current language's words of the speed texts, with the system's decimal point.
    const SummaryWords& summaryWords() const { return summaryWords_; }
    const std::vector<std::string>& arguments() const { return arguments_; }

    PlayControl& play() { return *play_; }
    TypedTextMode& typed() { return *typed_; }
    RandomMode& randomMode() { return *random_mode_; }
    QuizMode& quiz() { return *quiz_; }
    MonitorMode& monitor() { return *monitor_; }
    ReferenceLists& referenceLists() { return *lists_; }
    FileMode& fileMode() { return *file_; }
    MaskedTextPanel& maskedText() { return *maskedText_; }
    RecordPanel& recordPanel() { return *record_; }
    LocalCharactersPanel& localCharacters() { return *localCharacters_; }
    ShortcutPanel& shortcutPanel() { return *shortcutPanel_; }
    MessagePanel& messages() { return *messages_; }
    TimingControls& timing() { return *timing_; }
    AppShell& shell() { return *shell_; }
    SettingsBinding& settingsBinding() { return *settings_; }
    SoundCardPanel& soundCard() { return *soundCard_; }
    // nullptr when the window was built without a keyer.
    PortPanel* portPanel() { return portPanel_.get(); }

    // --- Helpers the controllers share --------------------------------------------------
    // Shows Stop in place of Quit, or the other way round.
    void showStop(bool stop);
    // The controls that would start another activity while a text plays (the mode radio
    // buttons, the message buttons, a mode's own panel). A control with an owner mode
    // stays as it is while that mode plays (the random button during a random run); a
    // mode claims a control the window registered by adding it again with itself.
    void addActivityControl(QWidget* control, const Mode* owner = nullptr);
    void setActivityControlsEnabled(bool enabled);
    // The "On air" lamp follows the transmitter.
    void refreshLamp();
    // The checked language item's language.
    Language language() const;
    // The language item of a language.
    QAction* languageItem(Language lang) const;
    // Makes `lang` the checked language and writes every text of it; nothing happens
    // when it is checked already, unless `force` (the end of start-up applies English in
    // full that way).
    void ApplyLanguage(Language lang, bool force = false);
    // Rewrites every text of the checked language.
    void applyLanguage() { ApplyLanguage(language(), true); }
    // Closes an open side panel through its own exit; true when one was open. Stop and
    // Quit pass over the device panels (port, sound card) and the messages panel: those
    // stay open while the button does its own work (Stop ends a message being sent).
    enum class PanelCloser { Any, StopOrQuit };
    bool closeOpenSidePanel(PanelCloser by = PanelCloser::Any);
    // Opens a side panel, closing any other first; one already open keeps what it holds.
    void openSidePanel(QWidget* panel);
    // Shows one mode's view in the right-hand area and hides the other views there; the
    // side panels stay as they are.
    void showModeView(QWidget* view);
    // Places a side panel over the lower right-hand area, hidden; `close` is what its own
    // exit button does (Stop, Quit, Escape and other panels close it through that).
    // With stopPassesOver, Stop and Quit leave it open.
    // Where the focus goes when a side panel closes: the typed text when it replays, the
    // file box while a file plays, the typed text when nothing plays; during a random run
    // it stays where it is.
    void focusAfterSidePanel();
    void addSidePanel(QWidget* panel, std::function<void()> close, bool stopPassesOver = false);
    // Puts a mode's view into the right-hand area; all views share the one place.
    void addModeView(QWidget* view);
    // Fixes the window's size to what its views, panels and texts need, and at least the
    // classic 646 x 490 at the screen's scale; again after each language switch, since
    // the captions' lengths differ between the languages. The window cannot be resized.
    void fitWindowToTexts();
    // The screen's scale against the classic 96 dots per inch (Image1's size over 33).
    double layoutScale() const;
    // The same for a panel that stays where it is (a dock that can be dragged out).
    void registerSidePanel(QWidget* panel, std::function<void()> close,
                           bool stopPassesOver = false);

    // --- Left column ---------------------------------------------------------------------
    QFrame* Panel1 = nullptr;
    QLabel* Label1 = nullptr;
    TypedTextEdit* Editcaractere = nullptr;
    QToolButton* SpeedButtonRAZtext = nullptr;
    QLabel* LabelMsg = nullptr;
    std::array<QPushButton*, 6> ButtonMsg{};
    QGroupBox* GroupBoxControls = nullptr;
    QPushButton* ButtonReplayText = nullptr;
    QPushButton* ButtonPlayFile = nullptr;
    QPushButton* ButtonContinueFile = nullptr;
    QPushButton* ButtonQuitter = nullptr;
    QPushButton* ButtonStop = nullptr;
    QLabel* Label8 = nullptr;
    QSpinBox* UpDownVitesse = nullptr;
    QLineEdit* EditVitesse = nullptr;
    QLabel* Label6 = nullptr;
    QSpinBox* UpDownAmplitude = nullptr;
    QLineEdit* EditAmplitude = nullptr;
    QGroupBox* GroupBoxChoix = nullptr;
    QRadioButton* RadioButtonAlphabet = nullptr;
    QRadioButton* RadioButtonCodeQ = nullptr;
    QRadioButton* RadioButtonAbrev = nullptr;
    QRadioButton* RadioButtonRandom = nullptr;
    QRadioButton* RadioButtonFile = nullptr;
    QRadioButton* RadioButtonQuiz = nullptr;
    QRadioButton* RadioButtonMonitor = nullptr;
    QGroupBox* OnairBox = nullptr;
    QLabel* LedOff = nullptr;
    QLabel* LedOn = nullptr;
    QLabel* Image1 = nullptr;
    QFrame* Panel2 = nullptr;
    QLabel* Label5 = nullptr;
    QPushButton* Button1 = nullptr;  // hidden "Start"

    // --- Right-hand area, where the overlay panels open ----------------------------------
    QWidget* RightArea = nullptr;

    // --- Menus ------------------------------------------------------------------------------
    QMenu* MenuOutils = nullptr;
    QAction* MenuOutilsQuit = nullptr;
    QMenu* MenuComm = nullptr;
    QAction* Spacing1 = nullptr;
    QMenu* MenuEspaceMot = nullptr;
    std::array<QAction*, 4> MenuEspaceMotN{};  // MenuEspaceMot1..4
    QMenu* Poids = nullptr;
    QAction* Poids31 = nullptr;
    QAction* Poids41 = nullptr;
    QAction* Poids51 = nullptr;
    QMenu* MenuTextreplay = nullptr;
    QAction* MenuDelayedPlay = nullptr;
    QMenu* MenuContinuous = nullptr;
    QAction* MenuNoBoucle = nullptr;
    QAction* MenuStanby1s = nullptr;
    QAction* MenuStandby10s = nullptr;
    QAction* MenuStandby60s = nullptr;
    QAction* menuStandby300s = nullptr;
    // Hidden menus: shortcuts only.
    QAction* UpSpeed = nullptr;
    QAction* DownSpeed = nullptr;
    QAction* UpVolume = nullptr;
    QAction* DownVolume = nullptr;

    QAction* MenuNote = nullptr;
    QAction* MenuNoisesettings = nullptr;
    QAction* MenuQSBsetting = nullptr;
    QAction* MenuInstructor = nullptr;
    QMenu* Language1 = nullptr;
    QAction* English1 = nullptr;
    QAction* Francais1 = nullptr;
    QAction* Deutsch1 = nullptr;
    QAction* Italiano1 = nullptr;
    QAction* Portugues1 = nullptr;
    QAction* Espagnol1 = nullptr;
    QAction* MenuPort = nullptr;
    QAction* MenuSoundCard = nullptr;
    QMenu* N6 = nullptr;  // "?"
    QAction* MenuHelp = nullptr;
    QAction* About1 = nullptr;
    // The hidden menus that hold the speed, level and quiz-delay keys.
    QMenu* MenuSpeed = nullptr;
    QMenu* MenuVolume = nullptr;
    QMenu* MenuDelai = nullptr;

    // --- Secondary windows, created hidden ---------------------------------------------
    TFormNoise* FormNoise = nullptr;
    TFormQSB* FormQSB = nullptr;
    TFormNote* FormNote = nullptr;
    TFormInstructor* FormInstructor = nullptr;
    TFormDemo* FormDemo = nullptr;

    // The examination preset's choice of groups (5 characters, non-mixed), which the
    // random mode provides.
    std::function<void()> examinationGroups;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildLeftColumn(QWidget* column);
    void buildRightArea();
    void buildMenus();
    void wire();
    void orderToolsMenu();
    void orderOptionsMenu();
    void orderMenu(QMenu* menu, std::span<const char* const> order, QAction* unknownBefore);
    // Delayed Play and Continuous Replay show the keys the Tools items own, and the
    // submenus their own inert keys, as text only: one key on two actions fires neither.
    void showInertKeys();

    MainState state_;
    MorseTable morse_;
    ShortcutTable shortcuts_{};
    CharacterList characters_;
    RandomInt random_;
    SoundTables soundTables_{random_};
    Fading fading_;
    WaveOut* waveOut_;
    std::unique_ptr<TransmitterKeying> ownKeying_;
    TransmitterKeying* keying_;
    UiServices* ui_;
    const LanguageTexts* texts_;
    SummaryWords summaryWords_;
    std::vector<std::string> arguments_;
    struct SidePanel {
        QWidget* panel;
        std::function<void()> close;
        bool stopPassesOver;
    };
    std::vector<SidePanel> sidePanels_;
    struct ActivityControl {
        QWidget* control;
        const Mode* owner;
    };
    std::vector<ActivityControl> activityControls_;

    std::unique_ptr<PlayControl> play_;
    std::unique_ptr<TimingControls> timing_;
    std::unique_ptr<TypedTextMode> typed_;
    std::unique_ptr<RandomMode> random_mode_;
    std::unique_ptr<QuizMode> quiz_;
    std::unique_ptr<MonitorMode> monitor_;
    std::unique_ptr<ReferenceLists> lists_;
    std::unique_ptr<FileMode> file_;
    std::unique_ptr<MaskedTextPanel> maskedText_;
    std::unique_ptr<RecordPanel> record_;
    std::unique_ptr<LocalCharactersPanel> localCharacters_;
    std::unique_ptr<ShortcutPanel> shortcutPanel_;
    std::unique_ptr<MessagePanel> messages_;
    std::unique_ptr<AppShell> shell_;
    std::unique_ptr<SettingsBinding> settings_;
    std::unique_ptr<SoundCardPanel> soundCard_;
    std::unique_ptr<PortPanel> portPanel_;
    Keyer* keyer_;
};

}  // namespace kb
