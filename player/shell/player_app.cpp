#include "player/shell/player_app.h"

#include "common/app_folder.h"
#include "common/dialogs.h"
#include "common/file_names.h"
#include "common/marker_files.h"
#include "common/notices.h"
#include "common/options.h"
#include "common/product.h"
#include "common/program_starter.h"
#include "common/settings_store.h"
#include "common/single_instance.h"
#include "common/termination_requests.h"
#include "common/twips.h"
#include "common/window_helpers.h"
#include "player/core/media/media_component.h"
#include "player/playlist/playlist_files.h"
#include "player/shell/exit_sequence.h"
#include "player/shell/main_window.h"
#include "player/shell/now_saving_window.h"
#include "player/shell/playlist_window.h"
#include "player/shell/popup_menu.h"
#include "skin/skin.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QSessionManager>
#include <QSystemTrayIcon>
#include <QTableView>

#include <algorithm>
#include <cmath>

#include <unistd.h>

Q_LOGGING_CATEGORY(lcLengthLog, "qpt.lengths", QtWarningMsg)

namespace qpt {

namespace {

const char* const kOpenTitle = "Open Music";
const char* const kOpenFilter =
    "Music Files|*.WMA;*.MP3;*.MID;*.VYX;*.MP1;*.MP2;*.WAV;*.CDA;*.FLAC;*.OGG;*.OGA;*.OPUS;*.M4A;*.CUE|PlayList|*.VYX|"
    "MP3 Music File|*.MP3|"
    "WMA Music File|*.WMA|WAV Music File|*.WAV|CD Audio|*.CDA|Cue Sheet|*.CUE|All Files|*.*";
const char* const kSaveTitle = "Save PlayList";
const char* const kSaveFilter = "Quorbel PlayList|*.VYX|All Files|*.*";

QString error15Text()
{
    return QStringLiteral("Error 15 Loading Song Section\r\nPlease report this to Vyx Hollowmere\r\n"
                          "You can use the Bug Report System in the Online System");
}

QString nothingPlayedText(const SongSupervision::NothingPlayed& what)
{
    const QString song = nativepath::displayText(what.firstSong);
    QString text = what.songs == 1
                     ? QStringLiteral("The song in the PlayList could not be played:\r\n") + song
                     : QStringLiteral("None of the %1 songs in the PlayList could be played.\r\n"
                                      "The first one was ")
                               .arg(what.songs)
                           + song;
    if (!what.firstReason.isEmpty())
        text += QStringLiteral("\r\nIt failed with: ") + what.firstReason;
    return text;
}

}  // namespace

PlayerApp::PlayerApp(std::unique_ptr<MediaComponent> media)
    : m_media(std::move(media)),
      m_core(*m_media),
      m_loader(m_core.playlist, m_core.engine, m_core.lengths, m_playlistFiles),
      m_files(m_playlistFiles, m_loader, m_core.playlist),
      m_drops(m_core.engine),
      m_display(m_core),
      m_animation(m_display.nowPlayingLabel, m_core.engine),
      m_bars(m_display, *m_media),
      m_commands(*this),
      m_statusLine(m_core.engine, *m_media),
      m_chrome(*this),
      m_exit(m_core, [this] { m_main->hide(); }, [this] {
          if (onTerminate)
              onTerminate();
      })
{
    onTerminate = [] { ::_exit(0); };
    m_core.lengths.setCacheFile(SongLengthService::defaultCacheFile());

    connect(&m_core, &PlayerCore::errorOccurred, this, &PlayerApp::showError);
    connect(&m_loader, &BatchLoader::errorOccurred, this, &PlayerApp::showError);
    connect(&m_loader, &BatchLoader::songsNotAdded, this,
            [](qint64 songs) { notices::songsNotAdded(songs, PlaylistModel::kCap); });
    connect(&m_drops, &DropIntake::errorOccurred, this, &PlayerApp::showError);
    connect(&m_files, &PlaylistFileJobs::errorOccurred, this, &PlayerApp::showError);
    connect(&m_files, &PlaylistFileJobs::refused, this, &notices::lineBreakNames);
    connect(&m_files, &PlaylistFileJobs::notSaved, this,
            [](const QString& file, const QString& cause) { notices::playlistNotSaved(file, cause); });
    connect(&m_core, &PlayerCore::closeRequested, this, &PlayerApp::closeInOrder);
    connect(&m_core, &PlayerCore::songDidNotAnswer, this, &PlayerApp::tellSongDidNotAnswer);
    // Changes of what is on screen come in bursts (a scroll, rows added a
    // thousand at a time): one update after them.
    m_urgentLengths.setSingleShot(true);
    m_urgentLengths.setInterval(0);
    connect(&m_urgentLengths, &QTimer::timeout, this, &PlayerApp::updateUrgentLengths);
    connect(&m_core.playlist, &PlaylistModel::currentChanged, &m_urgentLengths, qOverload<>(&QTimer::start));
    connect(&m_core.lengths, &SongLengthService::urgentMeasured, this, [](int entries) {
        qCInfo(lcLengthLog).nospace() << "visible lengths known: " << entries << " rows";
    });
    connect(&m_core, &PlayerCore::nothingPlayed, this, [](const SongSupervision::NothingPlayed& what) {
        Dialogs::show(QStringLiteral("No Song Could Be Played"), nothingPlayedText(what), MsgIcon::Exclamation,
                      MsgButtons::Ok);
    });
    // Every play-state notice brings the playing song into view, a moment later.
    connect(&m_core.engine, &PlaybackEngine::mediaStateNoticed, this,
            [this] { m_commands.playlistTimer.setInterval(200); });
    // The sorted list is back: play on.
    connect(&m_loader, &BatchLoader::batchesLoaded, &m_commands, &CommandDispatcher::reloaded);
    connect(&m_drops, &DropIntake::progress, &m_display.nowPlayingLabel, &LabelModel::setText);
    connect(&m_drops, &DropIntake::finished, this, [this] { m_animation.arm(Announcement::DropFinished); });
    connect(&m_drops, &DropIntake::finished, &m_loader, &BatchLoader::wake);
    connect(&m_drops, &DropIntake::refused, this, &notices::lineBreakNames);

    m_main = new MainWindow(m_commands, m_display, m_bars, m_chrome);
    connect(this, &PlayerApp::quitting, m_main, &MainWindow::markClosing);
    m_tray = new QSystemTrayIcon(Skin::appIcon(), this);
    m_tray->setToolTip(QStringLiteral("Quorbel Player Tirk"));
    m_tray->setVisible(false);
    connect(m_tray, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason) { m_commands.run(Command::RestoreFromTray); });
    // What the knobs are dragged to is carried out as the media controls'
    // requests are.
    connect(&m_bars, &SeekAndVolumeBars::seekAsked, this,
            [this](double seconds) { m_commands.run({Command::SeekTo, seconds}); });
    connect(&m_bars, &SeekAndVolumeBars::volumeAsked, this,
            [this](double volume) { m_commands.run({Command::SetVolume, volume}); });
}

