#pragma once
// frmMain: the skinned, borderless main window. It renders the main display
// model and hands every mouse, key and drop event to the player.

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QWidget>

namespace qpt {

class PlayerApp;
class LabelModel;
class ButtonModel;
class DotModel;
class PictureButton;

class MainWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* kCaption = "Quorbel Player Tirk v1.00";

    explicit MainWindow(PlayerApp& app);

    QLabel* lblNowPlaying = nullptr;
    QLabel* lblTime = nullptr;
    QLabel* lblBitRate = nullptr;
    QLabel* lblNOofSngInPlaylst = nullptr;
    QLabel* lblNowPlayingNO = nullptr;
    PictureButton* imgPlay = nullptr;
    PictureButton* imgpause = nullptr;
    PictureButton* imgStop = nullptr;
    PictureButton* imgNext = nullptr;
    PictureButton* imgPrev = nullptr;
    PictureButton* picOpenPlaylist = nullptr;
    PictureButton* picProgressBar = nullptr;
    PictureButton* picProgressBarDot = nullptr;
    PictureButton* picVolBar = nullptr;
    PictureButton* picVolBarDot = nullptr;
    QPushButton* cmdNotOnTopfrmMain = nullptr;

    // Whether the unload (exit sequence) was asked for by a close event.
    bool closing = false;

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
    QLabel* makeLabel(LabelModel& model, double pointSize, bool bold, const QColor& colour);
    PictureButton* makeButton(ButtonModel& model, double left, const QString& toolTip);
    PictureButton* makeDot(DotModel& model, const QString& toolTip);
    void bindTransportMouse();
    void bindDots();

    // The window drag by the surface and the two labels.
    void dragPress(QMouseEvent* event, QWidget* source);
    void dragMove(QMouseEvent* event, QWidget* source);
    void dragRelease(QMouseEvent* event, QWidget* source);

    PlayerApp& app;
    QPoint m_dragStart;
    bool m_dragging = false;
};

}  // namespace qpt
