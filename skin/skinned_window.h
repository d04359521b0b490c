#pragma once
// A window of the Option program or the Online System: painted with the
// skin's dialog background, carrying the program's icon, placed in the
// middle of the screen or of another window, and, where it has no frame,
// dragged by its surface. A screen reader knows it as a dialog, or as a
// frame where it is a program's main window; the control with the keyboard
// focus wears the skin's focus ring while the keyboard is in use, and
// Escape presses the window's cancel button where it has one.

#include <QPointer>
#include <QWidget>

namespace qpt {

class LabelButton;

class SkinnedWindow : public QWidget {
    Q_OBJECT
public:
    explicit SkinnedWindow(QWidget* parent = nullptr, Qt::WindowFlags flags = {});

    // Places the window in the middle of another (visible) window, or of
    // the screen when there is none, kept on that screen.
    void centreOver(const QWidget* other);

    // A program's main window (a frame to a screen reader), not a dialog.
    bool isMainWindow() const { return m_mainWindow; }
    void setMainWindow(bool mainWindow);

    // The button Escape presses, while it shows; none by default.
    void setEscapeButton(LabelButton* button);

protected:
    // A left press on the window's own surface moves the window, as a drag
    // of a caption would.
    void setDraggedBySurface(bool dragged) { m_draggedBySurface = dragged; }
    // Text fields, lists and labels in the Online System's colours.
    void useControlStyle();

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool m_draggedBySurface = false;
    bool m_mainWindow = false;
    QPointer<LabelButton> m_escapeButton;
};

}  // namespace qpt
