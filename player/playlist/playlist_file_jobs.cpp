#include "player/playlist/playlist_file_jobs.h"

#include "common/app_folder.h"
#include "common/batch_files.h"
#include "common/file_names.h"
#include "common/serial_worker.h"
#include "player/core/playlist_model.h"
#include "player/playlist/batch_loader.h"
#include "player/playlist/chosen_files.h"
#include "player/playlist/playlist_files.h"

#include <thread>

#include <unistd.h>

#include <pthread.h>

namespace qpt {

PlaylistFileJobs::PlaylistFileJobs(SerialWorker& worker, BatchLoader& loader, PlaylistModel& playlist,
                                   QObject* parent)
    : QObject(parent), m_worker(worker), m_loader(loader), m_playlist(playlist), m_replies(ReplyChannel::to(this))
{
    m_exitWait.setSingleShot(true);
    m_exitWait.setInterval(kExitWaitMs);
    connect(&m_exitWait, &QTimer::timeout, this, [this] {
        m_workerStuck = true;
        m_loader.abandon();
    });
}

PlaylistFileJobs::~PlaylistFileJobs()
{
    m_replies->close();
}

void PlaylistFileJobs::openChosen(const QList<NativePath>& paths)
{
    if (paths.isEmpty())
        return;
    m_worker.post([paths, replies = m_replies, this] {
        const ChosenFilesOutcome outcome = queueChosenFiles(paths);
        replies->reply([this, outcome] {
            // Appended in place, which the folder watch does not report.
            m_loader.wake();
            for (const QString& playlist : outcome.tooLarge)
                emit errorOccurred(PlayerError::PlaylistTooLarge, playlist);
            if (!outcome.refused.isEmpty())
                emit refused(outcome.refused);
            if (outcome.folderNotWritable)
                emit errorOccurred(PlayerError::FolderNotWritable, AppFolder::path());
        });
    });
}

void PlaylistFileJobs::handOver(const NativePath& path, std::function<void(bool)> done)
{
    m_worker.post([path, done, replies = m_replies, this, folder = AppFolder::path()] {
        const QList<QByteArray> lines = batchfiles::linesFor(path);
        const bool written = !lines.isEmpty() && !batchfiles::write(folder, QStringLiteral("openuri"), lines).isEmpty();
        replies->reply([this, done, written] {
            if (written)
                m_loader.wake();
            done(written);
        });
    });
}

void PlaylistFileJobs::save(const QString& file, const QList<NativePath>& paths)
{
    // The place the user chose may be a share.
    m_worker.post([file, paths, replies = m_replies, this] {
        const filereplacement::Outcome outcome = playlistfiles::write(file, paths);
        if (!outcome)
            replies->reply([this, file, cause = outcome.cause()] { emit notSaved(file, cause); });
    });
}

bool PlaylistFileJobs::sort(std::function<void()> emptied)
{
    if (m_sorting)
        return false;
    m_sorting = true;
    // The rows of a pick-up under way belong in the sorted list too, and no
    // row may come between the paths taken and the playlist emptied.
    m_loader.hold([this, emptied = std::move(emptied)] {
        const QList<NativePath> paths = m_playlist.paths();
        if (paths.isEmpty()) {
            m_sorting = false;
            m_loader.release();
            return;
        }
        m_worker.post([paths, replies = m_replies, this, emptied] {
            const filereplacement::Outcome outcome = playlistfiles::writeSorted(paths);
            replies->reply([this, emptied, written = outcome.ok, cause = outcome.cause()] {
                m_sorting = false;
                // On disk before the playlist is emptied: where it cannot be
                // written, the playlist stays as it was.
                if (written) {
                    m_playlist.clear();
                    emptied();
                } else {
                    emit notSaved(playlistfiles::sortedFile(), cause);
                }
                m_loader.release();
                if (written)
                    m_loader.wake();
            });
        });
    });
    return true;
}

void PlaylistFileJobs::autosaveForExit(Saved done)
{
    if (m_exitSaving)
        return;
    m_exitSaving = true;
    m_loader.timer.setInterval(0);
    m_exitWait.start();
    m_loader.hold([this, done = std::move(done)] {
        m_exitWait.stop();
        if (m_workerStuck) {
            writeAutosave({}, done);
            return;
        }
        // The batch files not taken up yet are saved with the playlist (and
        // then deleted): the next start finds one list, not the list and
        // its pieces again. A worker that does not answer in time leaves
        // them for the next start.
        auto answered = std::make_shared<bool>(false);
        m_loader.collectPending([this, answered, done](const BatchFolder::Pending& pending) {
            if (std::exchange(*answered, true))
                return;
            writeAutosave(pending, done);
        });
        QTimer::singleShot(kExitWaitMs, this, [this, answered, done] {
            if (!std::exchange(*answered, true))
                writeAutosave({}, done);
        });
    });
}

void PlaylistFileJobs::writeAutosave(const BatchFolder::Pending& pending, Saved done)
{
    const QList<NativePath> paths = m_playlist.paths() + pending.lines;
    // An empty playlist writes nothing: the last saved copy stays.
    if (paths.isEmpty()) {
        done({});
        return;
    }
    // A thread of its own, not the worker: a job of the user's there (a save
    // to a share) may never end, and the exit must not wait behind it.
    std::thread writer([paths, replies = m_replies, done, file = playlistfiles::autosaveFile(), folded = pending.files] {
        const filereplacement::Outcome outcome = playlistfiles::write(file, paths);
        if (outcome) {
            for (const NativePath& batch : folded)
                ::unlink(batch.constData());
        }
        replies->reply([done, outcome] { done(outcome); });
    });
    ::pthread_setname_np(writer.native_handle(), "exit save");
    writer.detach();
}

}  // namespace qpt
