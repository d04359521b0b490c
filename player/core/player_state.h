#pragma once
// The typed state of the player core, as the windows and other listeners
// see it.

#include <QString>

namespace qpt {

// What the player is doing, as the user asked for it.
enum class PlayerState {
    PlayingOrIdle,  // playing, or nothing asked yet
    Loading,        // the batch loader is adding songs
    Paused,
    Stopped,        // stopped by the user
};

// The transport buttons: which take the mouse, and which show their lit
// ("active") picture. Next and Previous have no lit picture.
struct TransportButtons {
    bool playEnabled = true;
    bool pauseEnabled = false;
    bool stopEnabled = false;
    bool nextEnabled = true;
    bool previousEnabled = true;
    bool playLit = false;
    bool pauseLit = false;
    bool stopLit = false;
    bool operator==(const TransportButtons&) const = default;
};

// Moments the now-playing line announces with its little animation.
enum class Announcement {
    Playing,             // a song started
    Paused,
    Stopped,
    LoadingSavedPlaylist,
    DropFinished,        // the line shows the song again after a drop
};

// What went wrong where the user must hear of it.
enum class PlayerError {
    LengthNotRepresentable,  // a length beyond 32-bit milliseconds
    BatchFileUnreadable,     // a batch file that cannot be read ("Error 15")
    FolderNotWritable,       // the application folder refuses batch files
    PlaylistTooLarge,        // a playlist file over the size limit
    NoAudioCd,               // a drive named for CD tracks holds no audio CD (detail: the drive)
};

}  // namespace qpt
