#pragma once
// frmPlayList: the playlist window with the two-column list, the rotating
// status bar and the size grip.

#include <QLabel>
#include <QTableView>
#include <QTimer>
#include <QWidget>

namespace qpt {

class PlayerApp;
class PictureButton;

class PlaylistWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* kCaption = "Quorbel PlayList Tirk";
    static constexpr double kMinWidth = 4950;
    static constexpr double kMinHeight = 2910;

    explicit PlaylistWindow(PlayerApp& app);

    QTableView* lstPlayList = nullptr;
    QLabel* staBar = nullptr;
    PictureButton* picResize = nullptr;

    // Lays the controls out for the current size (the resize rules).
    void layoutControls();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void holdListRepaint();

    PlayerApp& app;
    // While rows keep coming (the batch loader yields after every song),
    // the list is repainted once per period instead of after every row.
    QTimer m_listRepaint;
};

}  // namespace qpt
