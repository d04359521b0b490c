#pragma once
// The skin's focus mark: a two-tone ring around the control of a skinned
// window that has the keyboard focus, a control and the label that names it
// (its buddy) taken together. It shows only while the user works with the
// keyboard: the last press was a key, not a mouse button, so a mouse
// user's window looks as drawn. Its edges lie on whole device pixels at
// any screen scale.
//
// It is a focus frame to Qt, which keeps it out of the accessibility tree:
// a screen reader hears of the focus from the control itself.

#include <QFocusFrame>
#include <QPointer>

namespace qpt {

class FocusRing : public QFocusFrame {
    Q_OBJECT
public:
    // A ring for the controls of `window`, a child of it.
    explicit FocusRing(QWidget* window);

    // Room between a control's edge and the ring's outer edge, per side.
    static constexpr int kOutset = 3;
    static const QColor& outerColour();
    static const QColor& innerColour();

    // The control the ring surrounds while it shows, else none.
    QWidget* target() const { return isVisible() ? m_target.data() : nullptr; }
    // The area the ring surrounds for a control: the control and the
    // labels beside it that name it, in the window's coordinates.
    QRect areaFor(const QWidget* control) const;

    // Paints the ring in the kOutset pixels just outside `around` (the
    // painter's coordinates): an outer band of two pixels and an inner one
    // of the rest at scale 1, edges rounded to whole device pixels under
    // the painter's transform.
    static void paint(QPainter& painter, const QRect& around);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void onFocusChanged(QWidget* old, QWidget* now);
    void follow(QWidget* control);
    void refresh();

    QPointer<QWidget> m_target;
    QRect m_area;
};

// Whether the user's last press was a key (true; a modifier alone does not
// count) or a pointer (false), seen by an application-wide filter from the
// first ring on.
class InputModality : public QObject {
    Q_OBJECT
public:
    static InputModality& instance();
    bool keyboard() const { return m_keyboard; }

signals:
    void changed(bool keyboard);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    InputModality();
    void set(bool keyboard);

    bool m_keyboard = false;
};

}  // namespace qpt
