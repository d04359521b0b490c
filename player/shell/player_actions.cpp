#include "player/shell/player_actions.h"

#include "common/app_folder.h"
#include "common/cd_address.h"
#include "common/dialogs.h"
#include "common/file_names.h"
#include "common/options.h"
#include "common/product.h"
#include "common/program_starter.h"
#include "common/window_helpers.h"
#include "player/core/cd/audio_cd_watch.h"
#include "player/core/media/media_component.h"
#include "player/core/player_core.h"
#include "player/playlist/drop_intake.h"
#include "player/playlist/playlist_file_jobs.h"
#include "player/shell/exit_policy.h"
#include "player/shell/main_display.h"
#include "player/shell/player_windows.h"
#include "player/shell/playlist_window.h"
#include "player/shell/seek_volume.h"
#include "player/shell/start_sequence.h"
#include "player/shell/window_chrome.h"

#include <algorithm>
#include <cmath>

namespace qpt {

namespace {

const char* const kOpenTitle = "Open Music";
const char* const kOpenFilter =
    "Music Files|*.WMA;*.MP3;*.MID;*.VYX;*.MP1;*.MP2;*.WAV;*.CDA;*.FLAC;*.OGG;*.OGA;*.OPUS;*.M4A;*.CUE|PlayList|*.VYX|"
    "MP3 Music File|*.MP3|"
    "WMA Music File|*.WMA|WAV Music File|*.WAV|CD Audio|*.CDA|Cue Sheet|*.CUE|All Files|*.*";
const char* const kSaveTitle = "Save PlayList";
const char* const kSaveFilter = "Quorbel PlayList|*.VYX|All Files|*.*";

}  // namespace

PlayerActions::PlayerActions(const Parts& parts, QObject* parent) : QObject(parent), m_parts(parts) {}

// ------------------------------------------------------------ the playlist

void PlayerActions::playSelectedRow()
{
    m_parts.core.engine.playRow(m_parts.windows.playlistWindow().selectedRow());
}

void PlayerActions::removeSelectedRow()
{
    const int row = m_parts.windows.playlistWindow().selectedRow();
    if (row < 1 || row > m_parts.core.playlist.count())
        return;
    m_parts.core.playlist.removeRow(row);
}

void PlayerActions::sortNow()
{
    // A second sort before the sorted list is back does nothing.
    if (m_parts.commands.sortUnderWay())
        return;
    m_parts.files.sort([this] {
        m_parts.commands.resumeWhenReloaded();
        m_parts.display.nowPlayingLabel.setText(QStringLiteral("SORTING PLAYLIST PLEASE WAIT..."));
        m_parts.core.engine.restartNumbering();
    });
}

void PlayerActions::sortPlaylist()
{
    sortNow();
}

void PlayerActions::dropOnMainWindow(const QList<NativePath>& paths)
{
    m_parts.drops.queue(paths);
    m_dropWaiting = true;
    m_parts.commands.playlistTimer.setInterval(50);
}

void PlayerActions::dropOnPlaylist(const QList<NativePath>& paths)
{
    m_parts.drops.queue(paths);
    m_parts.drops.process();
}

bool PlayerActions::processWaitingDrop()
{
    if (!m_dropWaiting)
        return false;
    m_dropWaiting = false;
    m_parts.drops.process();
    return true;
}

void PlayerActions::openMusic()
{
    // The menu is topmost: hidden first, so that it never covers the
    // dialog's file list.
    m_parts.windows.hidePopupMenu();
    Dialogs::chooseFilesToOpen(QLatin1String(kOpenTitle), QLatin1String(kOpenFilter), /*multiple=*/true, this,
                               [this](const QStringList& chosen) {
                                   QList<NativePath> paths;
                                   for (const QString& path : chosen)
                                       paths << nativepath::fromText(path);
                                   queueChosen(paths);
                               });
}

void PlayerActions::addAudioCd()
{
    m_parts.windows.hidePopupMenu();
    const QByteArray drive = m_parts.audioCd.drive();
    if (drive.isEmpty())
        return;
    // Every track of the disc, titled and timed from it by the loader's
    // worker; the default drive's rows keep no drive name, like a ".cda".
    const QByteArray line = drive == cd::defaultDevice() ? cd::discLine(QByteArray()) : cd::discLine(drive);
    m_parts.files.handOver(line, [](bool) {});
}

void PlayerActions::queueChosen(const QList<NativePath>& paths)
{
    m_parts.files.openChosen(paths);
}

void PlayerActions::handOver(const HandOver& file)
{
    m_parts.files.handOver(file.path, file.done);
}

void PlayerActions::savePlaylist(bool leftButton)
{
    m_parts.commands.forgetResume();
    if (!leftButton)
        return;
    PlaylistModel& playlist = m_parts.core.playlist;
    if (playlist.isEmpty()) {
        m_parts.windows.hidePopupMenu();
        Dialogs::show(QStringLiteral("NO MUSIC TO SAVE"), QStringLiteral("No music in PlayList"),
                      MsgIcon::Information, MsgButtons::Ok);
        return;
    }
    m_parts.windows.showNowSaving();
    // The music stops a moment later, on the command timer.
    m_parts.commands.requestStop();
    // The paths are taken from memory at once: there is nothing to wait
    // for, so the window goes before the user could cancel it.
    const QList<NativePath> paths = playlist.paths();
    m_parts.windows.closeNowSaving();
    // The menu is topmost: hidden before the dialog, never over it.
    m_parts.windows.hidePopupMenu();
    Dialogs::chooseFileToSave(QLatin1String(kSaveTitle), QLatin1String(kSaveFilter), /*confirmOverwrite=*/true, this,
                              [this, paths](const QString& name) {
                                  if (!name.isEmpty())
                                      m_parts.files.save(name, paths);
                              });
}

void PlayerActions::forgetResume()
{
    savePlaylist(false);
}

void PlayerActions::scrollToPlayingSong()
{
    const int index = m_parts.core.engine.songNumber();
    const int row = index >= 9 ? index + 2 : 1;
    if (row <= m_parts.core.playlist.count())
        m_parts.windows.playlistWindow().showRow(row);
}

// ---------------------------------------------------------------- playback

void PlayerActions::pressPlay()
{
    if (m_parts.core.engine.buttons().playEnabled)
        m_parts.core.engine.play();
}

void PlayerActions::pressPause()
{
    if (m_parts.core.engine.buttons().pauseEnabled)
        m_parts.core.engine.pause();
}

void PlayerActions::pressStop()
{
    if (m_parts.core.engine.buttons().stopEnabled)
        m_parts.core.engine.stop();
}

void PlayerActions::playPause()
{
    m_parts.core.engine.playOrPause();
    m_parts.windows.focusSeekKnob();
}

void PlayerActions::nextSong()
{
    m_parts.core.engine.next();
}

void PlayerActions::previousSong()
{
    m_parts.core.engine.previous();
}

void PlayerActions::resumeAfterReload()
{
    m_parts.core.engine.next();
}

void PlayerActions::stopForSaving()
{
    m_parts.core.engine.stop();
}

void PlayerActions::seekTo(double seconds)
{
    m_parts.bars.seekTo(seconds);
}

void PlayerActions::seekBy(double seconds)
{
    const MediaComponent& media = m_parts.media;
    const double target = std::max(0.0, media.currentPosition() + seconds);
    // Past the end is the next song, as Alt+Right asks for it.
    if (target > media.duration()) {
        if (m_parts.core.engine.buttons().nextEnabled)
            m_parts.commands.post(Command::NextSong);
    } else {
        m_parts.bars.seekTo(target);
    }
}

void PlayerActions::setVolume(double volume)
{
    if (std::isfinite(volume))
        m_parts.bars.setVolume(volume);
}

void PlayerActions::volumeUp()
{
    m_parts.bars.volumeStepUp();
}

void PlayerActions::volumeDown()
{
    m_parts.bars.volumeStepDown();
}

void PlayerActions::nowPlayingClicked()
{
    if (m_parts.core.engine.linkActive())
        OpenLink(Product::website());
}

void PlayerActions::toggleTimeMode()
{
    m_parts.display.toggleTimeMode();
}

// ----------------------------------------------------------------- windows

void PlayerActions::togglePlaylist()
{
    m_parts.chrome.togglePlaylist();
    m_parts.windows.focusSeekKnob();
}

void PlayerActions::pressPlaylistButton()
{
    m_parts.chrome.togglePlaylist();
}

void PlayerActions::dockPlaylist()
{
    m_parts.chrome.redock();
}

void PlayerActions::minimizeToTray()
{
    m_parts.chrome.minimizeToTray(false);
}

void PlayerActions::minimizeFromSurface()
{
    m_parts.chrome.minimizeToTray(true);
}

void PlayerActions::restoreFromTray()
{
    m_parts.chrome.restoreFromTray();
}

void PlayerActions::openPopupMenu()
{
    m_parts.windows.openPopupMenuAtCursor();
}

void PlayerActions::openPopupMenuByKey()
{
    m_parts.windows.openPopupMenuByKey();
}

// ------------------------------------------------------- the other programs

void PlayerActions::openOptions()
{
    if (!ProgramStarter::start(AppFolder::file(QLatin1String(programs::Option))))
        Dialogs::show(QStringLiteral("Option Not Found"), StartSequence::optionNotFoundText(), MsgIcon::Information,
                      MsgButtons::Ok);
}

void PlayerActions::openOnlineSystem()
{
    if (!ProgramStarter::start(AppFolder::file(QLatin1String(programs::Internet))))
        Dialogs::show(QStringLiteral("OS Not Found"),
                      QStringLiteral("Internet.dat not found... Please Visit ") + Product::website()
                          + QStringLiteral(" for the File"),
                      MsgIcon::Information, MsgButtons::Ok);
}

// ------------------------------------------------------------------ ending

void PlayerActions::closePlayer()
{
    if (Options::read().savesPlaylistOnExit())
        m_parts.commands.post(Command::AutosaveAndQuit);
    else
        m_parts.exit.quitNow();
}

void PlayerActions::autosaveAndQuit()
{
    m_parts.exit.autosaveAndQuit();
}

void PlayerActions::closeFromTimeDisplay()
{
    m_parts.exit.closeFromTimeDisplay();
}

}  // namespace qpt
