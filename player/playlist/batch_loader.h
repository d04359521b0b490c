#pragma once
// The batch loader: every 1500 ms it picks up the batch files ("*.sng") in
// the application folder, adds their songs to the playlist with titles and
// measured lengths, and deletes each file once its last line is read. The
// saved playlist ("autosavedlist.sng") is always taken first, the others in
// name order.
//
// At the 30000-song cap the rest of a file waits: the loader remembers
// where its first unread line starts and goes on from there when there is
// room again. A file that cannot be read is reported once and set aside as
// "<name>.bad", so that it never holds up the batches behind it.

#include "common/event_loop.h"
#include "common/native_path.h"
#include "player/core/player_state.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>

namespace qpt {

class PlaybackEngine;
class PlaylistModel;
class SongLengthService;

class BatchLoader : public QObject {
    Q_OBJECT
public:
    static constexpr int kTickMs = 1500;

    BatchLoader(PlaylistModel& playlist, PlaybackEngine& engine, SongLengthService& lengths,
                QObject* parent = nullptr);

    PollTimer timer;
    // One pick-up of the batch files.
    void tick();

    // Reads this file before any batch file, and leaves it where it is: the
    // saved playlist of a folder that cannot be written.
    void queueReadOnly(const NativePath& path);

    // The batch files of the folder in the order they are loaded.
    static QList<NativePath> batchFilesInOrder(const NativePath& folder);

signals:
    // A tick that found batch files has finished with them.
    void batchesLoaded();
    void errorOccurred(PlayerError error, const QString& detail);

private:
    struct Source {
        NativePath path;
        bool readOnly = false;
    };
    enum class Outcome { Finished, CapReached, Unreadable };

    Outcome loadFile(const Source& source);
    void addEntry(const QByteArray& line);
    void setAside(const Source& source);

    PlaylistModel& m_playlist;
    PlaybackEngine& m_engine;
    SongLengthService& m_lengths;
    QList<NativePath> m_readOnly;
    // Offsets of the first unread line of files left at the cap, by path
    // and the file's identity (a new file under the old name starts over).
    struct Resume {
        qint64 offset = 0;
        quint64 inode = 0;
    };
    QHash<NativePath, Resume> m_resume;
    // Unreadable files that could not be renamed: skipped from now on.
    QSet<NativePath> m_setAside;
};

}  // namespace qpt
