#include "skin/keyboard_focus_mark.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>

namespace qpt {

namespace {

KeyboardFocusMark* g_mark = nullptr;

bool isModifierKey(int key)
{
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
        return true;
    default:
        return false;
    }
}

}  // namespace

KeyboardFocusMark::KeyboardFocusMark()
{
    setObjectName(QStringLiteral("qpt_keyboard_focus_mark"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    hide();
}

KeyboardFocusMark* KeyboardFocusMark::install()
{
    if (!g_mark) {
        g_mark = new KeyboardFocusMark;
        qApp->installEventFilter(g_mark);
        QObject::connect(qApp, &QApplication::focusChanged, g_mark,
                         [](QWidget*, QWidget* now) { g_mark->follow(now); });
        QObject::connect(g_mark, &QObject::destroyed, [] { g_mark = nullptr; });
    }
    return g_mark;
}

QWidget* KeyboardFocusMark::markedWidget()
{
    return g_mark && g_mark->isVisible() ? g_mark->m_target.data() : nullptr;
}

void KeyboardFocusMark::detach()
{
    m_target = nullptr;
    hide();
    // Out of the window it marked in: a window may go (the pop-up menu does
    // after each use) and must not take the mark with it.
    if (parentWidget())
        setParent(nullptr);
}

void KeyboardFocusMark::follow(QWidget* widget)
{
    // The window itself holding the focus is no control to mark.
    if (!m_keyboard || !widget || widget->isWindow() || !widget->parentWidget() || !widget->isVisible()) {
        detach();
        return;
    }
    m_target = widget;
    if (parentWidget() != widget->parentWidget())
        setParent(widget->parentWidget());
    place();
}

void KeyboardFocusMark::place()
{
    if (!m_target || !m_target->isVisible()) {
        detach();
        return;
    }
    setGeometry(m_target->geometry().adjusted(-kMargin, -kMargin, kMargin, kMargin));
    raise();
    show();
    update();
}

bool KeyboardFocusMark::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        if (!m_keyboard && !isModifierKey(static_cast<QKeyEvent*>(event)->key())) {
            m_keyboard = true;
            follow(QApplication::focusWidget());
        }
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (m_keyboard) {
            m_keyboard = false;
            follow(nullptr);
        }
        break;
    case QEvent::FocusIn: {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason)
            m_keyboard = true;
        else if (reason == Qt::MouseFocusReason)
            m_keyboard = false;
        break;
    }
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
        if (watched == m_target)
            place();
        break;
    default:
        break;
    }
    return QFocusFrame::eventFilter(watched, event);
}

void KeyboardFocusMark::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF ring = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
    // A dark edge under a bright line: seen on the dark display and on the
    // light playlist alike.
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(0x10, 0x18, 0x20, 220), 3));
    painter.drawRoundedRect(ring, 3, 3);
    painter.setPen(QPen(QColor(0xFF, 0xD2, 0x1F), 1.5));
    painter.drawRoundedRect(ring, 3, 3);
}

}  // namespace qpt
