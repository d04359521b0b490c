#include "window_helpers.h"

#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QMouseEvent>
#include <QPointer>
#include <QUrl>
#include <QWidget>
#include <QWindow>

namespace qpt {

void makeTopMost(QWidget* window, bool onTop)
{
    if (!window)
        return;
    const bool wasVisible = window->isVisible();
    if (window->testAttribute(Qt::WA_ShowWithoutActivating) != true)
        window->setAttribute(Qt::WA_ShowWithoutActivating, true);
    const bool isOnTop = window->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    if (isOnTop != onTop) {
        // Changing the flags re-creates the native window and hides it.
        const QPoint position = window->pos();
        window->setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
        window->move(position);
    }
    if (!window->isVisible() || !wasVisible)
        window->show();
    window->raise();
}

void SetLayered(QWidget* window, bool layered, int alpha)
{
    if (!window)
        return;
    const int clamped = alpha < 0 ? 0 : (alpha > 255 ? 255 : alpha);
    window->setWindowOpacity(layered ? clamped / 255.0 : 1.0);
}

QPoint CursorPosition()
{
    return QCursor::pos();
}

bool OpenLink(const QString& target)
{
    return QDesktopServices::openUrl(QUrl::fromUserInput(target));
}

namespace {

// Moves or resizes a window by hand while the left button is held.
class ManualTracker : public QObject {
public:
    ManualTracker(QWidget* window, bool resize)
        : m_window(window), m_resize(resize), m_startCursor(QCursor::pos()),
          m_startGeometry(window->geometry())
    {
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (!m_window) {
            deleteLater();
            return false;
        }
        if (event->type() == QEvent::MouseMove) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (!(mouse->buttons() & Qt::LeftButton)) {
                finish();
                return false;
            }
            const QPoint delta = QCursor::pos() - m_startCursor;
            if (m_resize)
                m_window->resize(m_startGeometry.width() + delta.x(), m_startGeometry.height() + delta.y());
            else
                m_window->move(m_startGeometry.topLeft() + delta);
            return true;
        }
        if (event->type() == QEvent::MouseButtonRelease) {
            finish();
            return false;
        }
        return false;
    }

private:
    void finish()
    {
        qApp->removeEventFilter(this);
        deleteLater();
    }

    QPointer<QWidget> m_window;
    bool m_resize;
    QPoint m_startCursor;
    QRect m_startGeometry;
};

void startSystemOperation(QWidget* window, bool resize)
{
    if (!window)
        return;
    QWidget* top = window->window();
    QWindow* handle = top->windowHandle();
    bool accepted = false;
    if (handle)
        accepted = resize ? handle->startSystemResize(Qt::BottomEdge | Qt::RightEdge) : handle->startSystemMove();
    if (!accepted)
        new ManualTracker(top, resize);
}

}  // namespace

bool isWaylandSession()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

void startWindowMove(QWidget* window)
{
    startSystemOperation(window, false);
}

void startWindowResize(QWidget* window)
{
    startSystemOperation(window, true);
}

}  // namespace qpt
