#include "app/app_shell.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

#include "app/command_line.h"
#include "app/settings_binding.h"
#include "keying/port_panel.h"
#include "keying/shortcut_panel.h"
#include "modes/monitor_mode.h"
#include "modes/play_control.h"
#include "modes/quiz_mode.h"
#include "ui/form1.h"
#include "ui/radio_group.h"
#include "ui/timing_controls.h"
#include "ui/typed_text_edit.h"
#include "ui/ui_services.h"

namespace kb {

AppShell::AppShell(TForm1& form) : f_(form) {}

void AppShell::FormCreate() {
    PortPanel* port = f_.portPanel();
    if (port) port->showLptAddresses();
    f_.applyLanguage();
    f_.settingsBinding().read();
    f_.shortcutPanel().writeShortcutRows();

    const CommandLine cl = parseCommandLine(f_.arguments());
    if (cl.comPort && port) {
        port->RadioGroupCOM->setItemIndex(*cl.comPort);
        port->RadioGroupCOMClick(*cl.comPort);
    }
    if (cl.speed) f_.UpDownVitesse->setValue(*cl.speed);
    // A language switch wins over the settings file. English was written before the
    // settings were read (their handlers compose labels from its words); a start that
    // ends in English writes it once more so every label is composed with all settings.
    if (cl.language) {
        if (const auto lang = languageFromCode(*cl.language)) f_.ApplyLanguage(*lang);
    }
    if (f_.language() == Language::English) f_.ApplyLanguage(Language::English, true);
    if (port) {
        port->applyLptSettings(f_.settingsBinding().settings(), f_.settingsBinding().presentKeys());
    }

    f_.ButtonReplayText->setText(QString::fromUtf8(f_.texts().shared.replayTextCaption));
    f_.timing().refreshSpeedTexts();
    f_.quiz().startUp();
    f_.monitor().startUp();

    f_.ButtonContinueFile->hide();
    f_.ButtonPlayFile->show();
    f_.play().engine().openOutputDevice();
    f_.settingsBinding().handOverToDialogs();
    // The settings have rewritten labels since the language was applied.
    f_.fitWindowToTexts();
}

void AppShell::ButtonQuitterClick() {
    if (f_.closeOpenSidePanel(TForm1::PanelCloser::StopOrQuit)) return;
    f_.play().TimerBoucle->stop();
    f_.quiz().quitAsked();
    if (!f_.ui().confirm(&f_, QString::fromUtf8(f_.texts().shared.msgQuitConfirm))) return;
    shutDown();
    f_.ui().terminate();
}

void AppShell::FormClose() {
    if (closing_) return;
    shutDown();
}

void AppShell::MenuOutilsQuitClick() {
    shutDown();
    f_.ui().terminate();
}

void AppShell::shutDown() {
    f_.monitor().closeInput();
    f_.play().shutDown();
    f_.keying().shutdown();
    closing_ = true;
    f_.settingsBinding().write();
}

}  // namespace kb
