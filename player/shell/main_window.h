#pragma once
// The skinned, borderless main window. It renders the main display and
// hands every mouse, key and drop event to the player.

#include <QLabel>
#include <QWidget>

namespace qpt {

class CommandDispatcher;
class MainDisplay;
class SeekAndVolumeBars;
class WindowChrome;
class LabelModel;
class ButtonModel;
class KnobModel;
class PictureButton;

class MainWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* kCaption = "Quorbel Player Tirk v1.00";

    MainWindow(CommandDispatcher& commands, MainDisplay& display, SeekAndVolumeBars& bars, WindowChrome& chrome);
    // The player is ending: a close of the window manager's is no longer
    // a request to close.
    void markClosing() { m_closing = true; }

    QLabel* nowPlayingLabel = nullptr;
    QLabel* timeLabel = nullptr;
    QLabel* statusLabel = nullptr;
    QLabel* songCountLabel = nullptr;
    QLabel* songNumberLabel = nullptr;
    PictureButton* playButton = nullptr;
    PictureButton* pauseButton = nullptr;
    PictureButton* stopButton = nullptr;
    PictureButton* nextButton = nullptr;
    PictureButton* previousButton = nullptr;
    PictureButton* playlistButton = nullptr;
    PictureButton* seekBar = nullptr;
    PictureButton* seekKnob = nullptr;
    PictureButton* volumeBar = nullptr;
    PictureButton* volumeKnob = nullptr;

    void focusSeekKnob();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // `fitText`: a text wider than the label is drawn smaller rather than
    // cut off.
    QLabel* makeLabel(LabelModel& model, double pointSize, bool bold, bool fitText);
    PictureButton* makeTransportButton(ButtonModel& model, double left, const char* picture);
    PictureButton* makeKnob(KnobModel& model, const QString& picture, const QString& toolTip);
    void bindTransportMouse();
    void bindKnobs();

    // The window drag by the surface and the two labels.
    void dragPress(QMouseEvent* event);
    void dragMove(QMouseEvent* event);
    void dragRelease();

    CommandDispatcher& m_commands;
    MainDisplay& m_display;
    SeekAndVolumeBars& m_bars;
    WindowChrome& m_chrome;
    QPoint m_dragStart;
    bool m_dragging = false;
    bool m_closing = false;
};

}  // namespace qpt
