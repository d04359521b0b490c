#pragma once
// The batch loader: every 1500 ms it picks up the batch files ("*.sng") in
// the application folder (and at once when one is renamed into it, which is
// how the executer publishes the songs a user opened), adds their songs to the playlist with their
// titles, asks the song length service for their lengths, and deletes each
// file once its last line is read. The saved playlist ("autosavedlist.sng")
// is always taken first, the others in name order.
//
// A pick-up goes on in steps of a limited number of rows, each its own turn
// of the event loop, so that the windows stay responsive however long the
// batch; the lengths arrive later, in batches, from the worker threads.
//
// At the 30000-song cap the rest of a file waits: the loader remembers
// where its first unread line starts and goes on from there when there is
// room again. A file that cannot be read is reported once and set aside as
// "<name>.bad", so that it never holds up the batches behind it.

#include "common/poll_timer.h"
#include "common/line_files.h"
#include "common/native_path.h"
#include "player/core/player_state.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QTimer>

#include <memory>

namespace qpt {

class FolderArrivals;
class PlaybackEngine;
class PlaylistModel;
class SongLengthService;

class BatchLoader : public QObject {
    Q_OBJECT
public:
    static constexpr int kTickMs = 1500;
    // Rows added in one step.
    static constexpr int kRowsPerStep = 1000;

    BatchLoader(PlaylistModel& playlist, PlaybackEngine& engine, SongLengthService& lengths,
                QObject* parent = nullptr);
    ~BatchLoader() override;

    PollTimer timer;
    // Starts a pick-up of the batch files, unless one is under way.
    void tick();
    // Also picks up at once a batch file renamed into the application folder,
    // between ticks, while the timer runs. Without it (or where the folder
    // cannot be watched) only the ticks find batch files.
    void watchFolder();
    // A pick-up is under way.
    bool isLoading() const { return m_pickUp != nullptr; }
    // Carries the pick-up under way through to its end now.
    void finishLoading();

    // Reads this file before any batch file, and leaves it where it is: the
    // saved playlist of a folder that cannot be written.
    void queueReadOnly(const NativePath& path);

    // The batch files of the folder in the order they are loaded.
    static QList<NativePath> batchFilesInOrder(const NativePath& folder);

signals:
    // A pick-up that found batch files has finished with them.
    void batchesLoaded();
    void errorOccurred(PlayerError error, const QString& detail);

private:
    struct Source {
        NativePath path;
        bool readOnly = false;
    };
    struct PickUp;
    enum class Read { Row, SourceDone, CapReached };

    bool folderUnchanged();
    void step();
    bool openNextSource();
    Read readRow(QByteArray& line);
    void finishSource();
    void setAside(const Source& source);
    void addRows(QList<QByteArray> lines);
    void endPickUp(bool finished);
    void announceLengths();
    void batchFileArrived();

    PlaylistModel& m_playlist;
    PlaybackEngine& m_engine;
    SongLengthService& m_lengths;
    QList<NativePath> m_readOnly;
    std::unique_ptr<PickUp> m_pickUp;
    QTimer m_stepTimer;
    // Offsets of the first unread line of files left at the cap, by path
    // and the file's identity (a new file under the old name starts over).
    struct Resume {
        qint64 offset = 0;
        quint64 inode = 0;
    };
    QHash<NativePath, Resume> m_resume;
    // Unreadable files that could not be renamed: skipped from now on.
    QSet<NativePath> m_setAside;
    // The application folder as last listed without finding a batch file.
    struct FolderLook {
        qint64 mtimeNs = -1;
        qint64 listedAtNs = 0;
    } m_emptyLook;
    bool m_lengthsToAnnounce = false;
    FolderArrivals* m_arrivals = nullptr;
    QTimer m_arrivalTimer;
    // A batch file arrived while a pick-up was under way: look again after it.
    bool m_arrivedWhileLoading = false;
};

}  // namespace qpt
