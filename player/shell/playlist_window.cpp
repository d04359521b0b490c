#include "player/shell/playlist_window.h"

#include "common/cd_address.h"
#include "common/twips.h"
#include "common/window_helpers.h"
#include "player/core/player_core.h"
#include "player/core/playlist_model.h"
#include "player/shell/commands.h"
#include "player/shell/picture_button.h"
#include "player/shell/playlist_status_line.h"
#include "player/shell/window_chrome.h"
#include "skin/control_access.h"
#include "skin/focus_ring.h"
#include "skin/skin.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QPainter>
#include <QUrl>

namespace qpt {

PlaylistViewModel::PlaylistViewModel(QObject* parent) : QIdentityProxyModel(parent) {}

void PlaylistViewModel::setFont(const QFont& font)
{
    m_font = font;
    m_boldFont = font;
    m_boldFont.setBold(true);
}

QVariant PlaylistViewModel::data(const QModelIndex& index, int role) const
{
    switch (role) {
    case Qt::FontRole:
        return QIdentityProxyModel::data(index, PlaylistModel::NowPlayingRole).toBool() ? m_boldFont : m_font;
    case Qt::DecorationRole:
        return index.column() == 0 && !m_icon.isNull() ? QVariant(m_icon) : QVariant();
    default:
        return QIdentityProxyModel::data(index, role);
    }
}

PlaylistWindow::PlaylistWindow(CommandDispatcher& commands, WindowChrome& chrome, PlaylistModel& playlist,
                               PlaylistStatusLine& lineStatus)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), m_commands(commands), m_chrome(chrome)
{
    setWindowTitle(QLatin1String(kCaption));
    setWindowIcon(Skin::appIcon());
    setMinimumSize(twipsToPx(kMinWidth), twipsToPx(kMinHeight));
    resize(twipsToPx(kMinWidth), twipsToPx(kMinHeight));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(224, 224, 224));
    setPalette(palette);
    setAutoFillBackground(true);

    QFont listFont(QStringLiteral("Tahoma"));
    listFont.setPointSizeF(8.25);
    m_viewModel.setSourceModel(&playlist);
    m_viewModel.setFont(listFont);
    m_viewModel.setRowIcon(QIcon(Skin::pixmap(QStringLiteral("row_icon"), QSize(16, 16))));

    list = new QTableView(this);
    list->setModel(&m_viewModel);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setShowGrid(false);
    list->setWordWrap(false);
    list->setTextElideMode(Qt::ElideRight);
    list->verticalHeader()->hide();
    list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    list->verticalHeader()->setDefaultSectionSize(18);
    list->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    list->horizontalHeader()->setHighlightSections(false);
    list->setColumnWidth(0, twipsToPx(3400));
    list->setColumnWidth(1, twipsToPx(1240));
    list->setIconSize(QSize(16, 16));
    list->setAlternatingRowColors(true);
    list->setStyleSheet(QStringLiteral(
        "QTableView { background: #f4f6f8; alternate-background-color: #e9edf1; border: 0;"
        " selection-background-color: #2b86a8; selection-color: white; }"
        "QHeaderView::section { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #f6f7f9, stop:1 #d4d9df);"
        " color: #1d2630; border: 0; border-right: 1px solid #b9c1ca; border-bottom: 1px solid #9aa4ae;"
        " padding: 2px 6px; }"));
    list->setFont(listFont);

    statusLine = new QLabel(this);
    QFont barFont(QStringLiteral("Comic Sans MS"));
    barFont.setPointSizeF(8.25);
    barFont.setBold(true);
    statusLine->setFont(barFont);
    statusLine->setIndent(6);
    statusLine->setFrameShape(QFrame::StyledPanel);
    statusLine->setFrameShadow(QFrame::Sunken);
    PlaylistStatusLine& status = lineStatus;
    statusLine->setText(status.text());
    connect(&status, &PlaylistStatusLine::changed, statusLine, [this, &status] { statusLine->setText(status.text()); });
    statusLine->setMouseTracking(true);
    statusLine->setCursor(Qt::ArrowCursor);
    statusLine->installEventFilter(this);

    sizeGrip = new PictureButton(this);
    sizeGrip->setPicture(QStringLiteral("resize_grip"));
    sizeGrip->setMouseTracking(true);
    sizeGrip->onMove = [this](QMouseEvent* event) {
        sizeGrip->setCursor(Qt::SizeFDiagCursor);
        if (event->buttons() & Qt::LeftButton)
            startWindowResize(this);
    };

    // The list: play on double-click and Enter, its own keys, drops.
    connect(list, &QAbstractItemView::doubleClicked, this, [this] { m_commands.run(Command::PlaySelectedRow); });
    list->installEventFilter(this);
    list->viewport()->setAcceptDrops(true);
    list->viewport()->installEventFilter(this);
    setMouseTracking(true);

    // What the list shows goes to the length service first.
    connect(list->verticalScrollBar(), &QScrollBar::valueChanged, this, &PlaylistWindow::visibleRowsChanged);
    connect(&m_viewModel, &QAbstractItemModel::rowsInserted, this, &PlaylistWindow::visibleRowsChanged);
    connect(&m_viewModel, &QAbstractItemModel::modelReset, this, &PlaylistWindow::visibleRowsChanged);

    describeForScreenReaders();
    layoutControls();
}