PlayerApp::~PlayerApp()
{
    delete m_popup;
    delete m_nowSaving;
    delete m_playlist;
    delete m_main;
}

bool PlayerApp::start()
{
    StartSequence sequence(*this, m_loader, m_animation);
    if (!sequence.run())
        return false;
    m_main->show();
    m_core.startTimers();
    m_loader.timer.setInterval(BatchLoader::kTickMs);
    m_loader.watchFolder();
    m_statusLine.timer.setInterval(PlaylistStatusLine::kTickMs);
    listenForSessionEnd();
    return true;
}

void PlayerApp::listenForSessionEnd()
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
    m_termination->setSaveGuard({[this] { saveFromAnyThread(); }, [] {
                                     SingleInstance::release();
                                     MarkerFiles::removeOwn(AppFolder::file(QLatin1String(files::ActiveOption)));
                                     MarkerFiles::removeOwn(AppFolder::file(QLatin1String(files::Running)));
                                 }});
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
        SingleInstance::release();
        MarkerFiles::removeOwn(AppFolder::file(QLatin1String(files::ActiveOption)));
        MarkerFiles::removeOwn(AppFolder::file(QLatin1String(files::Running)));
    });
}

// What an end from outside keeps, from memory, before the event loop is
// gone: the playlist when the option says so and the lengths measured. A
// pick-up under way cannot be waited for here; its file stays and loads
// again at the next start.
void PlayerApp::saveForExit()
{
    m_loader.timer.setInterval(0);
    if (Options::read().savesPlaylistOnExit()) {
        const filereplacement::Outcome outcome = playlistfiles::writeAutosave(m_core.playlist);
        if (!outcome)
            tellNotSavedOnStandardError(playlistfiles::autosaveFile(), outcome.cause());
    }
    m_core.lengths.saveCache();
}

