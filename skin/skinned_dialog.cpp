#include "skinned_dialog.h"

#include "common/window_helpers.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace qpt {

SkinnedDialog::SkinnedDialog(const QString& caption, const QSize& size, QWidget* parent)
    : SkinnedWindow(parent, Qt::Window | Qt::FramelessWindowHint)
{
    setWindowTitle(caption);
    setFixedSize(size);
    setDraggedBySurface(true);
    QFont text(QStringLiteral("Tahoma"));
    text.setPixelSize(12);
    setFont(text);
    const QColor ink(0x1f, 0x27, 0x31);
    const QColor greyedInk(0x8a, 0x93, 0x9e);
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, ink);
    colours.setColor(QPalette::Text, ink);
    colours.setColor(QPalette::Base, QColor(0xfb, 0xfc, 0xfd));
    colours.setColor(QPalette::AlternateBase, QColor(0xee, 0xf1, 0xf4));
    colours.setColor(QPalette::Highlight, QColor(0x2f, 0x7f, 0xc8));
    colours.setColor(QPalette::HighlightedText, QColor(0xff, 0xff, 0xff));
    colours.setColor(QPalette::Button, QColor(0xd5, 0xdb, 0xe1));
    colours.setColor(QPalette::ButtonText, ink);
    colours.setColor(QPalette::Window, QColor(0xe2, 0xe7, 0xec));
    colours.setColor(QPalette::Disabled, QPalette::WindowText, greyedInk);
    colours.setColor(QPalette::Disabled, QPalette::Text, greyedInk);
    setPalette(colours);
}

bool SkinnedDialog::isAltF4(const QKeyEvent* event)
{
    const Qt::KeyboardModifiers shift =
        event->modifiers() & (Qt::AltModifier | Qt::ControlModifier | Qt::ShiftModifier);
    return event->key() == Qt::Key_F4 && shift == Qt::AltModifier;
}

void SkinnedDialog::watchControls()
{
    for (QWidget* control : findChildren<QWidget*>())
        control->installEventFilter(this);
}

void SkinnedDialog::dragBy(QWidget* control)
{
    m_dragControls << control;
    control->installEventFilter(this);
}

void SkinnedDialog::paintEvent(QPaintEvent* event)
{
    SkinnedWindow::paintEvent(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // The title strip: the caption over a thin accent line.
    painter.setPen(QPen(QColor(0x2f, 0x9f, 0xd8, 150), 1));
    painter.drawLine(QPointF(16, kTitleHeight + 2.5), QPointF(width() - 16, kTitleHeight + 2.5));
    QFont captionFont(QStringLiteral("Comic Sans MS"));
    captionFont.setPixelSize(15);
    captionFont.setBold(true);
    painter.setFont(captionFont);
    const QRect captionRect(18, 9, width() - 36, kTitleHeight - 7);
    painter.setPen(QColor(255, 255, 255, 200));
    painter.drawText(captionRect.translated(0, 1), Qt::AlignVCenter | Qt::AlignLeft, windowTitle());
    painter.setPen(QColor(0x24, 0x30, 0x3d));
    painter.drawText(captionRect, Qt::AlignVCenter | Qt::AlignLeft, windowTitle());
}

void SkinnedDialog::keyPressEvent(QKeyEvent* event)
{
    if (isAltF4(event)) {
        event->accept();
        unload();
        return;
    }
    SkinnedWindow::keyPressEvent(event);
}

void SkinnedDialog::closeEvent(QCloseEvent* event)
{
    if (m_unloading) {
        event->accept();
        return;
    }
    // Closed from outside (the window manager's Alt+F4 or close): the same
    // as our own Alt+F4, unless a window in front has disabled this one
    // (the Option dialog behind the file association or info window).
    event->ignore();
    if (isEnabled())
        unload();
}

bool SkinnedDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && isAltF4(static_cast<QKeyEvent*>(event))) {
        unload();
        return true;
    }
    if (event->type() == QEvent::MouseButtonPress) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && m_dragControls.contains(qobject_cast<QWidget*>(watched))) {
            startWindowMove(this);
            return true;
        }
    }
    return SkinnedWindow::eventFilter(watched, event);
}

}  // namespace qpt
