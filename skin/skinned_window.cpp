#include "skinned_window.h"

#include "control_access.h"
#include "focus_ring.h"
#include "label_button.h"
#include "skin.h"

#include "common/window_helpers.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

namespace qpt {

SkinnedWindow::SkinnedWindow(QWidget* parent, Qt::WindowFlags flags) : QWidget(parent, flags)
{
    ControlAccess::attach(this, QAccessible::Dialog, [this] { return windowTitle(); });
    setWindowIcon(Skin::appIcon());
    FocusRing::install();
}

void SkinnedWindow::setMainWindow(bool mainWindow)
{
    m_mainWindow = mainWindow;
    ControlAccess::of(this)->setRole(mainWindow ? QAccessible::Window : QAccessible::Dialog);
}

void SkinnedWindow::useControlStyle()
{
    setStyleSheet(QStringLiteral(
        "QLineEdit, QPlainTextEdit, QTextEdit {"
        "  background: #ffffff; color: #1d2025; border: 1px solid #3a424c;"
        "  border-radius: 3px; selection-background-color: #3fb8e0; selection-color: #ffffff; padding: 2px; }"
        "QLineEdit:focus, QPlainTextEdit:focus { border: 1px solid #1a9cc8; }"
        "QComboBox { color: #1d2025; }"
        "QCheckBox { color: #1d2025; }"
        "QLabel { color: #1d2025; }"));
}

void SkinnedWindow::centreOver(const QWidget* other)
{
    QRect area;
    if (other && other->isVisible())
        area = other->frameGeometry();
    else if (const QScreen* screen = QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    if (area.isEmpty())
        return;
    QPoint topLeft = area.center() - rect().center();
    if (const QScreen* screen = QGuiApplication::screenAt(area.center())) {
        const QRect bounds = screen->availableGeometry();
        topLeft.setX(qBound(bounds.left(), topLeft.x(), qMax(bounds.left(), bounds.right() - width())));
        topLeft.setY(qBound(bounds.top(), topLeft.y(), qMax(bounds.top(), bounds.bottom() - height())));
    }
    move(topLeft);
}

void SkinnedWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    Skin::paintDialogBackground(painter, rect());
}

void SkinnedWindow::mousePressEvent(QMouseEvent* event)
{
    if (m_draggedBySurface && event->button() == Qt::LeftButton) {
        event->accept();
        startWindowMove(this);
        return;
    }
    QWidget::mousePressEvent(event);
}

void SkinnedWindow::setEscapeButton(LabelButton* button)
{
    m_escapeButton = button;
}

void SkinnedWindow::keyPressEvent(QKeyEvent* event)
{
    // Reached when the control with the focus has no use for Escape.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && m_escapeButton
        && m_escapeButton->isVisible()) {
        event->accept();
        if (!event->isAutoRepeat())
            m_escapeButton->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace qpt
