#include "label_button.h"

#include "control_access.h"
#include "skin.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace qpt {

namespace {

// Room left between the caption and the plate's rim, per side.
constexpr int kCaptionMargin = 5;

// The font, made smaller step by step until the caption fits the width:
// a long caption on a small plate stays readable instead of being clipped.
QFont fittingFont(QFont font, const QString& caption, int width)
{
    const bool pixels = font.pixelSize() > 0;
    while (QFontMetrics(font).horizontalAdvance(caption) > width) {
        if (pixels) {
            if (font.pixelSize() <= 8)
                break;
            font.setPixelSize(font.pixelSize() - 1);
        } else {
            if (font.pointSizeF() <= 6.0)
                break;
            font.setPointSizeF(font.pointSizeF() - 0.5);
        }
    }
    return font;
}

}  // namespace

LabelButton::LabelButton(const QString& caption, QWidget* parent) : QLabel(parent)
{
    ControlAccess* access = ControlAccess::attach(this, QAccessible::Button, [this] { return text(); });
    access->press = [this] { click(); };
    access->pressKeys = {QStringLiteral("Space"), QStringLiteral("Return")};
    // The caption is painted as it stands; no rich text, no link handling.
    setTextFormat(Qt::PlainText);
    setText(caption);
    QFont font(QStringLiteral("Comic Sans MS"));
    font.setPixelSize(13);
    font.setBold(true);
    setFont(font);
    setAlignment(Qt::AlignCenter);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
}

void LabelButton::click()
{
    if (isEnabled())
        emit clicked();
}

QSize LabelButton::sizeHint() const
{
    // A plate around the caption, never smaller than the usual dialog button.
    const QFontMetrics metrics(font());
    return QSize(qMax(metrics.horizontalAdvance(text()) + 4 * kCaptionMargin, 64), qMax(metrics.height() + 8, 24));
}

QSize LabelButton::minimumSizeHint() const
{
    // The caption shrinks to fit, so a layout may squeeze the plate.
    return QSize(24, 16);
}

void LabelButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF plate = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    Skin::paint(painter, QStringLiteral("dialog_button"), plate);
    // Sunken only while the pointer is still over it: moving away shows that
    // letting go there will not click.
    const bool sunken = m_pressed && m_hover;
    if (m_hover && isEnabled()) {
        QPainterPath glow;
        glow.addRoundedRect(plate, 6, 6);
        painter.fillPath(glow, QColor(0x3f, 0xa8, 0xff, sunken ? 80 : 45));
    }

    QColor ink = isEnabled() ? QColor(0x1d, 0x26, 0x30) : QColor(0x84, 0x8d, 0x98);
    if (m_hover && isEnabled())
        ink = QColor(0x0b, 0x4a, 0x86);
    QRect textRect = rect();
    if (sunken)
        textRect.translate(1, 1);
    painter.setFont(fittingFont(font(), text(), width() - 2 * kCaptionMargin));
    painter.setPen(QColor(255, 255, 255, 170));
    painter.drawText(textRect.translated(0, 1), Qt::AlignCenter, text());
    painter.setPen(ink);
    painter.drawText(textRect, Qt::AlignCenter, text());
}

void LabelButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QLabel::mousePressEvent(event);
        return;
    }
    m_pressed = true;
    update();
    event->accept();
}

void LabelButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_pressed) {
        QLabel::mouseReleaseEvent(event);
        return;
    }
    m_pressed = false;
    update();
    event->accept();
    if (rect().contains(event->position().toPoint()))
        click();
}

void LabelButton::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (event->modifiers() & (Qt::AltModifier | Qt::ControlModifier))
            break;
        event->accept();
        // A held key clicks once, not once per repeat: one Send Report
        // must not turn into a dozen mails.
        if (!event->isAutoRepeat())
            click();
        return;
    default:
        break;
    }
    QLabel::keyPressEvent(event);
}

void LabelButton::enterEvent(QEnterEvent* event)
{
    m_hover = true;
    update();
    QLabel::enterEvent(event);
}

void LabelButton::leaveEvent(QEvent* event)
{
    m_hover = false;
    update();
    QLabel::leaveEvent(event);
}

void LabelButton::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange && !isEnabled())
        m_pressed = false;
    QLabel::changeEvent(event);
}

LabelButton* dialogButton(const QString& caption, QWidget* parent)
{
    auto* button = new LabelButton(caption, parent);
    button->setFixedSize(90, 24);
    return button;
}

}  // namespace qpt
