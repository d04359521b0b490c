#include "caption_label.h"

#include <QMouseEvent>

namespace qpt {

QString shownText(QString crlfText)
{
    crlfText.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    crlfText.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return crlfText;
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

}  // namespace qpt