void PlaylistWindow::describeForScreenReaders()
{
    ControlAccess::attach(this, QAccessible::Dialog, [this] { return windowTitle(); });
    list->setAccessibleName(QStringLiteral("PlayList"));
    // Tab leaves the list for the next control instead of walking its cells.
    list->setTabKeyNavigation(false);
    // A row a screen reader selects is the row Return plays (that is the
    // current one; the keyboard and the mouse move both together).
    connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        const QModelIndexList rows = list->selectionModel()->selectedRows();
        if (!rows.isEmpty() && rows.first().row() != list->currentIndex().row())
            list->selectionModel()->setCurrentIndex(rows.first(), QItemSelectionModel::NoUpdate);
    });
    statusLine->setFocusPolicy(Qt::TabFocus);
    ControlAccess::attach(sizeGrip, QAccessible::Grip, [] { return QStringLiteral("Resize"); });
    setTabOrder(list, statusLine);
    FocusRing::install();
}

std::pair<int, int> PlaylistWindow::visibleRows() const
{
    if (!isVisible() || list->model()->rowCount() == 0)
        return {0, 0};
    const int first = list->rowAt(0);
    if (first < 0)
        return {0, 0};
    int last = list->rowAt(list->viewport()->height() - 1);
    if (last < 0)
        last = list->model()->rowCount() - 1;
    return {first + 1, last + 1};
}

int PlaylistWindow::selectedRow() const
{
    const QModelIndex current = list->currentIndex();
    return current.isValid() ? current.row() + 1 : 0;
}

void PlaylistWindow::selectRow(int row)
{
    list->setCurrentIndex(m_viewModel.index(row - 1, 0));
}

void PlaylistWindow::showRow(int row)
{
    const QModelIndex index = m_viewModel.index(row - 1, 0);
    if (index.isValid())
        list->scrollTo(index);
}

void PlaylistWindow::layoutControls()
{
    const double width = pxToTwips(this->width());
    const double height = pxToTwips(this->height());
    sizeGrip->setGeometry(twipsRect(width - 240, height - 220, 240, 220));
    list->setGeometry(twipsRect(0, 350, width, height - 600));
    const int barTop = list->geometry().bottom() + 1;
    statusLine->setGeometry(0, barTop, this->width() - sizeGrip->width(), this->height() - barTop);
    sizeGrip->raise();
}

void PlaylistWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    Skin::paint(painter, QStringLiteral("playlist_header"), QRectF(0, 0, width(), twipsToPx(350)));
}

void PlaylistWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    emit visibleRowsChanged();
}

void PlaylistWindow::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    emit visibleRowsChanged();
}

void PlaylistWindow::resizeEvent(QResizeEvent* event)
{
    emit visibleRowsChanged();
    QWidget::resizeEvent(event);
    layoutControls();
}

void PlaylistWindow::closeEvent(QCloseEvent* event)
{
    // The window manager's close (its Alt+F4 among them) quits the player
    // like Alt+F4 in this window; any other close only hides the window.
    event->ignore();
    if (event->spontaneous())
        m_commands.run(Command::Close);
    else if (m_chrome.playlist.open)
        m_commands.run(Command::PlaylistButton);
}

void PlaylistWindow::mousePressEvent(QMouseEvent* event)
{
    m_chrome.onSurfacePressed(pxToTwips(event->position().x()), pxToTwips(event->position().y()));
}

void PlaylistWindow::mouseMoveEvent(QMouseEvent* event)
{
    unsetCursor();
    m_chrome.onSurfaceMoved(pxToTwips(event->position().x()), pxToTwips(event->position().y()),
                                  event->buttons() & Qt::LeftButton);
}

void PlaylistWindow::mouseReleaseEvent(QMouseEvent*)
{
    m_chrome.onSurfaceReleased();
}

void PlaylistWindow::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_commands.run(Command::DockPlaylist);
}

void PlaylistWindow::keyPressEvent(QKeyEvent* event)
{
    if (const auto request = requestForKey(event))
        m_commands.post(*request);
    else if (opensPopupMenu(keysOf(event)))
        m_commands.run(Command::OpenPopupMenuByKey);
    else
        QWidget::keyPressEvent(event);
}

// The list's own keys: Enter plays, Delete removes, S sorts at once (with
// any modifiers); the Alt shortcuts as everywhere.
bool PlaylistWindow::listKeyPressed(QKeyEvent* event)
{
    if (const auto command = commandForListKey(event->key())) {
        m_commands.run(*command);
        return true;
    }
    if (const auto request = requestForKey(event)) {
        m_commands.post(*request);
        return true;
    }
    if (opensPopupMenu(keysOf(event))) {
        m_commands.run(Command::OpenPopupMenuByKey);
        return true;
    }
    return false;
}

bool PlaylistWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == statusLine) {
        // The status line keeps its mouse to itself: a press there neither
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
    if (watched == list && event->type() == QEvent::KeyPress)
        return listKeyPressed(static_cast<QKeyEvent*>(event));
    if (watched == list->viewport()) {
        if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
            auto* drag = static_cast<QDropEvent*>(event);
            if (drag->mimeData()->hasUrls()) {
                drag->acceptProposedAction();
                return true;
            }
        } else if (event->type() == QEvent::Drop) {
            auto* drop = static_cast<QDropEvent*>(event);
            const QList<NativePath> paths = cd::pathsOfUrls(drop->mimeData()->urls());
            drop->acceptProposedAction();
            if (!paths.isEmpty())
                m_commands.run({Command::DropOnPlaylist, paths});
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace qpt
