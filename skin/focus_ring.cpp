#include "focus_ring.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>

#include <cmath>

namespace qpt {

namespace {

// A rectangle whose edges fall on whole device pixels under the painter's
// transform (screen scale included), back in the painter's coordinates.
QRectF onDevicePixels(const QPainter& painter, const QRectF& rect)
{
    const QTransform toDevice = painter.deviceTransform();
    const QRectF device = toDevice.mapRect(rect);
    const QRectF rounded(QPointF(std::round(device.left()), std::round(device.top())),
                         QPointF(std::round(device.right()), std::round(device.bottom())));
    return toDevice.inverted().mapRect(rounded);
}

// The frame between two rectangles, one inside the other.
void paintFrame(QPainter& painter, const QRectF& outer, const QRectF& inner, const QColor& colour)
{
    painter.fillRect(QRectF(outer.topLeft(), QPointF(outer.right(), inner.top())), colour);
    painter.fillRect(QRectF(QPointF(outer.left(), inner.bottom()), outer.bottomRight()), colour);
    painter.fillRect(QRectF(QPointF(outer.left(), inner.top()), inner.bottomLeft()), colour);
    painter.fillRect(QRectF(inner.topRight(), QPointF(outer.right(), inner.bottom())), colour);
}

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

FocusRing::FocusRing(QWidget* window) : QFocusFrame(window)
{
    setObjectName(QStringLiteral("qpt_focus_ring"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    hide();
    window->installEventFilter(this);
    connect(qApp, &QApplication::focusChanged, this, &FocusRing::onFocusChanged);
    connect(&InputModality::instance(), &InputModality::changed, this, &FocusRing::refresh);
}

const QColor& FocusRing::outerColour()
{
    static const QColor colour(0x1f, 0x6f, 0xb8);
    return colour;
}

const QColor& FocusRing::innerColour()
{
    static const QColor colour(0xff, 0xff, 0xff);
    return colour;
}

QRect FocusRing::areaFor(const QWidget* control) const
{
    QWidget* window = parentWidget();
    QRect area(control->mapTo(window, QPoint(0, 0)), control->size());
    if (QWidget* parent = control->parentWidget()) {
        for (const QLabel* label : parent->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
            if (label->buddy() == control && label->isVisible())
                area |= QRect(label->mapTo(window, QPoint(0, 0)), label->size());
        }
    }
    return area;
}

void FocusRing::onFocusChanged(QWidget*, QWidget* now)
{
    follow(now && now->window() == parentWidget() ? now : nullptr);
}

void FocusRing::follow(QWidget* control)
{
    if (m_target == control) {
        refresh();
        return;
    }
    if (m_target)
        m_target->removeEventFilter(this);
    m_target = control;
    if (m_target)
        m_target->installEventFilter(this);
    refresh();
}

void FocusRing::refresh()
{
    const bool shown = m_target && m_target->isVisible() && m_target->hasFocus()
                    && InputModality::instance().keyboard();
    if (!shown) {
        hide();
        return;
    }
    m_area = areaFor(m_target);
    setGeometry(m_area.adjusted(-kOutset, -kOutset, kOutset, kOutset));
    raise();
    show();
    update();
}

bool FocusRing::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::LayoutRequest:
        if (watched == m_target || watched == parentWidget())
            refresh();
        break;
    default:
        break;
    }
    return false;
}

void FocusRing::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paint(painter, rect().adjusted(kOutset, kOutset, -kOutset, -kOutset));
}

void FocusRing::paint(QPainter& painter, const QRect& around)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    const QRectF outer = onDevicePixels(painter, QRectF(around).adjusted(-kOutset, -kOutset, kOutset, kOutset));
    const QRectF control = onDevicePixels(painter, around);
    // The outer band two pixels at scale 1, in whole device pixels; the
    // inner band the rest of the way to the control, never over it.
    const qreal scale = std::max(painter.deviceTransform().m11(), 1.0);
    const qreal outerWidth = std::max(1.0, std::round(2 * scale)) / scale;
    const QRectF middle = outer.adjusted(outerWidth, outerWidth, -outerWidth, -outerWidth);
    paintFrame(painter, outer, middle, outerColour());
    paintFrame(painter, middle, control, innerColour());
    painter.restore();
}

InputModality& InputModality::instance()
{
    static InputModality* modality = new InputModality;
    return *modality;
}

InputModality::InputModality()
{
    qApp->installEventFilter(this);
}

void InputModality::set(bool keyboard)
{
    if (m_keyboard == keyboard)
        return;
    m_keyboard = keyboard;
    emit changed(keyboard);
}

bool InputModality::eventFilter(QObject*, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        // Shift or Ctrl held for a click is still the mouse at work.
        if (!isModifierKey(static_cast<QKeyEvent*>(event)->key()))
            set(true);
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::TouchBegin:
    case QEvent::TabletPress:
        set(false);
        break;
    default:
        break;
    }
    return false;
}

}  // namespace qpt
