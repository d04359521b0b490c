#pragma once
// Writing the playlist to a file: the autosave when the player quits and,
// from the pop-up menu, Save PlayList to a file of the user's choice. Both
// replace the old file atomically, so a failed write leaves it whole.

#include <QString>

namespace qpt {

struct PlayerContext;

class PlaylistSaving {
public:
    explicit PlaylistSaving(PlayerContext& context);

    // Saves a non-empty playlist to "autosavedlist.aut" and unloads the main
    // window (also when the write failed: the player still closes).
    void autosaveAndQuit();

    // The file content for the paths: each path + CR LF, then one more CR LF.
    static QByteArray fileBytes(const QString& collectedText);
    // Writes atomically; false on failure (the old file stays whole).
    static bool writePlaylistFile(const QString& path, const QString& collectedText);

private:
    PlayerContext& c;
};

}  // namespace qpt
