#include "skinned_window.h"

#include "common/window_helpers.h"
#include "skin/skin.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QIcon>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace qpt::option {

SkinnedWindow::SkinnedWindow(const QString& caption, const QSize& size, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
{
    setWindowTitle(caption);
    setFixedSize(size);
    const QPixmap icon = Skin::pixmap(QStringLiteral("app_icon"), QSize(64, 64));
    if (!icon.isNull())
        setWindowIcon(QIcon(icon));
    QFont text(QStringLiteral("Tahoma"));
    text.setPixelSize(12);
    setFont(text);
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, QColor(0x1f, 0x27, 0x31));
    colours.setColor(QPalette::Text, QColor(0x1f, 0x27, 0x31));
    colours.setColor(QPalette::Base, QColor(0xfb, 0xfc, 0xfd));
    colours.setColor(QPalette::AlternateBase, QColor(0xee, 0xf1, 0xf4));
    colours.setColor(QPalette::Highlight, QColor(0x2f, 0x7f, 0xc8));
    colours.setColor(QPalette::HighlightedText, QColor(0xff, 0xff, 0xff));
    colours.setColor(QPalette::Button, QColor(0xd5, 0xdb, 0xe1));
    colours.setColor(QPalette::ButtonText, QColor(0x1f, 0x27, 0x31));
    colours.setColor(QPalette::Window, QColor(0xe2, 0xe7, 0xec));
    colours.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x8a, 0x93, 0x9e));
    colours.setColor(QPalette::Disabled, QPalette::Text, QColor(0x8a, 0x93, 0x9e));
    setPalette(colours);
}

bool SkinnedWindow::isAltF4(const QKeyEvent* event)
{
    const Qt::KeyboardModifiers shift =
        event->modifiers() & (Qt::AltModifier | Qt::ControlModifier | Qt::ShiftModifier);
    return event->key() == Qt::Key_F4 && shift == Qt::AltModifier;
}

void SkinnedWindow::centreOver(const QWidget* other)
{
    QRect area;
    if (other && other->isVisible())
        area = other->frameGeometry();
    else if (const QScreen* screen = QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    if (area.isEmpty())
        return;
    QPoint topLeft = area.center() - QPoint(width() / 2, height() / 2);
    if (const QScreen* screen = QGuiApplication::screenAt(area.center())) {
        const QRect bounds = screen->availableGeometry();
        topLeft.setX(qBound(bounds.left(), topLeft.x(), qMax(bounds.left(), bounds.right() - width())));
        topLeft.setY(qBound(bounds.top(), topLeft.y(), qMax(bounds.top(), bounds.bottom() - height())));
    }
    move(topLeft);
}

void SkinnedWindow::watchControls()
{
    for (QWidget* control : findChildren<QWidget*>())
        control->installEventFilter(this);
}

void SkinnedWindow::dragBy(QWidget* control)
{
    m_dragControls << control;
    control->installEventFilter(this);
}

void SkinnedWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area = rect();
    const QString picture = QStringLiteral("dialog_background");
    if (Skin::exists(picture)) {
        Skin::paint(painter, picture, area);
    } else {
        // The same build as the skin's picture: a dark metal frame around a
        // light panel.
        QLinearGradient frame(area.topLeft(), area.bottomLeft());
        frame.setColorAt(0.0, QColor(0x44, 0x4c, 0x57));
        frame.setColorAt(0.12, QColor(0x30, 0x36, 0x3e));
        frame.setColorAt(1.0, QColor(0x1d, 0x20, 0x25));
        painter.fillRect(area, QColor(0x1c, 0x1f, 0x24));
        QPainterPath outer;
        outer.addRoundedRect(area.adjusted(0.5, 0.5, -0.5, -0.5), 10, 10);
        painter.fillPath(outer, frame);
        painter.setPen(QColor(0x08, 0x09, 0x0b));
        painter.drawPath(outer);
        const QRectF inner = area.adjusted(8.5, 8.5, -8.5, -8.5);
        QLinearGradient panel(inner.topLeft(), inner.bottomLeft());
        panel.setColorAt(0.0, QColor(0xee, 0xf1, 0xf4));
        panel.setColorAt(1.0, QColor(0xd3, 0xd9, 0xdf));
        QPainterPath panelPath;
        panelPath.addRoundedRect(inner, 6, 6);
        painter.fillPath(panelPath, panel);
        painter.setPen(QColor(0x0a, 0x0c, 0x0f));
        painter.drawPath(panelPath);
        painter.setPen(QColor(255, 255, 255, 180));
        painter.drawRoundedRect(inner.adjusted(1, 1, -1, -1), 5, 5);
    }

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

void SkinnedWindow::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        event->accept();
        StartWindowMove(this);
        return;
    }
    QWidget::mousePressEvent(event);
}

void SkinnedWindow::keyPressEvent(QKeyEvent* event)
{
    if (isAltF4(event)) {
        event->accept();
        unload();
        return;
    }
    QWidget::keyPressEvent(event);
}

void SkinnedWindow::closeEvent(QCloseEvent* event)
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

bool SkinnedWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && isAltF4(static_cast<QKeyEvent*>(event))) {
        unload();
        return true;
    }
    if (event->type() == QEvent::MouseButtonPress) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && m_dragControls.contains(qobject_cast<QWidget*>(watched))) {
            StartWindowMove(this);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace qpt::option
