#pragma once
// The batch loader: every 1500 ms it picks up the batch files ("*.sng") in
// the application folder, adds their songs to the playlist with their
// titles, asks the song length service for their lengths, and deletes each
// file once its songs are in. The saved playlist ("autosavedlist.sng") is
// always taken first, the others in name order.
//
// A pick-up starts at once, between ticks, when a batch file is renamed
// into the folder (the executer's way, see watchFolder()) and when this
// program has just written one itself (wake()); the ticks find what other
// programs write in place.
//
// The window thread touches no batch file: listing, reading, renaming and
// deleting run on the playlist-files worker (BatchFolder), which hands back
// finished rows, a limited number at a time; the window thread only adds
// them, one chunk per turn of the event loop, so the windows stay
// responsive however long the batch. The lengths arrive later, in batches,
// from the length workers.
//
// At the 30000-song cap the songs that find no room are not added: their
// files go, and one signal says how many they were. A file that cannot be read is reported once and set aside as
// "<name>.bad", so that it never holds up the batches behind it.

#include "common/poll_timer.h"
#include "player/core/player_state.h"
#include "player/core/playlist_model.h"
#include "player/playlist/batch_folder.h"

#include <QList>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

namespace qpt {

class FolderArrivals;
class PlaybackEngine;
class ReplyChannel;
class SerialWorker;
class SongLengthService;

class BatchLoader : public QObject {
    Q_OBJECT
public:
    static constexpr int kTickMs = 1500;
    // Rows added in one turn of the event loop.
    static constexpr int kRowsPerStep = BatchFolder::kRowsPerChunk;

    // `files`: the playlist-files worker, where the batch files are read.
    BatchLoader(PlaylistModel& playlist, PlaybackEngine& engine, SongLengthService& lengths, SerialWorker& files,
                QObject* parent = nullptr);
    ~BatchLoader() override;

    PollTimer timer;
    // Starts a pick-up of the batch files, unless one is under way or the
    // loader is held.
    void tick();
    // Also picks up at once a batch file renamed into the application folder,
    // between ticks, while the timer runs. Without it (or where the folder
    // cannot be watched) only the ticks find batch files.
    void watchFolder();
    // This program has just written a batch file: a pick-up at once (once
    // the pick-up under way is over), while the timer runs.
    void wake();
    // A pick-up is under way (from its listing to its last row).
    bool isLoading() const { return m_loading; }

    // The saved playlist of the last run goes first (the worker copies it
    // to the batch name); posted before the first pick-up, so it is there
    // for it.
    void queueSavedPlaylist();

    // No pick-up starts until as many release() calls; `then` runs once the
    // pick-up under way has ended (at once when there is none): from then
    // on the playlist holds every row the loader will add before release().
    void hold(std::function<void()> then);
    void release();
    // Gives up the pick-up under way (an exit that cannot wait for a stuck
    // worker): its remaining rows are not added, its file is not deleted
    // (it loads again at the next start), and `then` of every hold runs.
    void abandon();

    // The exit's share: the songs of the batch files not taken up yet
    // (only while held, after the pick-up under way ended). `then` hears
    // them on the window thread; never, when the worker is stuck.
    void collectPending(std::function<void(BatchFolder::Pending)> then);

signals:
    // A pick-up that found batch files has finished with them.
    void batchesLoaded();
    void errorOccurred(PlayerError error, const QString& detail);
    // Songs of one pick-up found the playlist full and were not added.
    void songsNotAdded(qint64 songs);

private:
    void startPickUp();
    void begun(int files);
    void requestChunk();
    void chunkArrived(BatchFolder::Chunk chunk);
    void addRows(const QList<PlaylistModel::NewEntry>& rows);
    void endPickUp(bool finished);
    void pickUpOver();
    void announceLengths();
    void batchFileArrived();

    PlaylistModel& m_playlist;
    PlaybackEngine& m_engine;
    SongLengthService& m_lengths;
    SerialWorker& m_files;
    // Touched by the worker's jobs only.
    std::shared_ptr<BatchFolder> m_folder = std::make_shared<BatchFolder>();
    std::shared_ptr<ReplyChannel> m_replies;
    bool m_loading = false;
    // Replies of an abandoned pick-up are recognised by their number.
    quint64 m_pickUpNumber = 0;
    bool m_filesFound = false;
    int m_holds = 0;
    QList<std::function<void()>> m_whenOver;
    bool m_lengthsToAnnounce = false;
    FolderArrivals* m_arrivals = nullptr;
    QTimer m_arrivalTimer;
    // A batch file arrived while a pick-up was under way or the loader was
    // held: look again after it.
    bool m_lookAgain = false;
    // A file is known to have come: list the folder whatever its time says.
    bool m_surely = false;
};

}  // namespace qpt
