#pragma once
// The small black window shown while Save PlayList collects the playlist,
// with an "X" that cancels the save.

#include <QLabel>
#include <QWidget>
#include <functional>

namespace qpt {

class NowSavingWindow : public QWidget {
    Q_OBJECT
public:
    // onLoad / onUnload disable and re-enable the main windows; onCancel
    // runs when "X" is clicked (the window then unloads itself).
    NowSavingWindow(std::function<void()> onLoad, std::function<void()> onUnload, std::function<void()> onCancel);
    ~NowSavingWindow() override;

    QLabel* message = nullptr;
    QLabel* cancelButton = nullptr;

    // What the "X" does: the save is cancelled and the window unloads.
    void cancel();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void()> m_onUnload;
    std::function<void()> m_onCancel;
};

}  // namespace qpt
