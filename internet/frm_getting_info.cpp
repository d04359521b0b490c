#include "frm_getting_info.h"

#include "common/twips.h"
#include "common/window_helpers.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>

namespace qpt::internet {

FrmGettingInfo::FrmGettingInfo(QWidget* parent)
    : SkinnedWindow(parent, Qt::Window | Qt::FramelessWindowHint | Qt::Tool)
{
    setWindowTitle(QStringLiteral("Quorbel Player Tirk Online System"));
    // 6150 x 525 twips per label; the shadow sits 120 twips right and below.
    const QSize labelSize(twipsToPx(6150), twipsToPx(525));
    const QPoint origin(twipsToPx(240), twipsToPx(240));
    // Below the text a strip for the Cancel button.
    const int buttonStrip = 34;
    setFixedSize(origin.x() * 2 + labelSize.width() + twipsToPx(120),
                 origin.y() * 2 + labelSize.height() + twipsToPx(120) + buttonStrip);

    QFont font(QStringLiteral("Comic Sans MS"));
    font.setPointSize(10);
    font.setBold(true);
    const QColor colours[2] = {QColor(128, 128, 128), QColor(64, 64, 64)};
    // The shadow first, so that the text is painted over it.
    for (int i = 1; i >= 0; --i) {
        auto* label = new CaptionLabel(QLatin1String(kInitialText), this);
        label->setFont(font);
        label->setAlignment(Qt::AlignCenter);
        label->setStyleSheet(QStringLiteral("QLabel { color: %1; background: transparent; }").arg(colours[i].name()));
        label->setGeometry(QRect(origin + QPoint(i * twipsToPx(120), i * twipsToPx(120)), labelSize));
        // Presses go to the window, which drags itself.
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        lblMessage[i] = label;
    }

    lblCancel = dialogButton(QStringLiteral("Cancel"), this);
    lblCancel->move(width() - origin.x() - lblCancel->width(), height() - origin.y() - lblCancel->height() + 6);
    lblCancel->setEnabled(false);
    connect(lblCancel, &LabelButton::clicked, this, &FrmGettingInfo::cancelRequested);
}

void FrmGettingInfo::setCancellable(bool cancellable)
{
    lblCancel->setEnabled(cancellable);
}

void FrmGettingInfo::load()
{
    if (m_loaded)
        return;
    m_loaded = true;
    setMessage(QLatin1String(kInitialText));
}

void FrmGettingInfo::setMessage(const QString& text)
{
    load();
    lblMessage[0]->setCaption(text);
    lblMessage[1]->setCaption(text);
}

void FrmGettingInfo::showWindow()
{
    const bool fresh = !m_loaded;
    load();
    if (fresh) {
        if (!m_placed) {
            if (const QScreen* screen = QGuiApplication::primaryScreen())
                move(screen->availableGeometry().center() - rect().center());
            m_placed = true;
        }
        MakeTopMost(this, true);
    } else {
        show();
        raise();
    }
}

void FrmGettingInfo::showMessage(const QString& text)
{
    setMessage(text);
    showWindow();
}

void FrmGettingInfo::closeWindow()
{
    hide();
    m_loaded = false;
}

void FrmGettingInfo::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        StartWindowMove(this);
}

}  // namespace qpt::internet
