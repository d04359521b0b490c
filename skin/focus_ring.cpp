#include "focus_ring.h"

#include <QApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPointer>

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

// The area the ring surrounds for a control: the control and the labels
// beside it that name it, in its window's coordinates.
QRect areaFor(const QWidget* control)
{
    const QWidget* window = control->window();
    QRect area(control->mapTo(window, QPoint(0, 0)), control->size());
    if (const QWidget* parent = control->parentWidget()) {
        for (const QLabel* label : parent->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
            if (label->buddy() == control && label->isVisible())
                area |= QRect(label->mapTo(window, QPoint(0, 0)), label->size());
        }
    }
    return area;
}

}  // namespace

// Sees every press and every focus change of the program (an application
// event filter) and puts the one ring in the window of the control with the
// focus while the keyboard is in use. The ring leaves a window as soon as
// it is not shown there, so a window that goes (the player's pop-up menu
// does after each use) does not take it along; should one take it all the
// same, the next showing makes a new one.
class FocusRingFollower : public QObject {
public:
    explicit FocusRingFollower(QObject* parent) : QObject(parent)
    {
        qApp->installEventFilter(this);
        connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { follow(now); });
    }

    FocusRing* shownRing() const { return m_ring && m_ring->isVisible() ? m_ring.data() : nullptr; }
    QWidget* target() const { return shownRing() ? m_target.data() : nullptr; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::KeyPress:
            // Shift or Ctrl held for a click is still the mouse at work.
            if (!isModifierKey(static_cast<QKeyEvent*>(event)->key()))
                setKeyboard(true);
            break;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::TouchBegin:
        case QEvent::TabletPress:
            setKeyboard(false);
            break;
        case QEvent::FocusIn: {
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason)
                setKeyboard(true);
            break;
        }
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::Hide:
        case QEvent::LayoutRequest:
            if (m_target && (watched == m_target || watched == m_target->window()))
                refresh();
            break;
        default:
            break;
        }
        return false;
    }

private:
    void setKeyboard(bool keyboard)
    {
        if (m_keyboard == keyboard)
            return;
        m_keyboard = keyboard;
        follow(QApplication::focusWidget());
    }

    void follow(QWidget* now)
    {
        // The window itself holding the focus is no control to ring.
        m_target = now && !now->isWindow() ? now : nullptr;
        refresh();
    }

    void refresh()
    {
        QWidget* control = m_target;
        if (!m_keyboard || !control || !control->isVisible() || !control->hasFocus()) {
            leave();
            return;
        }
        QWidget* window = control->window();
        if (!m_ring)
            m_ring = new FocusRing(window);
        else if (m_ring->parentWidget() != window)
            m_ring->setParent(window);
        const int outset = FocusRing::kOutset;
        m_ring->setGeometry(areaFor(control).adjusted(-outset, -outset, outset, outset));
        m_ring->raise();
        m_ring->show();
        m_ring->update();
    }

    void leave()
    {
        if (!m_ring)
            return;
        m_ring->hide();
        if (m_ring->parentWidget())
            m_ring->setParent(nullptr);
    }

    QPointer<QWidget> m_target;
    QPointer<FocusRing> m_ring;
    bool m_keyboard = false;
};

namespace {

QPointer<FocusRingFollower> g_follower;

}  // namespace

FocusRing::FocusRing(QWidget* window) : QFocusFrame(window)
{
    setObjectName(QStringLiteral("qpt_focus_ring"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    hide();
}

void FocusRing::install()
{
    if (!g_follower)
        g_follower = new FocusRingFollower(qApp);
}

QWidget* FocusRing::target()
{
    return g_follower ? g_follower->target() : nullptr;
}

FocusRing* FocusRing::shown()
{
    return g_follower ? g_follower->shownRing() : nullptr;
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

}  // namespace qpt
