#pragma once
// Start-up and the three ways out: the Quit button (with its question), closing the
// window, and Tools/Quit. They release the devices and the transmitter in their own
// orders and save the settings. GUI thread only.

namespace kb {

class TForm1;

class AppShell {
public:
    explicit AppShell(TForm1& form);

    // The main window's creation steps, once its widgets exist.
    void FormCreate();
    void ButtonQuitterClick();
    // The window's close event; returns after the shutdown has run (or at once when a
    // way out already ran it).
    void FormClose();
    void MenuOutilsQuitClick();

    // A way out has run: the devices are released and the settings saved.
    bool closing() const { return closing_; }

private:
    // Releases the devices and the transmitter and saves the settings.
    void shutDown();

    TForm1& f_;
    bool closing_ = false;
};

}  // namespace kb
