#pragma once
// Files and folders dropped from a file manager become batch files: music
// files collect in "dragdrop<N>.drg", which is published as
// "dragdrop<N>.sng" only when the whole drop has been walked; a dropped
// playlist's lines go to "dragdropvyx<N>.sng". Folders are listed level by
// level. While it works, the now-playing line shows a small animation.

#include "common/native_path.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

namespace qpt {

struct PlayerContext;

class DropProcessing {
public:
    explicit DropProcessing(PlayerContext& context);

    // A drop on the main window: queued, carried out by the playlist
    // window's focus timer 50 ms later.
    void dropOnMainWindow(const QList<NativePath>& paths);
    // A drop on the playlist: carried out at once.
    void dropOnPlaylist(const QList<NativePath>& paths);

    // One classification pass over the drop queue.
    void ProcessDropQueue();
    // Lists the queued folders, one level.
    void ExpandDropFolders();

    static constexpr const char* kAdding = "Adding Dragged File(s) To PlayList...";

private:
    void queuePaths(const QList<NativePath>& paths);
    void setLabel(const QString& suffix);
    void classificationPass(int number);
    void copyPlaylist(const NativePath& playlist, const NativePath& batch);
    void publish(int number);
    // A batch file could not be written: the drop ends with a word why.
    void writeFailed();

    PlayerContext& c;
    // One batch number for the whole drop; kept across an abandoned pass so
    // that the next drop publishes what that pass collected.
    std::optional<int> m_batchNumber;
    // Folders listed during this drop (symbolic-link loops end).
    QSet<NativePath> m_listed;
};

}  // namespace qpt
