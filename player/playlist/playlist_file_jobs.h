#pragma once
// What the user's actions write and read of playlist files, as jobs on the
// playlist-files worker: Open Music's choice and the media controls'
// OpenUri become batch files (and wake the loader, so their songs come at
// once), Save PlayList writes the user's file, Sort publishes the sorted
// list for the loader, and the exit writes the autosave. The window thread
// hands over a snapshot of the playlist's paths (a cheap shared copy) and
// hears back by queued calls; it never waits.

#include "common/file_replacement.h"
#include "common/native_path.h"
#include "player/core/player_state.h"
#include "player/playlist/batch_folder.h"

#include <QList>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

namespace qpt {

class BatchLoader;
class PlaylistModel;
class ReplyChannel;
class SerialWorker;

class PlaylistFileJobs : public QObject {
    Q_OBJECT
public:
    // How long the exit waits for a pick-up under way before it saves
    // without the rest of it (the worker may be stuck on a share).
    static constexpr int kExitWaitMs = 3000;

    PlaylistFileJobs(SerialWorker& worker, BatchLoader& loader, PlaylistModel& playlist, QObject* parent = nullptr);
    ~PlaylistFileJobs() override;

    // Open Music: songs to "opening.sng", chosen playlists' lines to
    // "playlist.sng" (a chosen playlist is read there: it may be on a share).
    void openChosen(const QList<NativePath>& paths);
    // One file handed over by the media controls, as a batch file of its
    // own; `done` hears whether it was written.
    void handOver(const NativePath& path, std::function<void(bool written)> done);
    // Save PlayList: the paths as they were when the user chose to save.
    void save(const QString& file, const QList<NativePath>& paths);

    // Sort: with the pick-up under way carried through and the loader held,
    // the playlist's paths are written sorted as "sorted.sng"; once they are
    // on disk the playlist is emptied, `emptied` runs, and the loader reads
    // them back. Nothing happens to an empty playlist or when the file
    // cannot be written (the playlist stays as it was). False when a sort
    // is under way already.
    bool sort(std::function<void()> emptied);
    bool isSorting() const { return m_sorting; }

    // The exit's autosave: no batch file is taken up any more, the pick-up
    // under way is carried through (its file goes only once its songs are in
    // the list saved), then the playlist, followed by the songs of the batch
    // files still waiting, is written to "autosavedlist.aut" unless that is
    // empty; those batch files go once it is on disk. `done` runs when it is on disk or could not be
    // written (the outcome says which). A second call while one is under
    // way does nothing.
    using Saved = std::function<void(const filereplacement::Outcome&)>;
    void autosaveForExit(Saved done);

signals:
    void errorOccurred(PlayerError error, const QString& detail);
    // Chosen names that hold a line break.
    void refused(const QList<QByteArray>& paths);
    // Save PlayList or the sort could not write `file` whole; the old one
    // (if any) is as it was.
    void notSaved(const QString& file, const QString& cause);

private:
    void writeAutosave(const BatchFolder::Pending& pending, Saved done);

    SerialWorker& m_worker;
    BatchLoader& m_loader;
    PlaylistModel& m_playlist;
    std::shared_ptr<ReplyChannel> m_replies;
    bool m_sorting = false;
    bool m_exitSaving = false;
    bool m_workerStuck = false;
    QTimer m_exitWait;
};

}  // namespace qpt
