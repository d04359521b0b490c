#include "player/playlist/playlist_window.h"

#include "common/twips.h"
#include "player/core/player_context.h"
#include "player/shell/picture_button.h"
#include "player/shell/player_app.h"
#include "skin/skin.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>

#include "common/window_helpers.h"
#include "player/shell/shortcuts.h"

namespace qpt {

PlaylistWindow::PlaylistWindow(PlayerApp& playerApp)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), app(playerApp)
{
    setWindowTitle(QLatin1String(kCaption));
    setWindowIcon(QIcon(Skin::pixmap(QStringLiteral("app_icon"), QSize(64, 64))));
    setMinimumSize(twipsToPx(kMinWidth), twipsToPx(kMinHeight));
    resize(twipsToPx(kMinWidth), twipsToPx(kMinHeight));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(224, 224, 224));
    setPalette(palette);
    setAutoFillBackground(true);

    PlayerContext& c = app.context();
    lstPlayList = new QTableView(this);
    lstPlayList->setModel(&c.playlist.lstPlayList);
    lstPlayList->setSelectionBehavior(QAbstractItemView::SelectRows);
    lstPlayList->setSelectionMode(QAbstractItemView::SingleSelection);
    lstPlayList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstPlayList->setShowGrid(false);
    lstPlayList->setWordWrap(false);
    lstPlayList->setTextElideMode(Qt::ElideRight);
    lstPlayList->verticalHeader()->hide();
    lstPlayList->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    lstPlayList->verticalHeader()->setDefaultSectionSize(18);
    lstPlayList->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    lstPlayList->horizontalHeader()->setHighlightSections(false);
    lstPlayList->setColumnWidth(0, twipsToPx(3400));
    lstPlayList->setColumnWidth(1, twipsToPx(1240));
    lstPlayList->setIconSize(QSize(16, 16));
    lstPlayList->setAlternatingRowColors(true);
    lstPlayList->setStyleSheet(QStringLiteral(
        "QTableView { background: #f4f6f8; alternate-background-color: #e9edf1; border: 0;"
        " selection-background-color: #2b86a8; selection-color: white; }"
        "QHeaderView::section { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #f6f7f9, stop:1 #d4d9df);"
        " color: #1d2630; border: 0; border-right: 1px solid #b9c1ca; border-bottom: 1px solid #9aa4ae;"
        " padding: 2px 6px; }"));
    QFont listFont(QStringLiteral("Tahoma"));
    listFont.setPointSizeF(8.25);
    lstPlayList->setFont(listFont);
    c.playlist.lstPlayList.setFont(listFont);
    c.playlist.lstPlayList.setRowIcon(QIcon(Skin::pixmap(QStringLiteral("row_icon"), QSize(16, 16))));

    staBar = new QLabel(this);
    QFont barFont(QStringLiteral("Comic Sans MS"));
    barFont.setPointSizeF(8.25);
    barFont.setBold(true);
    staBar->setFont(barFont);
    staBar->setIndent(6);
    staBar->setFrameShape(QFrame::StyledPanel);
    staBar->setFrameShadow(QFrame::Sunken);
    staBar->setText(c.staBar.text());
    connect(&c.staBar, &TextModel::changed, staBar, [this, &c] { staBar->setText(c.staBar.text()); });

    picResize = new PictureButton(this);
    picResize->setPicture(QStringLiteral("resize_grip"));
    picResize->setMouseTracking(true);
    picResize->onMove = [this](QMouseEvent* event) {
        picResize->setCursor(Qt::SizeFDiagCursor);
        if (event->buttons() & Qt::LeftButton)
            StartWindowResize(this);
    };
    staBar->setMouseTracking(true);
    staBar->setCursor(Qt::ArrowCursor);
    staBar->installEventFilter(this);

    // The list: play on double-click and Enter, its own keys, drops.
    connect(lstPlayList, &QAbstractItemView::doubleClicked, this, [this] { app.editing.PlaySelectedSong(); });
    connect(lstPlayList->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [&c](const QModelIndex& current) { c.playlist.lstPlayList.setSelectedRow(current.isValid() ? current.row() + 1 : 0); });
    lstPlayList->installEventFilter(this);
    lstPlayList->viewport()->setAcceptDrops(true);
    lstPlayList->viewport()->installEventFilter(this);
    setMouseTracking(true);

    m_listRepaint.setSingleShot(true);
    m_listRepaint.setInterval(40);
    connect(&m_listRepaint, &QTimer::timeout, this, [this] { lstPlayList->setUpdatesEnabled(true); });
    connect(&c.playlist.lstPlayList, &QAbstractItemModel::rowsInserted, this, [this] { holdListRepaint(); });
    layoutControls();
}

