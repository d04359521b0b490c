#pragma once
// Writing the playlist to a file: the autosave when the player quits and,
// from the pop-up menu, Save PlayList to a file of the user's choice. Both
// replace the old file atomically, so a failed write leaves it whole.

#include <QString>

namespace qpt {

struct PlayerContext;

// The windows Save PlayList shows and hides.
class SavingWindows {
public:
    virtual ~SavingWindows() = default;
    // Shows frmNowSaving (centred, topmost), which disables the main and the
    // playlist window until it is unloaded.
    virtual void showNowSaving() = 0;
    virtual void unloadNowSaving() = 0;
    virtual void hidePopupMenu() = 0;
};

class PlaylistSaving {
public:
    static constexpr const char* kSaveTitle = "Save PlayList";
    static constexpr const char* kSaveFilter = "Quorbel PlayList|*.VYX|All Files|*.*";

    explicit PlaylistSaving(PlayerContext& context);

    // The menu entry "Save PlayList" pressed with the given button.
    void SavePlayList(bool leftButton, SavingWindows& windows);

    // Saves a non-empty playlist to "autosavedlist.aut" and unloads the main
    // window (also when the write failed: the player still closes).
    void autosaveAndQuit();
    // Only the saving half: what the session manager asks for before the
    // end of a desktop session. An empty playlist writes nothing.
    void writeAutosave();

    // The file content for the paths: each path + CR LF, then one more CR LF.
    static QByteArray fileBytes(const QByteArray& collectedText);
    // Writes atomically; false on failure (the old file stays whole).
    static bool writePlaylistFile(const QString& path, const QByteArray& collectedText);

private:
    PlayerContext& c;
};

}  // namespace qpt
