#pragma once
// The skin's focus mark: a ring around the control that has the keyboard
// focus, in any window of the program. It shows only while the keyboard
// is in use (the focus came by Tab or Shift+Tab, or a key was pressed
// since the last mouse press), so for a mouse user the skin looks as it
// always did. Drawn as vectors, so it stays crisp at any screen scale.
//
// It is a focus frame to the toolkit, which keeps it out of what screen
// readers see.

#include <QFocusFrame>
#include <QPointer>

namespace qpt {

class KeyboardFocusMark : public QFocusFrame {
    Q_OBJECT
public:
    // Starts following the focus (once per program).
    static KeyboardFocusMark* install();
    // The control the mark is shown around now; nullptr while hidden.
    static QWidget* markedWidget();

    static constexpr int kMargin = 3;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    KeyboardFocusMark();
    void follow(QWidget* widget);
    void place();
    void detach();

    QPointer<QWidget> m_target;
    bool m_keyboard = false;
};

}  // namespace qpt
