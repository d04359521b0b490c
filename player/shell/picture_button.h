#pragma once
// A skinned picture control: shows a skin picture and reports mouse press,
// release and click (a release over it after a press on it). A disabled
// control ignores the mouse.

#include <QString>
#include <QWidget>
#include <functional>

namespace qpt {

class PictureButton : public QWidget {
    Q_OBJECT
public:
    explicit PictureButton(QWidget* parent = nullptr);

    // The skin file shown (without ".svg").
    void setPicture(const QString& skinName);
    const QString& picture() const { return m_picture; }

    std::function<void(QMouseEvent*)> onPress;
    std::function<void(QMouseEvent*)> onRelease;
    std::function<void(QMouseEvent*)> onMove;
    std::function<void()> onClick;        // left button pressed and released over it
    std::function<void()> onDoubleClick;

    // A left click in the middle, as the mouse gives it (press, release,
    // click): what the keyboard's Space and a screen reader's Press do.
    void click();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QString m_picture;
    bool m_pressedInside = false;
};

}  // namespace qpt
