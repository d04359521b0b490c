#include "player/shell/exit_policy.h"

#include "common/app_folder.h"
#include "common/file_names.h"
#include "common/marker_files.h"
#include "common/notices.h"
#include "common/options.h"
#include "common/single_instance.h"
#include "common/termination_requests.h"
#include "player/core/player_core.h"
#include "player/playlist/batch_loader.h"
#include "player/playlist/playlist_file_jobs.h"
#include "player/playlist/playlist_files.h"
#include "player/shell/main_window.h"
#include "player/shell/player_windows.h"
#include "player/shell/playlist_window.h"

#include <QGuiApplication>
#include <QSessionManager>

#include <unistd.h>

namespace qpt {

namespace {

void releaseInstanceAndMarkers()
{
    SingleInstance::release();
    MarkerFiles::removeOwn(AppFolder::file(QLatin1String(files::ActiveOption)));
    MarkerFiles::removeOwn(AppFolder::file(QLatin1String(files::Running)));
}

}  // namespace

ExitPolicy::ExitPolicy(PlayerCore& core, BatchLoader& loader, PlaylistFileJobs& files, PlayerWindows& windows,
                       QObject* parent)
    : QObject(parent),
      m_core(core),
      m_loader(loader),
      m_files(files),
      m_windows(windows),
      m_sequence(core, [this] { m_windows.mainWindow().hide(); }, [this] {
          if (onTerminate)
              onTerminate();
      })
{
    onTerminate = [] { ::_exit(0); };
}

void ExitPolicy::listenForSessionEnd()
{
    // A logout, a service manager or a kill ends the player like Alt+F4,
    // the playlist saved first when the option says so.
    m_termination = new TerminationRequests(this);
    connect(m_termination, &TerminationRequests::requested, this, [this] {
        m_endBySignal = true;
        closeInOrder();
    });
    // Should the window thread not answer (it never waits, but a bug might
    // hold it), the watcher saves the playlist as it stands in memory.
    m_termination->setSaveGuard({[this] { saveFromAnyThread(); }, [] { releaseInstanceAndMarkers(); }});
    if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(gui, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) { saveForExit(); });
    }
    // Should the event loop be ended from outside (the session going away
    // after its commit), what is kept is kept and the markers go, as at
    // every orderly end.
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, [this] {
        if (m_unloading)
            return;
        m_unloading = true;
        saveForExit();
        releaseInstanceAndMarkers();
    });
}

// What an end from outside keeps, from memory, before the event loop is
// gone: the playlist when the option says so and the lengths measured. A
// pick-up under way cannot be waited for here; its file stays and loads
// again at the next start.
void ExitPolicy::saveForExit()
{
    m_loader.timer.setInterval(0);
    if (Options::read().savesPlaylistOnExit()) {
        const filereplacement::Outcome outcome = playlistfiles::writeAutosave(m_core.playlist);
        if (!outcome)
            tellNotSavedOnStandardError(playlistfiles::autosaveFile(), outcome.cause());
    }
    m_core.lengths.saveCache();
}

void ExitPolicy::tellNotSavedOnStandardError(const QString& file, const QString& cause)
{
    const QByteArray line = QStringLiteral("The PlayList could not be saved in %1: %2. The file there before, "
                                           "if any, was left as it was.\n")
                                .arg(file, cause)
                                .toLocal8Bit();
    // One write, safe from any thread, however the process ends next.
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, line.constData(), size_t(line.size()));
}

// Called on the termination watcher's thread: only what is safe from any
// thread (the model's lock, the settings file, the length cache's lock).
void ExitPolicy::saveFromAnyThread()
{
    if (Options::read().savesPlaylistOnExit()) {
        const QList<NativePath> paths = m_core.playlist.pathsFromAnyThread();
        if (!paths.isEmpty()) {
            const filereplacement::Outcome outcome = playlistfiles::write(playlistfiles::autosaveFile(), paths);
            if (!outcome)
                tellNotSavedOnStandardError(playlistfiles::autosaveFile(), outcome.cause());
        }
    }
    m_core.lengths.saveCache();
}

void ExitPolicy::closeFromTimeDisplay()
{
    m_windows.mainWindow().hide();
    m_windows.playlistWindow().hide();
    closeInOrder();
}

void ExitPolicy::closeInOrder()
{
    // A start from now on waits a moment for this one to let go.
    SingleInstance::markEnding(QLatin1String(programs::Player));
    if (Options::read().savesPlaylistOnExit())
        autosaveAndQuit();
    else
        quitNow();
}

void ExitPolicy::autosaveAndQuit()
{
    // The window goes at once; the end comes when the playlist is on disk
    // (with a pick-up under way carried through first, so that nothing is
    // lost and nothing comes back twice at the next start).
    m_windows.mainWindow().hide();
    m_files.autosaveForExit([this](const filereplacement::Outcome& outcome) {
        if (outcome) {
            quitNow();
        } else if (m_endBySignal) {
            tellNotSavedOnStandardError(playlistfiles::autosaveFile(), outcome.cause());
            quitNow();
        } else {
            // The user hears of it before the player goes; the end comes
            // with the answer, the window thread never waits for it.
            notices::playlistNotSaved(playlistfiles::autosaveFile(), outcome.cause(), this, [this] { quitNow(); });
        }
    });
}

void ExitPolicy::quitNow()
{
    if (m_unloading)
        return;
    m_unloading = true;
    SingleInstance::markEnding(QLatin1String(programs::Player));
    // No batch file is taken up while the player ends (the close fade runs
    // events): it stays for the next start.
    m_loader.timer.setInterval(0);
    emit quitting();
    // What was measured this run spares the next start the measuring; on
    // disk before the fade, like the playlist.
    m_core.lengths.saveCache();
    // All that is kept is kept: a new start may begin now, even should a
    // thread of this process never come back from a share (the kernel
    // would hold the lock for as long) and the process never quite end.
    SingleInstance::release();
    if (m_termination)
        m_termination->markSaved();
    m_sequence.run();
}

}  // namespace qpt
