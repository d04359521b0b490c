#pragma once
// A caption on the skin's button plate that acts as a button. The Option
// program and the Online System have no real buttons in their windows, only
// labels that answer a click. The label takes the keyboard focus as well,
// and Return, Enter or Space click it; a screen reader knows it as a button
// whose Press action clicks it (control_access.h). The focus mark is the
// skin's (focus_ring.h).

#include <QLabel>

namespace qpt {

class LabelButton : public QLabel {
    Q_OBJECT
public:
    explicit LabelButton(const QString& caption, QWidget* parent = nullptr);

    // The Online System speaks of captions; they are the label's text.
    QString caption() const { return text(); }
    void setCaption(const QString& caption) { setText(caption); }

    // Runs the click as the mouse would (tests, keyboard).
    void click();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

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

// A label button of the size the Online System's windows give every
// button (90 x 24).
LabelButton* dialogButton(const QString& caption, QWidget* parent);

}  // namespace qpt
