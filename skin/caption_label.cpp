#include "caption_label.h"

#include "control_access.h"

#include <QMetaMethod>
#include <QMouseEvent>

namespace qpt {

CaptionLabel::CaptionLabel(const QString& caption, QWidget* parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setCaption(caption);
    // Qt makes an object's interface once, often while the object is still
    // being built, so whether it can be pressed is decided when asked.
    ControlAccess* access = ControlAccess::attach(this, QAccessible::StaticText, [this] { return text(); });
    access->press = [this] { click(); };
    access->offersPress = [this] { return answersClick(); };
    access->pressKeys.clear();
}

void CaptionLabel::setDecorative(bool decorative)
{
    m_decorative = decorative;
    if (ControlAccess* access = ControlAccess::of(this))
        access->decorative = decorative;
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
