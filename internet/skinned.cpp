#include "skinned.h"

#include "skin/skin.h"

#include <QIcon>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
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
        QLinearGradient gradient(rect.topLeft(), rect.bottomLeft());
        gradient.setColorAt(0.0, QColor(0x6a, 0x86, 0xb8));
        gradient.setColorAt(0.5, QColor(0x2f, 0x4a, 0x7c));
        gradient.setColorAt(1.0, QColor(0x1b, 0x2b, 0x4d));
        QPainterPath path;
        path.addRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
        painter.fillPath(path, gradient);
        painter.setPen(QPen(QColor(0xa9, 0xc1, 0xea), 1));
        painter.drawPath(path);
    }
    if (pressed)
        painter.fillRect(rect.adjusted(2, 2, -2, -2), QColor(0, 0, 0, 70));
    else if (hover)
        painter.fillRect(rect.adjusted(2, 2, -2, -2), QColor(255, 255, 255, 28));
}

}  // namespace

void paintDialogBackground(QPainter& painter, const QRect& rect)
{
    if (Skin::exists(QStringLiteral("dialog_background"))) {
        Skin::paint(painter, QStringLiteral("dialog_background"), rect);
        return;
    }
    QLinearGradient gradient(rect.topLeft(), rect.bottomRight());
    gradient.setColorAt(0.0, QColor(0x2c, 0x3e, 0x63));
    gradient.setColorAt(0.55, QColor(0x16, 0x20, 0x38));
    gradient.setColorAt(1.0, QColor(0x0b, 0x10, 0x1e));
    painter.fillRect(rect, gradient);
    painter.setPen(QPen(QColor(0x5d, 0x7a, 0xb0), 1));
    painter.drawRect(rect.adjusted(0, 0, -1, -1));
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
        "QLineEdit, QPlainTextEdit, QTextEdit, QComboBox {"
        "  background: #0d1424; color: #e6eeff; border: 1px solid #5d7ab0;"
        "  border-radius: 3px; selection-background-color: #3c5d99; padding: 2px; }"
        "QComboBox QAbstractItemView { background: #0d1424; color: #e6eeff;"
        "  selection-background-color: #3c5d99; }"
        "QCheckBox { color: #e6eeff; }"
        "QLabel { color: #e6eeff; }");
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
    painter.setPen(QColor(0, 0, 0, 140));
    painter.drawText(textRect.translated(1, 1), Qt::AlignCenter, m_caption);
    painter.setPen(isEnabled() ? QColor(0xf4, 0xf8, 0xff) : QColor(0x8a, 0x94, 0xa8));
    painter.drawText(textRect, Qt::AlignCenter, m_caption);
    if (hasFocus()) {
        painter.setPen(QPen(QColor(0xff, 0xff, 0xff, 110), 1, Qt::DotLine));
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
