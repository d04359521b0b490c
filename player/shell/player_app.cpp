#include "player/shell/player_app.h"

#include "common/app_folder.h"
#include "common/dialogs.h"
#include "common/product.h"
#include "common/program_starter.h"
#include "common/settings_store.h"
#include "common/termination_requests.h"
#include "common/twips.h"
#include "common/window_helpers.h"
#include "player/core/media/media_component.h"
#include "player/playlist/now_saving_window.h"
#include "player/playlist/playlist_window.h"
#include "player/shell/main_window.h"
#include "player/shell/picture_button.h"
#include "player/shell/popup_menu.h"
#include "skin/skin.h"

#include <QApplication>
#include <QSessionManager>
#include <QSystemTrayIcon>

#include <unistd.h>

namespace qpt {

PlayerApp::PlayerApp(std::unique_ptr<MediaComponent> media)
    : m_media(std::move(media)),
      m_core(std::make_unique<PlayerCore>(*m_media, m_lengths, *this)),
      drops(m_core->context),
      editing(m_core->context, drops),
      bars(m_core->context),
      dispatch(*m_core),
      shortcuts(*m_core, bars, editing),
      chrome(*this)
{
    onTerminate = [] { ::_exit(0); };
    PlayerContext& c = m_core->context;
    c.timSavePlayList.setHandler([this] { dispatch.timSavePlayList_Timer(); });
    c.timShortKeys.setHandler([this] { dispatch.timShortKeys_Timer(); });
    c.timPlayListFocus.setHandler([this] { editing.timPlayListFocus_Timer(); });
    c.timStatusBar.setHandler([this] { editing.timStatusBar_Timer(); });

    m_main = new MainWindow(*this);
    m_tray = new QSystemTrayIcon(QIcon(Skin::pixmap(QStringLiteral("app_icon"), QSize(64, 64))), this);
    m_tray->setToolTip(QStringLiteral("Quorbel Player Tirk"));
    m_tray->setVisible(false);
    connect(m_tray, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason) { chrome.RestoreFromTray(); });
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
    StartSequence sequence(m_core->context, *this, m_core->loader);
    const bool keepRunning = sequence.run();
    if (keepRunning) {
        m_main->show();
        m_core->context.startDesignTimers();
        listenForSessionEnd();
    }
    return keepRunning;
}

void PlayerApp::listenForSessionEnd()
{
    // A logout, a service manager or a kill ends the player like Alt+F4,
    // the playlist saved first when the option says so.
    m_termination = new TerminationRequests(this);
    connect(m_termination, &TerminationRequests::requested, this, [this] { m_core->closeInOrder(); });
    if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(gui, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) {
            if (SettingsStore::isOn(QLatin1String(keys::AutosavePlayList)))
                m_core->saving.writeAutosave();
        });
    }
}

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
    chrome.picOpenPlaylist_Click();
}

void PlayerApp::minimizeToTray()
{
    chrome.MinimizeToTray(false);
}

void PlayerApp::showTrayIcon(bool visible)
{
    if (QSystemTrayIcon::isSystemTrayAvailable())
        m_tray->setVisible(visible);
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

void PlayerApp::setMainWindowsEnabled(bool enabled)
{
    m_main->setEnabled(enabled);
    if (m_playlist)
        m_playlist->setEnabled(enabled);
}

void PlayerApp::showNowSaving()
{
    m_nowSaving = new NowSavingWindow([this] { setMainWindowsEnabled(false); },
                                      [this] { setMainWindowsEnabled(true); },
                                      [this] { context().s.SaveCancelRequest = QStringLiteral("STOP"); });
    m_nowSaving->show();
    MakeTopMost(m_nowSaving, true);
}

void PlayerApp::unloadNowSaving()
{
    delete m_nowSaving;
}

void PlayerApp::hidePopupMenu()
{
    if (m_popup)
        m_popup->hide();
}

void PlayerApp::savePlayList(bool leftButton)
{
    m_core->saving.SavePlayList(leftButton, *this);
}

void PlayerApp::openPopupMenuAtCursor()
{
    if (!m_popup)
        m_popup = new PopupMenu(*this);
    const QPoint twips = WindowChrome::popupMenuTwips(CursorPosition());
    m_popup->openAt(twips.x(), twips.y());
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
    chrome.dockPlaylistIfDocked();
}

}  // namespace qpt