void PlaylistWindow::holdListRepaint()
{
    // Every added row makes the table repaint all its visible rows. The
    // first row of a run is painted at once; rows that follow within the
    // period are painted together when it ends (enabling updates again
    // repaints the whole list, with every change made meanwhile).
    if (!m_listRepaint.isActive()) {
        m_listRepaint.start();
        return;
    }
    if (lstPlayList->updatesEnabled())
        lstPlayList->setUpdatesEnabled(false);
}

void PlaylistWindow::layoutControls()
{
    const double width = pxToTwips(this->width());
    const double height = pxToTwips(this->height());
    picResize->setGeometry(twipsRect(width - 240, height - 220, 240, 220));
    lstPlayList->setGeometry(twipsRect(0, 350, width, height - 600));
    const int barTop = lstPlayList->geometry().bottom() + 1;
    staBar->setGeometry(0, barTop, this->width() - picResize->width(), this->height() - barTop);
    picResize->raise();
}

void PlaylistWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    Skin::paint(painter, QStringLiteral("playlist_header"), QRectF(0, 0, width(), twipsToPx(350)));
}

void PlaylistWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutControls();
}

void PlaylistWindow::closeEvent(QCloseEvent* event)
{
    // The window manager's close (its Alt+F4 among them) quits the player
    // like Alt+F4 in this window; any other close only hides the window.
    event->ignore();
    if (event->spontaneous())
        app.shortcuts.close();
    else if (app.context().s.PlaylistOpen == QLatin1String("YES"))
        app.togglePlaylistWindow();
}

void PlaylistWindow::mousePressEvent(QMouseEvent* event)
{
    app.chrome.surfacePress(pxToTwips(event->position().x()), pxToTwips(event->position().y()));
}

void PlaylistWindow::mouseMoveEvent(QMouseEvent* event)
{
    app.chrome.surfaceMove(pxToTwips(event->position().x()), pxToTwips(event->position().y()),
                           event->buttons() & Qt::LeftButton);
}

void PlaylistWindow::mouseReleaseEvent(QMouseEvent*)
{
    app.chrome.surfaceRelease();
}

void PlaylistWindow::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        app.chrome.redock();
}

void PlaylistWindow::keyPressEvent(QKeyEvent* event)
{
    const KeyStroke stroke = keyStrokeOf(event);
    if (!app.shortcuts.handleKey(stroke.keyCode, stroke.shift))
        QWidget::keyPressEvent(event);
}

bool PlaylistWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == staBar) {
        // The status bar keeps its mouse to itself: a press there neither
        // moves, resizes nor undocks the window.
        switch (event->type()) {
        case QEvent::MouseMove:
            unsetCursor();
            return true;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            return true;
        default:
            break;
        }
    }
    if (watched == lstPlayList && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const KeyStroke stroke = keyStrokeOf(key);
        if (stroke.keyCode == vk::Enter) {
            app.editing.PlaySelectedSong();
            return true;
        }
        return app.shortcuts.handleListKey(stroke.keyCode, stroke.shift);
    }
    if (watched == lstPlayList->viewport()) {
        if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
            auto* drag = static_cast<QDropEvent*>(event);
            if (drag->mimeData()->hasUrls()) {
                drag->acceptProposedAction();
                return true;
            }
        } else if (event->type() == QEvent::Drop) {
            auto* drop = static_cast<QDropEvent*>(event);
            QList<NativePath> paths;
            for (const QUrl& url : drop->mimeData()->urls())
                if (url.isLocalFile())
                    paths << nativepath::fromLocalFileUrl(url);
            drop->acceptProposedAction();
            if (!paths.isEmpty())
                app.drops.dropOnPlaylist(paths);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace qpt