void PlayerApp::tellNotSavedOnStandardError(const QString& file, const QString& cause)
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
void PlayerApp::saveFromAnyThread()
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

// A share gone to sleep: said once while the box is up, not once per song
// of that share.
void PlayerApp::tellSongDidNotAnswer(const QByteArray& address)
{
    if (m_noAnswerShown)
        return;
    m_noAnswerShown = true;
    Dialogs::show(QStringLiteral("Song Not Answering"),
                  nativepath::displayText(address)
                      + QStringLiteral("\r\ngave no sound for 10 seconds (is its drive or network share still "
                                       "there?) and was passed over."),
                  MsgIcon::Exclamation, MsgButtons::Ok, this, [this](MsgAnswer) { m_noAnswerShown = false; });
}

// Boxes open without waiting: the one that reports a problem never holds
// up the signal that brought it, nor the songs and lengths behind it.
void PlayerApp::showError(PlayerError error, const QString& detail)
{
    switch (error) {
    case PlayerError::LengthNotRepresentable:
        Dialogs::show(QStringLiteral(" Error"), detail, MsgIcon::None, MsgButtons::Ok);
        return;
    case PlayerError::BatchFileUnreadable:
        Dialogs::show(QStringLiteral("Error 15"), error15Text(), MsgIcon::Critical, MsgButtons::Ok);
        return;
    case PlayerError::FolderNotWritable:
        notices::folderNotWritableOnce();
        return;
    case PlayerError::PlaylistTooLarge:
        notices::playlistTooLarge(detail);
        return;
    }
}

// ------------------------------------------------------------------ windows

PopupMenu* PlayerApp::popupMenu() const
{
    return m_popup;
}

NowSavingWindow* PlayerApp::nowSavingWindow() const
{
    return m_nowSaving;
}

PlaylistWindow& PlayerApp::playlistWindow()
{
    createPlaylistWindowHidden();
    return *m_playlist;
}

void PlayerApp::createPlaylistWindowHidden()
{
    if (m_playlist)
        return;
    m_playlist = new PlaylistWindow(m_commands, m_chrome, m_core.playlist, m_statusLine);
    connect(m_playlist, &PlaylistWindow::visibleRowsChanged, &m_urgentLengths, qOverload<>(&QTimer::start));
}

// The playing song and the rows on screen are measured first: what a
// person looks at has its length before the rest of a long list.
void PlayerApp::updateUrgentLengths()
{
    std::vector<quint64> urgent;
    if (const auto current = m_core.playlist.current())
        urgent.push_back(*current);
    if (m_playlist) {
        const auto [first, last] = m_playlist->visibleRows();
        for (int row = first; row >= 1 && row <= last; ++row) {
            if (const auto id = m_core.playlist.idOf(row))
                urgent.push_back(*id);
        }
    }
    m_core.lengths.setUrgent(urgent);
}

void PlayerApp::sizeMainWindow(double widthTwips, double heightTwips)
{
    m_main->setFixedSize(twipsToPx(widthTwips), twipsToPx(heightTwips));
}

QString PlayerApp::mainWindowCaption() const
{
    return m_main->windowTitle();
}

void PlayerApp::showMainWindow()
{
    m_main->show();
}

void PlayerApp::showTrayIcon(bool visible)
{
    if (QSystemTrayIcon::isSystemTrayAvailable())
        m_tray->setVisible(visible);
}

void PlayerApp::focusSeekKnob()
{
    m_main->focusSeekKnob();
}

void PlayerApp::setMainWindowsEnabled(bool enabled)
{
    m_main->setEnabled(enabled);
    if (m_playlist)
        m_playlist->setEnabled(enabled);
}

void PlayerApp::hidePopupMenu()
{
    if (m_popup)
        m_popup->hide();
}

