#pragma once
// The six message memories: the operator's standing phrases, sent with one click through
// the normal play path (so with PTT and the TX delay when a port is configured). The
// message buttons beside the typed-text box load a message into the box and replay it;
// the detachable messages panel edits them and sends them straight to the text queue.
// GUI thread only.

#include <QObject>
#include <array>
#include <string>

#include "app/settings_file.h"
#include "modes/mode.h"

class QAction;
class QDockWidget;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kb {

class TForm1;

class MessagePanel final : public Mode {
public:
    // Builds the panel (hidden) and its Tools item, and wires the window's message buttons.
    explicit MessagePanel(TForm1& form);
    ~MessagePanel() override;

    // n is 0..5 for memories 1..6.
    void ButtonMsgClick(int n);
    void ButtonMsgRightRelease();
    void StaticTextMsgClick(int n);
    void EditMsgChange(int n);
    void MenuLocalMessagesClick();
    void ButtonCloseMsgClick();
    void PanelMsgStartDock();

    // MessageTexts (Windows-1252).
    const std::array<std::string, MessageCount>& messages() const { return messageTexts_; }
    // MSG= at start-up, applied only when the file had it; and back at the exit.
    void applySettings(const Settings& s, const SettingsKeys& present);
    void collectSettings(Settings& s) const;
    // The panel's caption follows its title label in the current language.
    void languageChanged();

    // Mode: a message loaded into the box while a typed character still sounded is
    // replayed once that character has ended.
    void afterEnd() override;
    void stopped(const std::optional<std::string>& unplayed) override;

    QAction* MenuLocalMessages = nullptr;
    QDockWidget* PanelMsg = nullptr;
    QLabel* LabelPanelMsg = nullptr;
    QPushButton* ButtonCloseMsg = nullptr;
    std::array<QLineEdit*, MessageCount> EditMsg{};     // EditMsg1..6
    std::array<QLabel*, MessageCount> StaticTextMsg{};  // StaticTextMsg1..6

private:
    // Memory n holds something that sounds; a message of blanks and code-less characters
    // would only key the transmitter for silence.
    bool sendable(int n) const;

    TForm1& f_;
    QObject context_;  // of the connections and event hooks made here
    std::array<std::string, MessageCount> messageTexts_{};
    bool replayWhenIdle_ = false;
};

}  // namespace kb
