#include "player/shell/player_app.h"

#include "common/dialogs.h"
#include "common/notices.h"
#include "player/core/media/media_component.h"
#include "player/shell/main_window.h"
#include "player/shell/playlist_window.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcLengthLog, "qpt.lengths", QtWarningMsg)

namespace qpt {

namespace {

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
      m_statusLine(m_core.engine, *m_media),
      m_actions({m_core, *m_media, m_files, m_drops, m_audioCd, m_display, m_bars, m_commands, m_chrome, m_windows, m_exit}),
      m_commands(m_actions),
      m_chrome(m_windows, m_display, m_commands.playlistTimer),
      m_windows({m_commands, m_display, m_bars, m_chrome, m_core.playlist, m_statusLine, m_audioCd}),
      m_exit(m_core, m_loader, m_files, m_windows)
{
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
    connect(&m_core, &PlayerCore::closeRequested, &m_exit, &ExitPolicy::closeInOrder);
    connect(&m_core, &PlayerCore::songDidNotAnswer, this, &PlayerApp::tellSongDidNotAnswer);
    // Changes of what is on screen come in bursts (a scroll, rows added a
    // thousand at a time): one update after them.
    m_urgentLengths.setSingleShot(true);
    m_urgentLengths.setInterval(0);
    connect(&m_urgentLengths, &QTimer::timeout, this, &PlayerApp::updateUrgentLengths);
    connect(&m_core.playlist, &PlaylistModel::currentChanged, &m_urgentLengths, qOverload<>(&QTimer::start));
    connect(&m_windows, &PlayerWindows::visibleRowsChanged, &m_urgentLengths, qOverload<>(&QTimer::start));
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

    connect(&m_exit, &ExitPolicy::quitting, this, &PlayerApp::quitting);
    connect(&m_exit, &ExitPolicy::quitting, &m_windows.mainWindow(), &MainWindow::markClosing);
    // What the knobs are dragged to is carried out as the media controls'
    // requests are.
    connect(&m_bars, &SeekAndVolumeBars::seekAsked, this,
            [this](double seconds) { m_commands.run({Command::SeekTo, seconds}); });
    connect(&m_bars, &SeekAndVolumeBars::volumeAsked, this,
            [this](double volume) { m_commands.run({Command::SetVolume, volume}); });
}

PlayerApp::~PlayerApp() = default;

bool PlayerApp::start()
{
    StartSequence sequence(m_windows, m_loader, m_animation);
    if (!sequence.run())
        return false;
    m_windows.showMainWindow();
    m_core.startTimers();
    m_loader.timer.setInterval(BatchLoader::kTickMs);
    m_loader.watchFolder();
    m_statusLine.timer.setInterval(PlaylistStatusLine::kTickMs);
    m_exit.listenForSessionEnd();
    return true;
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
    case PlayerError::NoAudioCd:
        // One box however many lines named the drive, until it is answered.
        if (std::exchange(m_noAudioCdShown, true))
            return;
        Dialogs::show(QStringLiteral("No Audio CD"),
                      QStringLiteral("There is no audio CD in %1.\r\nIts tracks cannot be played until one is put in.")
                          .arg(detail),
                      MsgIcon::Exclamation, MsgButtons::Ok, this, [this](MsgAnswer) { m_noAudioCdShown = false; });
        return;
    }
}

// The playing song and the rows on screen are measured first: what a
// person looks at has its length before the rest of a long list.
void PlayerApp::updateUrgentLengths()
{
    std::vector<quint64> urgent;
    if (const auto current = m_core.playlist.current())
        urgent.push_back(*current);
    if (const PlaylistWindow* window = m_windows.playlistWindowIfMade()) {
        const auto [first, last] = window->visibleRows();
        for (int row = first; row >= 1 && row <= last; ++row) {
            if (const auto id = m_core.playlist.idOf(row))
                urgent.push_back(*id);
        }
    }
    m_core.lengths.setUrgent(urgent);
}

}  // namespace qpt