void PlayerApp::openPopupMenuAtCursor()
{
    if (!m_popup)
        m_popup = new PopupMenu(m_commands);
    const QPoint twips = WindowChrome::popupMenuTwips(CursorPosition());
    m_popup->openAt(twips.x(), twips.y());
}

void PlayerApp::nowPlayingClicked()
{
    if (m_core.engine.linkActive())
        OpenLink(Product::website());
}

void PlayerApp::openPopupMenu()
{
    openPopupMenuAtCursor();
}

void PlayerApp::toggleTimeMode()
{
    m_display.toggleTimeMode();
}

void PlayerApp::restoreFromTray()
{
    m_chrome.restoreFromTray();
}

void PlayerApp::dockPlaylist()
{
    m_chrome.redock();
}

void PlayerApp::seekTo(double seconds)
{
    m_bars.seekTo(seconds);
}

void PlayerApp::seekBy(double seconds)
{
    const MediaComponent& media = *m_media;
    const double target = std::max(0.0, media.currentPosition() + seconds);
    // Past the end is the next song, as Alt+Right asks for it.
    if (target > media.duration()) {
        if (m_core.engine.buttons().nextEnabled)
            m_commands.post(Command::NextSong);
    } else {
        m_bars.seekTo(target);
    }
}

void PlayerApp::setVolume(double volume)
{
    if (std::isfinite(volume))
        m_bars.setVolume(volume);
}

void PlayerApp::startOptionProgram()
{
    if (!ProgramStarter::start(AppFolder::file(QLatin1String(programs::Option))))
        Dialogs::show(QStringLiteral("Option Not Found"), StartSequence::optionNotFoundText(), MsgIcon::Information,
                      MsgButtons::Ok);
}

void PlayerApp::startOnlineSystem()
{
    if (!ProgramStarter::start(AppFolder::file(QLatin1String(programs::Internet))))
        Dialogs::show(QStringLiteral("OS Not Found"),
                      QStringLiteral("Internet.dat not found... Please Visit ") + Product::website()
                          + QStringLiteral(" for the File"),
                      MsgIcon::Information, MsgButtons::Ok);
}

// ------------------------------------------------------------ the playlist

void PlayerApp::playSelectedRow()
{
    m_core.engine.playRow(playlistWindow().selectedRow());
}

void PlayerApp::removeSelectedRow()
{
    const int row = playlistWindow().selectedRow();
    if (row < 1 || row > m_core.playlist.count())
        return;
    m_core.playlist.removeRow(row);
}

void PlayerApp::sortNow()
{
    // A second sort before the sorted list is back does nothing.
    if (m_commands.sortUnderWay())
        return;
    m_files.sort([this] {
        m_commands.resumeWhenReloaded();
        m_display.nowPlayingLabel.setText(QStringLiteral("SORTING PLAYLIST PLEASE WAIT..."));
        m_core.engine.restartNumbering();
    });
}

void PlayerApp::dropOnMainWindow(const QList<NativePath>& paths)
{
    m_drops.queue(paths);
    m_dropWaiting = true;
    m_commands.playlistTimer.setInterval(50);
}

void PlayerApp::dropOnPlaylist(const QList<NativePath>& paths)
{
    m_drops.queue(paths);
    m_drops.process();
}

void PlayerApp::openMusic()
{
    // The menu is topmost: hidden first, so that it never covers the
    // dialog's file list.
    hidePopupMenu();
    Dialogs::chooseFilesToOpen(QLatin1String(kOpenTitle), QLatin1String(kOpenFilter), /*multiple=*/true, this,
                               [this](const QStringList& chosen) {
                                   QList<NativePath> paths;
                                   for (const QString& path : chosen)
                                       paths << nativepath::fromText(path);
                                   queueChosen(paths);
                               });
}

void PlayerApp::handOver(const HandOver& file)
{
    m_files.handOver(file.path, file.done);
}

void PlayerApp::queueChosen(const QList<NativePath>& paths)
{
    m_files.openChosen(paths);
}

