#pragma once
// The borderless dialogs of the Option program: a skinned window of fixed
// size whose caption is drawn in a title strip, dragged by its background,
// and closed ("unloaded") by Alt+F4 from the window or any of its controls.

#include "skinned_window.h"

class QKeyEvent;

namespace qpt {

class SkinnedDialog : public SkinnedWindow {
    Q_OBJECT
public:
    SkinnedDialog(const QString& caption, const QSize& size, QWidget* parent = nullptr);

    // Height of the title strip in which the caption is drawn.
    static constexpr int kTitleHeight = 32;

    // Whether a key event is Alt+F4 (F4 with the Alt shift state alone).
    static bool isAltF4(const QKeyEvent* event);

    // What Alt+F4 and a close from outside do.
    virtual void unload() = 0;

protected:
    // Every control created so far passes Alt+F4 on to the window. Call once
    // the controls exist.
    void watchControls();
    // A left press on this control drags the window too.
    void dragBy(QWidget* control);

    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    // True once unload() has begun closing the window itself.
    bool m_unloading = false;

private:
    QList<QWidget*> m_dragControls;
};

}  // namespace qpt
