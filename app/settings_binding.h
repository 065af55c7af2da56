#pragma once
// Binds keybird.dat to the main window: reads it while the window is created and applies
// what the window's controls own; fills the values back in and saves the file at each way
// out. Values whose owners do not exist yet are carried in the Settings struct and
// written back unchanged, so no setting is ever lost. GUI thread only.

#include <string>

#include "app/settings_file.h"
#include "app/settings_store.h"

namespace kb {

class TForm1;

class SettingsBinding {
public:
    // path empty: no folder for the file could be found (saving then reports failure).
    SettingsBinding(TForm1& form, std::string path, SettingsFileOps* ops);

    // Reads the file, when there is one, and applies it.
    void read();
    // Hands the stored noise, fading and pitch positions to the small dialogs, which run
    // their change handlers where a value differs from the dialog's own.
    void handOverToDialogs();
    // Takes the current values and saves the file; MsgCannotCreateSettings on failure.
    void write();

    const Settings& settings() const { return settings_; }
    // The keys the file gave a value; only those are applied (a missing key leaves its
    // control at its design-time state).
    const SettingsKeys& presentKeys() const { return present_; }
    bool fileExisted() const { return existed_; }

private:
    void apply();
    void collect();

    TForm1& f_;
    std::string path_;
    SettingsFileOps* ops_;
    Settings settings_;
    SettingsKeys present_;
    SettingsNotes notes_;
    bool existed_ = false;
    bool keepOld_ = false;  // the file was there but not read: keep it aside at the save
};

}  // namespace kb
