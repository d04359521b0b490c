#include "progress_window.h"

#include "common/twips.h"
#include "common/window_helpers.h"

namespace qpt::internet {

namespace {

CaptionLabel* messageLabel(const QColor& colour, const QRect& geometry, QWidget* parent)
{
    QFont font(QStringLiteral("Comic Sans MS"));
    font.setPointSize(10);
    font.setBold(true);
    auto* label = new CaptionLabel(QLatin1String(ProgressWindow::kInitialText), parent);
    label->setFont(font);
    label->setAlignment(Qt::AlignCenter);
    label->setStyleSheet(QStringLiteral("QLabel { color: %1; background: transparent; }").arg(colour.name()));
    label->setGeometry(geometry);
    // Presses go to the window, which drags itself.
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

}  // namespace

ProgressWindow::ProgressWindow(QWidget* parent)
    : SkinnedWindow(parent, Qt::Window | Qt::FramelessWindowHint | Qt::Tool)
{
    setWindowTitle(QStringLiteral("Quorbel Player Tirk Online System"));
    useControlStyle();
    setDraggedBySurface(true);
    // 6150 x 525 twips per label; the shadow sits 120 twips right and below.
    const QSize labelSize(twipsToPx(6150), twipsToPx(525));
    const QPoint origin(twipsToPx(240), twipsToPx(240));
    const QPoint shadowOffset(twipsToPx(120), twipsToPx(120));
    // Below the text a strip for the Cancel button.
    const int buttonStrip = 34;
    setFixedSize(origin.x() * 2 + labelSize.width() + shadowOffset.x(),
                 origin.y() * 2 + labelSize.height() + shadowOffset.y() + buttonStrip);

    // The shadow first, so that the text is painted over it.
    shadowLabel = messageLabel(QColor(64, 64, 64), QRect(origin + shadowOffset, labelSize), this);
    textLabel = messageLabel(QColor(128, 128, 128), QRect(origin, labelSize), this);
    shadowLabel->setDecorative(true);

    cancelButton = dialogButton(QStringLiteral("Cancel"), this);
    cancelButton->move(width() - origin.x() - cancelButton->width(),
                       height() - origin.y() - cancelButton->height() + 6);
    cancelButton->setEnabled(false);
    connect(cancelButton, &LabelButton::clicked, this, &ProgressWindow::cancelRequested);
    setEscapeButton(cancelButton);
}

void ProgressWindow::setCancellable(bool cancellable)
{
    cancelButton->setEnabled(cancellable);
}

void ProgressWindow::setMessage(const QString& text)
{
    m_loaded = true;
    textLabel->setCaption(text);
    shadowLabel->setCaption(text);
}

void ProgressWindow::open()
{
    if (m_loaded) {
        show();
        raise();
        return;
    }
    setMessage(QLatin1String(kInitialText));
    if (!m_placed) {
        centreOver(nullptr);
        m_placed = true;
    }
    makeTopMost(this, true);
}

void ProgressWindow::showMessage(const QString& text)
{
    setMessage(text);
    open();
}

void ProgressWindow::unload()
{
    hide();
    m_loaded = false;
}

}  // namespace qpt::internet
