#include "skinned.h"

#include "skin/skin.h"

#include <QIcon>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QFontMetrics>
#include <QPixmap>

namespace qpt::internet {

namespace {

QString shownText(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

void paintButtonPlate(QPainter& painter, const QRectF& rect, bool pressed, bool hover)
{
    if (Skin::exists(QStringLiteral("dialog_button"))) {
        Skin::paint(painter, QStringLiteral("dialog_button"), rect);
    } else {
        // Silver plate with a dark rim, as the skin draws it.
        QLinearGradient gradient(rect.topLeft(), rect.bottomLeft());
        gradient.setColorAt(0.0, QColor(0xf4, 0xf6, 0xf8));
        gradient.setColorAt(0.5, QColor(0xd5, 0xdb, 0xe1));
        gradient.setColorAt(0.52, QColor(0xc9, 0xd0, 0xd8));
        gradient.setColorAt(1.0, QColor(0xae, 0xb7, 0xc1));
        QPainterPath path;
        path.addRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
        painter.fillPath(path, gradient);
        painter.setPen(QPen(QColor(0x3a, 0x42, 0x4c), 1));
        painter.drawPath(path);
    }
    if (pressed)
        painter.fillRect(rect.adjusted(2, 2, -2, -2), QColor(0, 0, 0, 45));
    else if (hover)
        painter.fillRect(rect.adjusted(2, 2, -2, -2), QColor(63, 216, 255, 40));
}

}  // namespace

void paintDialogBackground(QPainter& painter, const QRect& rect)
{
    if (Skin::exists(QStringLiteral("dialog_background"))) {
        Skin::paint(painter, QStringLiteral("dialog_background"), rect);
        return;
    }
    // A graphite frame around a light panel, as the skin draws it.
    QLinearGradient frame(rect.topLeft(), rect.bottomLeft());
    frame.setColorAt(0.0, QColor(0x44, 0x4c, 0x57));
    frame.setColorAt(0.12, QColor(0x30, 0x36, 0x3e));
    frame.setColorAt(1.0, QColor(0x1d, 0x20, 0x25));
    painter.fillRect(rect, frame);
    const QRectF panel = QRectF(rect).adjusted(8.5, 8.5, -8.5, -8.5);
    QLinearGradient light(panel.topLeft(), panel.bottomLeft());
    light.setColorAt(0.0, QColor(0xee, 0xf1, 0xf4));
    light.setColorAt(1.0, QColor(0xd3, 0xd9, 0xdf));
    QPainterPath path;
    path.addRoundedRect(panel, 6, 6);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(path, light);
    painter.setPen(QPen(QColor(0x0a, 0x0c, 0x0f), 1));
    painter.drawPath(path);
}

QIcon appIcon()
{
    if (Skin::exists(QStringLiteral("app_icon"))) {
        QIcon icon;
        for (int size : {16, 24, 32, 48, 64})
            icon.addPixmap(Skin::pixmap(QStringLiteral("app_icon"), QSize(size, size)));
        return icon;
    }
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QRadialGradient gradient(QPointF(26, 22), 40);
    gradient.setColorAt(0.0, QColor(0x9c, 0xc4, 0xff));
    gradient.setColorAt(1.0, QColor(0x1b, 0x2b, 0x4d));
    painter.setBrush(gradient);
    painter.setPen(QPen(QColor(0xdd, 0xe8, 0xff), 2));
    painter.drawEllipse(QRectF(4, 4, 56, 56));
    QFont font(QStringLiteral("Comic Sans MS"));
    font.setBold(true);
    font.setPixelSize(30);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(4, 4, 56, 56), Qt::AlignCenter, QStringLiteral("Q"));
    return QIcon(pixmap);
}

QString controlStyleSheet()
{
    return QStringLiteral(
        "QLineEdit, QPlainTextEdit, QTextEdit {"
        "  background: #ffffff; color: #1d2025; border: 1px solid #3a424c;"
        "  border-radius: 3px; selection-background-color: #3fb8e0; selection-color: #ffffff; padding: 2px; }"
        "QLineEdit:focus, QPlainTextEdit:focus { border: 1px solid #1a9cc8; }"
        "QComboBox { color: #1d2025; }"
        "QCheckBox { color: #1d2025; }"
        "QLabel { color: #1d2025; }");
}

SkinnedWindow::SkinnedWindow(QWidget* parent, Qt::WindowFlags flags) : QWidget(parent, flags)
{
    setWindowIcon(appIcon());
    setStyleSheet(controlStyleSheet());
}

void SkinnedWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paintDialogBackground(painter, rect());
}

CaptionLabel::CaptionLabel(const QString& caption, QWidget* parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setCaption(caption);
}

void CaptionLabel::setCaption(const QString& caption)
{
    m_caption = caption;
    setText(shownText(caption));
}

void CaptionLabel::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

void CaptionLabel::mouseDoubleClickEvent(QMouseEvent* event)
{
    QLabel::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton)
        emit doubleClicked();
}

LabelButton::LabelButton(const QString& caption, QWidget* parent) : QWidget(parent), m_caption(caption)
{
    setFixedSize(90, 24);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
    QFont f(QStringLiteral("Tahoma"));
    f.setPointSize(9);
    f.setBold(true);
    setFont(f);
}

void LabelButton::setCaption(const QString& caption)
{
    m_caption = caption;
    update();
}

void LabelButton::click()
{
    if (isEnabled())
        emit clicked();
}

void LabelButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    paintButtonPlate(painter, rect(), m_pressed, m_hover && isEnabled());
    const QRect textRect = rect().translated(m_pressed ? 1 : 0, m_pressed ? 1 : 0);
    // The caption shrinks until it fits on the plate.
    QFont captionFont = font();
    while (captionFont.pointSizeF() > 6.0
           && QFontMetrics(captionFont).horizontalAdvance(m_caption) > width() - 10)
        captionFont.setPointSizeF(captionFont.pointSizeF() - 0.5);
    painter.setFont(captionFont);
    painter.setPen(QColor(255, 255, 255, 170));
    painter.drawText(textRect.translated(0, 1), Qt::AlignCenter, m_caption);
    painter.setPen(isEnabled() ? QColor(0x1d, 0x20, 0x25) : QColor(0x8a, 0x90, 0x99));
    painter.drawText(textRect, Qt::AlignCenter, m_caption);
    if (hasFocus()) {
        painter.setPen(QPen(QColor(0x1a, 0x9c, 0xc8), 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(3.5, 3.5, -3.5, -3.5), 4, 4);
    }
}

void LabelButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_pressed = true;
        update();
    }
}

void LabelButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const bool wasPressed = m_pressed;
    m_pressed = false;
    update();
    if (wasPressed && rect().contains(event->position().toPoint()))
        click();
}

void LabelButton::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        click();
    else
        QWidget::keyPressEvent(event);
}

void LabelButton::enterEvent(QEnterEvent*)
{
    m_hover = true;
    update();
}

void LabelButton::leaveEvent(QEvent*)
{
    m_hover = false;
    update();
}

}  // namespace qpt::internet
