#pragma once
// "Open Music": the files chosen in the open dialog become batch files. A
// chosen playlist's lines are appended to "playlist.sng", music files to
// "opening.sng".

#include <QStringList>
#include <functional>

namespace qpt {

class OpenMusic {
public:
    static constexpr const char* kTitle = "Open Music";
    static constexpr const char* kFilter =
        "Music Files|*.WMA;*.MP3;*.MID;*.VYX;*.MP1;*.MP2;*.WAV;*.CDA|PlayList|*.VYX|MP3 Music File|*.MP3|"
        "WMA Music File|*.WMA|WAV Music File|*.WAV|CD Audio|*.CDA|All Files|*.*";

    // Shows the dialog and writes the batch files. hideMenu runs right
    // before the dialog opens.
    static void run(const std::function<void()>& hideMenu);
    // Writes the batch files for the chosen full paths. A failure ends it
    // silently; lines already written stay.
    static void queueChosen(const QStringList& chosen);
};

}  // namespace qpt
