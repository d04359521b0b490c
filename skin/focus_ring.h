#pragma once
// The skin's focus mark, one per program for all its windows: a two-tone
// ring around the control that has the keyboard focus, a control and the
// label that names it (its buddy) taken together. It shows only while the
// user works with the keyboard: the last press was a key, not a mouse
// button (a modifier alone, held for a click, does not count), or the
// focus came by Tab. So a mouse user's window looks as drawn. Its edges
// lie on whole device pixels at any screen scale.
//
// It is a focus frame to Qt, which keeps it out of the accessibility tree:
// a screen reader hears of the focus from the control itself.

#include <QFocusFrame>

namespace qpt {

class FocusRingFollower;

class FocusRing : public QFocusFrame {
    Q_OBJECT
public:
    // Starts following the focus in every window of the program; later
    // calls do nothing.
    static void install();
    // The control the ring surrounds while it shows, else none.
    static QWidget* target();
    // The ring while it shows, a child of the window it shows in; else none.
    static FocusRing* shown();

    // Room between a control's edge and the ring's outer edge, per side.
    static constexpr int kOutset = 3;
    static const QColor& outerColour();
    static const QColor& innerColour();

    // Paints the ring in the kOutset pixels just outside `around` (the
    // painter's coordinates): an outer band of two pixels and an inner one
    // of the rest at scale 1, edges rounded to whole device pixels under
    // the painter's transform.
    static void paint(QPainter& painter, const QRect& around);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    friend class FocusRingFollower;
    explicit FocusRing(QWidget* window);
};

}  // namespace qpt
