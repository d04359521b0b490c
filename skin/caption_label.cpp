#include "caption_label.h"

#include "skin_accessibility.h"

#include <QMetaMethod>
#include <QMouseEvent>

namespace qpt {

CaptionLabel::CaptionLabel(const QString& caption, QWidget* parent) : QLabel(parent)
{
    installSkinAccessibility();
    setTextFormat(Qt::PlainText);
    setCaption(caption);
}

void CaptionLabel::click()
{
    if (isEnabled())
        emit clicked();
}

bool CaptionLabel::answersClick() const
{
    return isSignalConnected(QMetaMethod::fromSignal(&CaptionLabel::clicked));
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
        click();
}

void CaptionLabel::mouseDoubleClickEvent(QMouseEvent* event)
{
    QLabel::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton)
        emit doubleClicked();
}

}  // namespace qpt
