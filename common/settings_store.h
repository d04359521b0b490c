#pragma once
// The per-user settings store shared by the three programs. Values are texts
// addressed by application, section and key; the programs always use
// application "Quorbel Player Tirk" and section "Option". On Linux the store
// is an INI file, $XDG_CONFIG_HOME/Quorbel Player Tirk.ini, group [Option].
// Every read sees what another process wrote, every write reaches the disk
// at once, and the file is replaced atomically.

#include <QString>
#include <optional>

namespace qpt {

class SettingsStore {
public:
    static constexpr const char* kApplication = "Quorbel Player Tirk";
    static constexpr const char* kSection = "Option";

    // The empty text when the key does not exist.
    static QString read(const QString& key);
    // False when the store cannot be written (an unwritable file or folder,
    // a folder in the file's place). The value then still holds for reads
    // in this process, so the program runs on with what it meant to save.
    static bool write(const QString& key, const QString& value);

    // The six options as the Option program saves them untouched, for a
    // run whose store cannot be written. Writes nothing.
    static void useDefaultOptionsForThisRun();

    // Reads the key and converts it to a number; empty or non-numeric text
    // fails (no value), which is how a first run is detected.
    static std::optional<double> readNumber(const QString& key);

    // Where the store lives (shown in the Option info window).
    static QString filePath();
};

// The numeric conversion the programs apply to stored texts: leading and
// trailing blanks are allowed, anything else that is not a number fails.
std::optional<double> toNumber(const QString& text);

// Key names.
namespace keys {
inline constexpr const char* AutoFileAss = "AutoFileAss";
inline constexpr const char* TransPlayList = "TransPlayList";
inline constexpr const char* FadeOutCD = "FadeOutCD";
inline constexpr const char* MinimizeSeparate = "MinimizeSeparate";
inline constexpr const char* AutosavePlayList = "AutosavePlayList";
inline constexpr const char* OSOT = "OSOT";
inline constexpr const char* Option = "Option";
inline constexpr const char* PlayerVer = "PlayerVer";
inline constexpr const char* AppPath = "AppPath";
inline constexpr const char* OSRunning = "OSRunning";
// The Online System's own: the issue time of the latest signed release
// manifest it has trusted (a replayed older one is refused).
inline constexpr const char* LatestReleaseIssued = "LatestReleaseIssued";
}  // namespace keys

// The six options in the order the Option program shows and saves them,
// with the states it starts with.
struct OptionDefault {
    const char* key;
    bool on;
};
inline constexpr OptionDefault kOptionDefaults[] = {
    {keys::AutoFileAss, true},       {keys::TransPlayList, true},     {keys::FadeOutCD, true},
    {keys::MinimizeSeparate, false}, {keys::AutosavePlayList, false}, {keys::OSOT, false},
};

}  // namespace qpt
