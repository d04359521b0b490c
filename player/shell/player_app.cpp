#include "player/shell/player_app.h"

#include "common/app_folder.h"
#include "common/dialogs.h"
#include "common/product.h"
#include "common/program_starter.h"
#include "common/twips.h"
#include "common/window_helpers.h"
#include "player/core/media/media_component.h"
#include "player/playlist/playlist_window.h"
#include "player/shell/main_window.h"
#include "player/shell/picture_button.h"
#include "skin/skin.h"

#include <QApplication>
#include <QSystemTrayIcon>

#include <unistd.h>

namespace qpt {

PlayerApp::PlayerApp(std::unique_ptr<MediaComponent> media)
    : m_media(std::move(media)), m_core(std::make_unique<PlayerCore>(*m_media, m_lengths, *this))
{
    onTerminate = [] { ::_exit(0); };
    m_main = new MainWindow(*this);
    m_tray = new QSystemTrayIcon(QIcon(Skin::pixmap(QStringLiteral("app_icon"), QSize(64, 64))), this);
    m_tray->setToolTip(QStringLiteral("Quorbel Player Tirk"));
    m_tray->setVisible(false);
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason) { restoreFromTray(); });
}

PlayerApp::~PlayerApp()
{
    delete m_playlist;
    delete m_main;
}

bool PlayerApp::start()
{
    StartSequence sequence(m_core->context, *this);
    const bool keepRunning = sequence.run();
    if (keepRunning) {
        m_main->show();
        m_core->context.startDesignTimers();
    }
    return keepRunning;
}

PlaylistWindow& PlayerApp::playlistWindow()
{
    if (!m_playlist)
        createPlaylistWindowHidden();
    return *m_playlist;
}

void PlayerApp::createPlaylistWindowHidden()
{
    if (!m_playlist)
        m_playlist = new PlaylistWindow(*this);
}

void PlayerApp::sizeMainWindow(double widthTwips, double heightTwips)
{
    m_main->setFixedSize(twipsToPx(widthTwips), twipsToPx(heightTwips));
}

QString PlayerApp::mainWindowCaption() const
{
    return m_main->windowTitle();
}

void PlayerApp::unloadMainWindow()
{
    if (m_unloading)
        return;
    m_unloading = true;
    m_main->closing = true;
    m_core->exit.run();
}

void PlayerApp::showMainWindow()
{
    m_main->show();
}

void PlayerApp::hideMainWindow()
{
    m_main->hide();
}

void PlayerApp::hidePlaylistWindow()
{
    playlistWindow().hide();
}

void PlayerApp::togglePlaylistWindow()
{
    PlayerContext& c = m_core->context;
    if (c.s.PlaylistOpen == QLatin1String("NO")) {
        c.s.PlaylistOpen = QStringLiteral("YES");
        playlistWindow().move(m_main->x(), m_main->frameGeometry().bottom());
        playlistWindow().show();
        c.s.PlaylistDocked = true;
        m_main->picOpenPlaylist->setPicture(QStringLiteral("playlist_button_4"));
        m_main->picOpenPlaylist->setToolTip(QStringLiteral("Close PlayList"));
        c.timPlayListFocus.setInterval(1);
    } else {
        c.s.PlaylistOpen = QStringLiteral("NO");
        c.s.PlaylistDocked = false;
        playlistWindow().hide();
        m_main->picOpenPlaylist->setPicture(QStringLiteral("playlist_button_0"));
        m_main->picOpenPlaylist->setToolTip(QStringLiteral("Open PlayList"));
    }
}

void PlayerApp::minimizeToTray()
{
    m_tray->setVisible(true);
    m_main->showMinimized();
    m_main->hide();
}

void PlayerApp::minimizeToTrayFromSurface()
{
    minimizeToTray();
    hidePlaylistWindow();
}

void PlayerApp::restoreFromTray()
{
    m_main->show();
    m_main->showNormal();
    m_main->activateWindow();
    m_tray->setVisible(false);
    if (m_core->context.s.PlaylistOpen != QLatin1String("NO"))
        playlistWindow().show();
}

void PlayerApp::focusSeekDot()
{
    m_main->picProgressBarDot->setFocus();
}

void PlayerApp::startOptionProgram()
{
    if (!ProgramStarter::start(AppFolder::file(QLatin1String(programs::Option))))
        Dialogs::message(QStringLiteral("Option Not Found"),
                         QStringLiteral("Option.dat not found... Please Visit ") + Product::website()
                             + QStringLiteral(" for the File"),
                         MsgIcon::Information, MsgButtons::Ok);
}

void PlayerApp::startOnlineSystem()
{
    if (!ProgramStarter::start(AppFolder::file(QLatin1String(programs::Internet))))
        Dialogs::message(QStringLiteral("OS Not Found"),
                         QStringLiteral("Internet.dat not found... Please Visit ") + Product::website()
                             + QStringLiteral(" for the File"),
                         MsgIcon::Information, MsgButtons::Ok);
}

void PlayerApp::ensureRowVisible(int row)
{
    PlaylistWindow& window = playlistWindow();
    const QModelIndex index = window.lstPlayList->model()->index(row - 1, 0);
    if (index.isValid())
        window.lstPlayList->scrollTo(index);
}

void PlayerApp::terminate()
{
    if (onTerminate)
        onTerminate();
}

void PlayerApp::openPopupMenuAtCursor()
{
}

void PlayerApp::timeLabelClicked()
{
    m_core->status.toggleTimeMode();
}

void PlayerApp::nowPlayingClicked()
{
    if (m_core->context.s.LinkActive == QLatin1String("OK"))
        OpenLink(Product::website());
}

void PlayerApp::mainWindowMoved()
{
    PlayerContext& c = m_core->context;
    if (c.s.PlaylistDocked && m_playlist)
        m_playlist->move(m_main->x(), m_main->frameGeometry().bottom());
}

}  // namespace qpt
