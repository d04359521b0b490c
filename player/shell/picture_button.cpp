#include "player/shell/picture_button.h"

#include "skin/skin.h"

#include <QHash>
#include <QMouseEvent>
#include <QPainter>

namespace qpt {

QString skinNameForPicture(const QString& pictureControl)
{
    static const QHash<QString, QString> table = {
        {QStringLiteral("imgPlay1"), QStringLiteral("play_ready")},
        {QStringLiteral("imgPlay2"), QStringLiteral("play_pressed")},
        {QStringLiteral("imgPlay3"), QStringLiteral("play_active")},
        {QStringLiteral("imgPause1"), QStringLiteral("pause_ready")},
        {QStringLiteral("imgPause2"), QStringLiteral("pause_pressed")},
        {QStringLiteral("imgPause3"), QStringLiteral("pause_active")},
        {QStringLiteral("imgStop1"), QStringLiteral("stop_ready")},
        {QStringLiteral("imgStop2"), QStringLiteral("stop_pressed")},
        {QStringLiteral("imgStop3"), QStringLiteral("stop_active")},
        {QStringLiteral("imgNext1"), QStringLiteral("next_pressed")},
        {QStringLiteral("imgNext2"), QStringLiteral("next_released")},
        {QStringLiteral("imgPrev1"), QStringLiteral("prev_pressed")},
        {QStringLiteral("imgPrev2"), QStringLiteral("prev_released")},
    };
    if (pictureControl.startsWith(QLatin1String("picOpenPlaylist")))
        return QStringLiteral("playlist_button_") + pictureControl.mid(15);
    return table.value(pictureControl, pictureControl);
}

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
