#include "player/shell/player_windows.h"

#include "common/twips.h"
#include "player/core/cd/audio_cd_watch.h"
#include "common/window_helpers.h"
#include "player/shell/commands.h"
#include "player/shell/main_window.h"
#include "player/shell/now_saving_window.h"
#include "player/shell/playlist_window.h"
#include "player/shell/popup_menu.h"
#include "skin/skin.h"

#include <QApplication>
#include <QSystemTrayIcon>

namespace qpt {

PlayerWindows::PlayerWindows(const Parts& parts, QObject* parent) : QObject(parent), m_parts(parts)
{
    m_main = new MainWindow(parts.commands, parts.display, parts.bars, parts.chrome);
    m_tray = new QSystemTrayIcon(Skin::appIcon(), this);
    m_tray->setToolTip(QStringLiteral("Quorbel Player Tirk"));
    m_tray->setVisible(false);
    connect(&parts.audioCd, &AudioCdWatch::changed, this, [this](bool holdsAudioCd) {
        if (m_popup)
            m_popup->showAudioCdEntry(holdsAudioCd);
    });
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason) {
        m_parts.commands.run(Command::RestoreFromTray);
    });
}

PlayerWindows::~PlayerWindows()
{
    delete m_popup;
    delete m_nowSaving;
    delete m_playlist;
    delete m_main;
}

PlaylistWindow& PlayerWindows::playlistWindow()
{
    createPlaylistWindowHidden();
    return *m_playlist;
}

void PlayerWindows::createPlaylistWindowHidden()
{
    if (m_playlist)
        return;
    m_playlist = new PlaylistWindow(m_parts.commands, m_parts.chrome, m_parts.playlist, m_parts.statusLine);
    connect(m_playlist, &PlaylistWindow::visibleRowsChanged, this, &PlayerWindows::visibleRowsChanged);
}

PopupMenu* PlayerWindows::popupMenu() const
{
    return m_popup;
}

NowSavingWindow* PlayerWindows::nowSavingWindow() const
{
    return m_nowSaving;
}

void PlayerWindows::showTrayIcon(bool visible)
{
    if (QSystemTrayIcon::isSystemTrayAvailable())
        m_tray->setVisible(visible);
}

void PlayerWindows::focusSeekKnob()
{
    m_main->focusSeekKnob();
}

PopupMenu& PlayerWindows::popupMenuLookingForCd()
{
    if (!m_popup)
        m_popup = new PopupMenu(m_parts.commands);
    // What the drives said last shows at once; a fresh look shows or hides
    // the entry a moment later, while the menu is open.
    m_popup->showAudioCdEntry(m_parts.audioCd.holdsAudioCd());
    m_parts.audioCd.look();
    return *m_popup;
}

void PlayerWindows::openPopupMenuAtCursor()
{
    popupMenuLookingForCd();
    const QPoint twips = WindowChrome::popupMenuTwips(CursorPosition());
    m_popup->openAt(twips.x(), twips.y());
}

void PlayerWindows::openPopupMenuByKey()
{
    QWidget* window = QApplication::activeWindow();
    if (!window || window == m_popup)
        window = m_main;
    popupMenuLookingForCd().openByKey(window);
}

void PlayerWindows::hidePopupMenu()
{
    if (m_popup)
        m_popup->hide();
}

void PlayerWindows::showNowSaving()
{
    m_nowSaving = new NowSavingWindow([this] { setMainWindowsEnabled(false); },
                                      [this] { setMainWindowsEnabled(true); }, {});
    m_nowSaving->show();
    makeTopMost(m_nowSaving, true);
}

void PlayerWindows::closeNowSaving()
{
    delete m_nowSaving;
}

void PlayerWindows::setMainWindowsEnabled(bool enabled)
{
    m_main->setEnabled(enabled);
    if (m_playlist)
        m_playlist->setEnabled(enabled);
}

void PlayerWindows::sizeMainWindow(double widthTwips, double heightTwips)
{
    m_main->setFixedSize(twipsToPx(widthTwips), twipsToPx(heightTwips));
}

QString PlayerWindows::mainWindowCaption() const
{
    return m_main->windowTitle();
}

void PlayerWindows::showMainWindow()
{
    m_main->show();
}

}  // namespace qpt
