#pragma once
// The look and feel shared by the Option program's windows: borderless,
// painted with the skin's dialog background (or a drawn gradient while the
// picture is missing), the caption drawn in the title strip, dragged by the
// background, and closed ("unloaded") by Alt+F4 from the window or any of
// its controls.

#include <QWidget>

namespace qpt::option {

class SkinnedWindow : public QWidget {
    Q_OBJECT
public:
    SkinnedWindow(const QString& caption, const QSize& size, QWidget* parent = nullptr);

    // Height of the title strip in which the caption is drawn.
    static constexpr int kTitleHeight = 32;

    // Whether a key event is Alt+F4 (F4 with the Alt shift state alone).
    static bool isAltF4(const QKeyEvent* event);

    // Places the window in the middle of another window, or of the screen
    // when there is none.
    void centreOver(const QWidget* other);

    // Unloads the window as its Alt+F4 does.
    virtual void unload() = 0;

protected:
    // Every control created so far passes Alt+F4 on to the window. Call once
    // the controls exist.
    void watchControls();
    // A left press on this surface drags the window too (the viewport of
    // the info text box).
    void dragBy(QWidget* control);

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    // True while unload() is closing the window itself.
    bool m_unloading = false;

private:
    QList<QWidget*> m_dragControls;
};


}  // namespace qpt::option