void PlayerApp::savePlaylist(bool leftButton)
{
    m_commands.forgetResume();
    if (!leftButton)
        return;
    PlaylistModel& playlist = m_core.playlist;
    if (playlist.isEmpty()) {
        hidePopupMenu();
        Dialogs::show(QStringLiteral("NO MUSIC TO SAVE"), QStringLiteral("No music in PlayList"),
                      MsgIcon::Information, MsgButtons::Ok);
        return;
    }
    m_nowSaving = new NowSavingWindow([this] { setMainWindowsEnabled(false); },
                                      [this] { setMainWindowsEnabled(true); }, {});
    m_nowSaving->show();
    makeTopMost(m_nowSaving, true);
    // The music stops a moment later, on the command timer.
    m_commands.requestStop();
    // The paths are taken from memory at once: there is nothing to wait
    // for, so the window goes before the user could cancel it.
    const QList<NativePath> paths = playlist.paths();
    delete m_nowSaving;
    // The menu is topmost: hidden before the dialog, never over it.
    hidePopupMenu();
    Dialogs::chooseFileToSave(QLatin1String(kSaveTitle), QLatin1String(kSaveFilter), /*confirmOverwrite=*/true, this,
                              [this, paths](const QString& name) {
                                  if (!name.isEmpty())
                                      m_files.save(name, paths);
                              });
}

// ------------------------------------------------------------------ ending

void PlayerApp::closeFromTimeDisplay()
{
    m_main->hide();
    playlistWindow().hide();
    closeInOrder();
}

void PlayerApp::closeInOrder()
{
    // A start from now on waits a moment for this one to let go.
    SingleInstance::markEnding(QLatin1String(programs::Player));
    if (Options::read().savesPlaylistOnExit())
        autosaveAndQuit();
    else
        quitNow();
}

void PlayerApp::quitNow()
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
    m_exit.run();
}

// ----------------------------------------------------------------- commands

void PlayerApp::closePlayer()
{
    if (Options::read().savesPlaylistOnExit())
        m_commands.post(Command::AutosaveAndQuit);
    else
        quitNow();
}

void PlayerApp::volumeUp()
{
    m_bars.volumeStepUp();
}

void PlayerApp::volumeDown()
{
    m_bars.volumeStepDown();
}

void PlayerApp::nextSong()
{
    m_core.engine.next();
}

void PlayerApp::previousSong()
{
    m_core.engine.previous();
}

void PlayerApp::sortPlaylist()
{
    sortNow();
}

void PlayerApp::openOptions()
{
    startOptionProgram();
}

void PlayerApp::playPause()
{
    m_core.engine.playOrPause();
    focusSeekKnob();
}

void PlayerApp::togglePlaylist()
{
    m_chrome.togglePlaylist();
    focusSeekKnob();
}

void PlayerApp::openOnlineSystem()
{
    startOnlineSystem();
}

void PlayerApp::minimizeToTray()
{
    m_chrome.minimizeToTray(false);
}

void PlayerApp::autosaveAndQuit()
{
    // The window goes at once; the end comes when the playlist is on disk
    // (with a pick-up under way carried through first, so that nothing is
    // lost and nothing comes back twice at the next start).
    m_main->hide();
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

void PlayerApp::pressPlay()
{
    if (m_core.engine.buttons().playEnabled)
        m_core.engine.play();
}

void PlayerApp::pressPause()
{
    if (m_core.engine.buttons().pauseEnabled)
        m_core.engine.pause();
}

void PlayerApp::pressStop()
{
    if (m_core.engine.buttons().stopEnabled)
        m_core.engine.stop();
}

void PlayerApp::scrollToPlayingSong()
{
    const int index = m_core.engine.songNumber();
    const int row = index >= 9 ? index + 2 : 1;
    if (row <= m_core.playlist.count())
        playlistWindow().showRow(row);
}

bool PlayerApp::processWaitingDrop()
{
    if (!m_dropWaiting)
        return false;
    m_dropWaiting = false;
    m_drops.process();
    return true;
}

void PlayerApp::resumeAfterReload()
{
    m_core.engine.next();
}

void PlayerApp::stopForSaving()
{
    m_core.engine.stop();
}

void PlayerApp::pressPlaylistButton()
{
    m_chrome.togglePlaylist();
}

void PlayerApp::forgetResume()
{
    savePlaylist(false);
}

void PlayerApp::minimizeFromSurface()
{
    m_chrome.minimizeToTray(true);
}

}  // namespace qpt
