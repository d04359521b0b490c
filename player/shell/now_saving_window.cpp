#include "player/shell/now_saving_window.h"

#include "common/twips.h"
#include "common/window_helpers.h"
#include "player/shell/knob_keys.h"
#include "skin/control_access.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>

namespace qpt {

NowSavingWindow::NowSavingWindow(std::function<void()> onLoad, std::function<void()> onUnload,
                                 std::function<void()> onCancel)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_onUnload(std::move(onUnload)), m_onCancel(std::move(onCancel))
{
    setWindowTitle(QStringLiteral("Saving PlayList"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(twipsToPx(5940), twipsToPx(1065));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::black);
    palette.setColor(QPalette::WindowText, Qt::white);
    setPalette(palette);
    setAutoFillBackground(true);

    QFont font(QStringLiteral("Comic Sans MS"));
    font.setPointSizeF(9.75);
    message = new QLabel(this);
    message->setFont(font);
    message->setGeometry(twipsRect(240, 120, 5040, 825));
    message->installEventFilter(this);
    cancelButton = new QLabel(QStringLiteral("X"), this);
    QFont bold = font;
    bold.setBold(true);
    bold.setPointSizeF(12);
    cancelButton->setFont(bold);
    cancelButton->setAlignment(Qt::AlignCenter);
    cancelButton->setCursor(Qt::PointingHandCursor);
    cancelButton->setToolTip(QStringLiteral("Cancel"));
    cancelButton->setGeometry(twipsRect(5460, 120, 360, 360));
    cancelButton->installEventFilter(this);
    cancelButton->setFocusPolicy(Qt::TabFocus);

    ControlAccess::attach(this, QAccessible::Dialog, [this] { return windowTitle(); });
    ControlAccess::attach(cancelButton, QAccessible::Button, [] { return QStringLiteral("Cancel"); })->press = [this] {
        cancel();
    };

    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    if (onLoad)
        onLoad();
    message->setText(QStringLiteral("Music Stopped\nSaving PlayList... Please Wait..."));
}

NowSavingWindow::~NowSavingWindow()
{
    if (m_onUnload)
        m_onUnload();
}

void NowSavingWindow::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        startWindowMove(this);
}

void NowSavingWindow::cancel()
{
    if (m_onCancel)
        m_onCancel();
    close();
}

void NowSavingWindow::keyPressEvent(QKeyEvent* event)
{
    // Escape, or the focused "X" pressed: what a click on the "X" does.
    if (event->key() == Qt::Key_Escape
        || (focusWidget() == cancelButton && pressesButton(keysOf(event))))
        cancel();
    else
        QWidget::keyPressEvent(event);
}

bool NowSavingWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonRelease)
        return QWidget::eventFilter(watched, event);
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (watched == message && event->type() == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton) {
        startWindowMove(this);
        return true;
    }
    if (watched == cancelButton && event->type() == QEvent::MouseButtonRelease && mouse->button() == Qt::LeftButton) {
        cancel();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace qpt
