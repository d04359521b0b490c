#pragma once
// The playlist window: the two-column list of the playlist, the rotating
// status line and the size grip. The list plays, removes and sorts with
// its own keys; everything else goes to the player.

#include <QIdentityProxyModel>
#include <QLabel>
#include <QTableView>
#include <QWidget>

#include <utility>

namespace qpt {

class CommandDispatcher;
class PlaylistModel;
class PlaylistStatusLine;
class WindowChrome;
class PictureButton;

// How the list shows the playlist: the now-playing row in bold, a small
// icon before each title.
class PlaylistViewModel : public QIdentityProxyModel {
    Q_OBJECT
public:
    explicit PlaylistViewModel(QObject* parent = nullptr);
    void setFont(const QFont& font);
    void setRowIcon(const QIcon& icon) { m_icon = icon; }
    QVariant data(const QModelIndex& index, int role) const override;

private:
    QFont m_font;
    QFont m_boldFont;
    QIcon m_icon;
};

class PlaylistWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* kCaption = "Quorbel PlayList Tirk";
    static constexpr double kMinWidth = 4950;
    static constexpr double kMinHeight = 2910;

    PlaylistWindow(CommandDispatcher& commands, WindowChrome& chrome, PlaylistModel& playlist,
                   PlaylistStatusLine& lineStatus);

    QTableView* list = nullptr;
    QLabel* statusLine = nullptr;
    PictureButton* sizeGrip = nullptr;

    // The row the list highlights (1-based), 0 for none.
    int selectedRow() const;
    void selectRow(int row);
    // Scrolls the list so that the row (1-based) shows.
    void showRow(int row);
    // Lays the controls out for the current size.
    void layoutControls();
    // The rows the list shows now (1-based, first and last); {0, 0} while
    // the window is hidden or the list empty.
    std::pair<int, int> visibleRows() const;

signals:
    // What the list shows may have changed (scrolled, resized, shown,
    // hidden, rows added).
    void visibleRowsChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool listKeyPressed(QKeyEvent* event);
    void describeForScreenReaders();

    CommandDispatcher& m_commands;
    WindowChrome& m_chrome;
    PlaylistViewModel m_viewModel;
};

}  // namespace qpt
