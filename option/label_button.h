#pragma once
// A caption on a button plate that acts as a button: the Option program's
// windows have no real buttons, only labels that answer a click. The label
// also takes the keyboard focus, and Return, Enter or Space click it.

#include <QLabel>

namespace qpt::option {

class LabelButton : public QLabel {
    Q_OBJECT
public:
    LabelButton(const QString& caption, QWidget* parent = nullptr);

    // Runs the click as the mouse would (tests, keyboard).
    void click();

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    bool m_hover = false;
    bool m_pressed = false;
};

}  // namespace qpt::option
