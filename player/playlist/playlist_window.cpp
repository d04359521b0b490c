#include "player/playlist/playlist_window.h"

#include "common/twips.h"
#include "player/core/player_context.h"
#include "player/shell/picture_button.h"
#include "player/shell/player_app.h"
#include "skin/skin.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QPainter>

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
    layoutControls();
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
    // Closing only hides the window; the playlist lives on.
    event->ignore();
    app.togglePlaylistWindow();
}

}  // namespace qpt
