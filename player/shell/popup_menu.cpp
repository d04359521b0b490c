#include "player/shell/popup_menu.h"

#include "common/twips.h"
#include "common/window_helpers.h"
#include "common/poll_timer.h"
#include "player/shell/commands.h"
#include "skin/skin.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace qpt {

PopupMenu::PopupMenu(CommandDispatcher& commands)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::Tool), m_commands(commands)
{
    setWindowTitle(QLatin1String(kCaption));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(twipsToPx(1995), twipsToPx(3330));
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    optionEntry = makeEntry(QStringLiteral("Option"), 480, -15, 990, 450, 15.75);
    internetEntry = makeEntry(QStringLiteral("Internet"), 360, 480, 1305, 450, 15.75);
    openMusicEntry = makeEntry(QStringLiteral("Open Music"), 75, 960, 1575, 405, 14.25);
    savePlaylistEntry = makeEntry(QStringLiteral("Save PlayList"), 80, 1440, 1830, 405, 14.25);
    // Below the four, with the same strip of surface between them.
    audioCdEntry = makeEntry(QStringLiteral("Audio CD"), 75, 1920, 1575, 405, 14.25);
    audioCdEntry->hide();
}

void PopupMenu::showAudioCdEntry(bool shown)
{
    audioCdEntry->setVisible(shown);
}

PopupMenu::~PopupMenu() = default;

QLabel* PopupMenu::makeEntry(const QString& text, double left, double top, double width, double height, double points)
{
    auto* entry = new QLabel(text, this);
    QFont font(QStringLiteral("Comic Sans MS"));
    font.setPointSizeF(points);
    font.setBold(true);
    entry->setFont(font);
    entry->setGeometry(twipsRect(left, top, width, height));
    entry->setAlignment(Qt::AlignCenter);
    entry->setMouseTracking(true);
    entry->setAttribute(Qt::WA_TranslucentBackground);
    entry->installEventFilter(this);
    setEntryColour(entry, false);
    return entry;
}

void PopupMenu::setEntryColour(QLabel* entry, bool white)
{
    QPalette palette = entry->palette();
    palette.setColor(QPalette::WindowText, white ? QColor(255, 255, 255) : QColor(0, 0, 0));
    entry->setPalette(palette);
}

void PopupMenu::openAt(double leftTwips, double topTwips)
{
    move(twipsToPx(leftTwips), twipsToPx(topTwips));
    makeTopMost(this, true);
    show();
    activateWindow();
    setFocus();
}

void PopupMenu::unload()
{
    hide();
    deleteLater();
}

void PopupMenu::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    Skin::paint(painter, QStringLiteral("popup_background"), QRectF(rect()));
}

void PopupMenu::mouseMoveEvent(QMouseEvent* event)
{
    if (event->buttons() & Qt::LeftButton)
        startWindowMove(this);
    for (QLabel* entry : {optionEntry, internetEntry, openMusicEntry, savePlaylistEntry, audioCdEntry})
        setEntryColour(entry, false);
}

void PopupMenu::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape)
        unload();
}

bool PopupMenu::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate)
        m_wasActive = true;
    else if (event->type() == QEvent::WindowDeactivate && m_wasActive && !m_busy && isVisible())
        unload();  // closes when it loses the focus
    return QWidget::event(event);
}

bool PopupMenu::eventFilter(QObject* watched, QEvent* event)
{
    auto* entry = qobject_cast<QLabel*>(watched);
    if (!entry)
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::MouseMove) {
        setEntryColour(entry, true);
        return true;
    }
    if (event->type() == QEvent::MouseButtonPress) {
        entryPressed(entry, static_cast<QMouseEvent*>(event)->button());
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void PopupMenu::entryPressed(QLabel* entry, Qt::MouseButton button)
{
    const bool left = button == Qt::LeftButton;
    if (entry == savePlaylistEntry) {
        // Any button clears a waiting resume; the left one saves.
        m_busy = true;
        m_commands.run(left ? CommandRequest(Command::SavePlaylist, true) : Command::ForgetResume);
        m_busy = false;
        if (!isVisible())
            unload();
        return;
    }
    if (!left)
        return;
    m_busy = true;
    if (entry == openMusicEntry) {
        m_commands.run(Command::OpenMusic);
    } else if (entry == audioCdEntry) {
        hide();
        m_commands.run(Command::AddAudioCd);
    } else {
        hide();
        if (entry == optionEntry)
            m_commands.run(Command::OpenOptions);
        else
            m_commands.run(Command::OpenOnlineSystem);
    }
    unload();
}

}  // namespace qpt
