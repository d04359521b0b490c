#include "player/shell/popup_menu.h"

#include "common/twips.h"
#include "common/window_helpers.h"
#include "common/poll_timer.h"
#include "player/shell/commands.h"
#include "skin/control_access.h"
#include "skin/focus_ring.h"
#include "skin/skin.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

namespace qpt {

namespace {

constexpr double kWidthTwips = 1995;
constexpr double kHeightTwips = 3330;
// Each entry's band, and where the fifth (Audio CD) begins: one band below
// Save PlayList.
constexpr double kBandTwips = 480;
constexpr double kAudioCdTopTwips = 1920;

}  // namespace

PopupMenu::PopupMenu(CommandDispatcher& commands)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::Tool), m_commands(commands)
{
    setWindowTitle(QLatin1String(kCaption));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(twipsToPx(kWidthTwips), twipsToPx(kHeightTwips));
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    optionEntry = makeEntry(QStringLiteral("Option"), 480, -15, 990, 450, 15.75);
    internetEntry = makeEntry(QStringLiteral("Internet"), 360, 480, 1305, 450, 15.75);
    openMusicEntry = makeEntry(QStringLiteral("Open Music"), 75, 960, 1575, 405, 14.25);
    savePlaylistEntry = makeEntry(QStringLiteral("Save PlayList"), 80, 1440, 1830, 405, 14.25);
    // Below the four, with the same strip of surface between them.
    audioCdEntry = makeEntry(QStringLiteral("Audio CD"), 75, kAudioCdTopTwips, 1575, 405, 14.25);
    audioCdEntry->hide();

    ControlAccess::attach(this, QAccessible::PopupMenu, [this] { return windowTitle(); });
    for (QLabel* entry : {optionEntry, internetEntry, openMusicEntry, savePlaylistEntry, audioCdEntry}) {
        ControlAccess* access = ControlAccess::attach(entry, QAccessible::MenuItem, [entry] { return entry->text(); });
        access->press = [this, entry] { entryPressed(entry, Qt::LeftButton); };
    }
    FocusRing::install();
}

void PopupMenu::showAudioCdEntry(bool shown)
{
    // The menu grows by one entry's band while it shows the fifth entry.
    setFixedSize(twipsToPx(kWidthTwips), twipsToPx(shown ? kHeightTwips + kBandTwips : kHeightTwips));
    audioCdEntry->setVisible(shown);
    update();
}

// The entries a person can reach now: the Audio CD entry only while shown.
QList<QLabel*> PopupMenu::entries() const
{
    QList<QLabel*> all{optionEntry, internetEntry, openMusicEntry, savePlaylistEntry};
    if (!audioCdEntry->isHidden())
        all << audioCdEntry;
    return all;
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
    entry->setFocusPolicy(Qt::TabFocus);
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
    showAt(QPoint(twipsToPx(leftTwips), twipsToPx(topTwips)));
    setFocus();
}

void PopupMenu::showAt(const QPoint& position)
{
    move(position);
    makeTopMost(this, true);
    show();
    activateWindow();
}

void PopupMenu::openByKey(QWidget* window)
{
    QPoint position = window->mapToGlobal(QPoint(0, 0));
    if (QWidget* focus = window->focusWidget(); focus && focus != window)
        position = focus->mapToGlobal(QPoint(0, focus->height()));
    // Whole on the screen, also under a control at its bottom edge.
    if (const QScreen* screen = window->screen()) {
        const QRect room = screen->availableGeometry();
        position.setX(qBound(room.left(), position.x(), qMax(room.left(), room.right() - width() + 1)));
        position.setY(qBound(room.top(), position.y(), qMax(room.top(), room.bottom() - height() + 1)));
    }
    showAt(position);
    focusEntry(0);
}

void PopupMenu::focusEntry(int index)
{
    const QList<QLabel*> all = entries();
    // Round and round, as a menu's arrows go.
    index = (index % all.size() + all.size()) % all.size();
    all[index]->setFocus(Qt::TabFocusReason);
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
    const QRectF drawn(0, 0, width(), twipsToPx(kHeightTwips));
    if (audioCdEntry->isHidden()) {
        Skin::paint(painter, QStringLiteral("popup_background"), drawn);
        return;
    }
    // With the Audio CD entry the picture opens below Save PlayList: the
    // four entries as drawn, the band of Save PlayList once more for the
    // fifth, then the rest of the picture one band lower.
    const qreal split = twipsToPx(kAudioCdTopTwips);
    painter.save();
    painter.setClipRect(QRectF(0, 0, width(), split));
    Skin::paint(painter, QStringLiteral("popup_background"), drawn);
    painter.restore();
    painter.setClipRect(QRectF(0, split, width(), height() - split));
    painter.translate(0, twipsToPx(kBandTwips));
    Skin::paint(painter, QStringLiteral("popup_background"), drawn);
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
    if (event->key() == Qt::Key_Escape) {
        unload();
        return;
    }
    // Walking the menu from the keyboard; with Alt or Ctrl, no key does
    // anything here.
    if (event->modifiers() & (Qt::AltModifier | Qt::ControlModifier | Qt::MetaModifier))
        return;
    const int at = entries().indexOf(qobject_cast<QLabel*>(focusWidget()));
    switch (event->key()) {
    case Qt::Key_Down:
    case Qt::Key_Right:
        focusEntry(at + 1);
        break;
    case Qt::Key_Up:
    case Qt::Key_Left:
        focusEntry(at < 0 ? -1 : at - 1);
        break;
    case Qt::Key_Home:
        focusEntry(0);
        break;
    case Qt::Key_End:
        focusEntry(-1);
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (at >= 0)
            entryPressed(entries()[at], Qt::LeftButton);
        break;
    default:
        break;
    }
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
    // The entry with the keyboard's focus is lit like the one under the pointer.
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)
        setEntryColour(entry, event->type() == QEvent::FocusIn);
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
