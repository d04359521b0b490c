#pragma once
// A window of the Option program or the Online System: painted with the
// skin's dialog background, carrying the program's icon, placed in the
// middle of the screen or of another window, and, where it has no frame,
// dragged by its surface.

#include <QWidget>

namespace qpt {

class SkinnedWindow : public QWidget {
    Q_OBJECT
public:
    explicit SkinnedWindow(QWidget* parent = nullptr, Qt::WindowFlags flags = {});

    // Places the window in the middle of another (visible) window, or of
    // the screen when there is none, kept on that screen.
    void centreOver(const QWidget* other);

protected:
    // A left press on the window's own surface moves the window, as a drag
    // of a caption would.
    void setDraggedBySurface(bool dragged) { m_draggedBySurface = dragged; }
    // Text fields, lists and labels in the Online System's colours.
    void useControlStyle();

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    bool m_draggedBySurface = false;
};

}  // namespace qpt
