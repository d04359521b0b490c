#include "skinned.h"

#include "skin/skin.h"

#include <QIcon>
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

LabelButton* dialogButton(const QString& caption, QWidget* parent)
{
    auto* button = new LabelButton(caption, parent);
    button->setFixedSize(90, 24);
    return button;
}

}  // namespace qpt::internet
