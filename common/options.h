#pragma once
// The six options as the programs read them: one read of the settings
// store into typed values, with what a missing or non-numeric value means
// settled here, once, for every reader.

#include <optional>
#include <string_view>

namespace qpt {

struct Options {
    // The stored numbers; nullopt where the key is missing or not a number.
    std::optional<double> autoFileAss;
    std::optional<double> transPlayList;
    std::optional<double> fadeOutCD;
    std::optional<double> minimizeSeparate;
    std::optional<double> autosavePlayList;
    std::optional<double> osot;

    // Reads the store as it is now (another program may have changed it).
    static Options read();

    // No options saved yet: the first run.
    bool firstRun() const { return !autoFileAss; }
    // Every option saved as a number: only then does the Option program
    // show the saved states (otherwise it asks).
    bool allSaved() const;
    // The option of that key (keys:: in settings_store.h) is saved as 1, a
    // ticked box in the Option program; false for a key that is no option.
    bool isOn(std::string_view key) const;
    bool associatesFilesAtStart() const { return isOne(autoFileAss); }
    // The playlist window fades in translucent unless switched off (2).
    bool playlistTranslucent() const { return !transPlayList || *transPlayList != 2.0; }
    // The volume fades out at exit only when the value says so (missing
    // means no fade).
    bool fadesOutOnExit() const { return fadeOutCD && *fadeOutCD != 2.0; }
    bool minimizesSeparately() const { return isOne(minimizeSeparate); }
    // The saved playlist loads at start when the option is on, and also
    // while no option has been saved yet (a first start shows its loading).
    bool loadsSavedPlaylist() const { return !autosavePlayList || *autosavePlayList == 1.0; }
    // The playlist is saved at exit only when the option is on: a missing
    // value is off.
    bool savesPlaylistOnExit() const { return isOne(autosavePlayList); }
    bool onlineSystemOnTop() const { return isOne(osot); }

private:
    static bool isOne(const std::optional<double>& value) { return value && *value == 1.0; }
};

}  // namespace qpt
