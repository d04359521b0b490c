#include "player/shell/picture_button.h"

#include "skin/skin.h"

#include <QMouseEvent>
#include <QPainter>

namespace qpt {

PictureButton::PictureButton(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
}

void PictureButton::setPicture(const QString& skinName)
{
    if (skinName == m_picture)
        return;
    m_picture = skinName;
    update();
}

void PictureButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // A ready picture on a disabled button is drawn dimmed; the lit
    // pictures of the looks speak for themselves.
    if (!isEnabled() && m_picture.endsWith(QLatin1String("_ready")))
        painter.setOpacity(0.45);
    Skin::paint(painter, m_picture, QRectF(rect()));
}

void PictureButton::mousePressEvent(QMouseEvent* event)
{
    m_pressedInside = event->button() == Qt::LeftButton;
    if (onPress)
        onPress(event);
}

void PictureButton::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = m_pressedInside && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_pressedInside = false;
    if (onRelease)
        onRelease(event);
    if (click && isEnabled() && onClick)
        onClick();
}

void PictureButton::click()
{
    if (!isEnabled())
        return;
    const QPointF centre = QRectF(rect()).center();
    const QPointF global = mapToGlobal(centre);
    QMouseEvent press(QEvent::MouseButtonPress, centre, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, centre, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    mousePressEvent(&press);
    mouseReleaseEvent(&release);
}

void PictureButton::mouseMoveEvent(QMouseEvent* event)
{
    if (onMove)
        onMove(event);
}

void PictureButton::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (onDoubleClick)
        onDoubleClick();
    else
        mousePressEvent(event);
}

}  // namespace qpt
