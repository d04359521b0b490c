#include "player/shell/main_window.h"

#include "common/twips.h"
#include "common/window_helpers.h"
#include "player/core/main_display.h"
#include "player/shell/picture_button.h"
#include "player/shell/shortcuts.h"
#include "player/shell/player_app.h"
#include "skin/skin.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QPainter>
#include <QUrl>

namespace qpt {

namespace {

const QColor kDisplayText(0xD8, 0xF2, 0xFF);
const QColor kClockText(0x9F, 0xEF, 0xFF);

void place(QWidget* widget, double left, double top, double width, double height)
{
    widget->setGeometry(twipsRect(left, top, width, height));
}

bool isWayland()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

}  // namespace

MainWindow::MainWindow(PlayerApp& playerApp) : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), app(playerApp)
{
    setWindowTitle(QLatin1String(kCaption));
    setWindowIcon(QIcon(Skin::pixmap(QStringLiteral("app_icon"), QSize(64, 64))));
    setAcceptDrops(true);
    setFocusPolicy(Qt::StrongFocus);
    setFixedSize(twipsToPx(design::MainWidth), twipsToPx(design::MainHeight));

    MainDisplay& d = app.context().display;
    lblNowPlaying = makeLabel(d.lblNowPlaying, 6.75, false, kDisplayText);
    lblTime = makeLabel(d.lblTime, 14.25, false, kClockText);
    lblTime->setAlignment(Qt::AlignCenter);
    lblBitRate = makeLabel(d.lblBitRate, 12, false, kDisplayText);
    lblBitRate->setAlignment(Qt::AlignCenter);
    lblBitRate->setProperty("qptFitText", true);
    lblBitRate->setProperty("qptDesignPoints", 12.0);
    d.lblBitRate.changed();
    lblNOofSngInPlaylst = makeLabel(d.lblNOofSngInPlaylst, 8.25, true, kDisplayText);
    lblNOofSngInPlaylst->setProperty("qptFitText", true);
    lblNOofSngInPlaylst->setProperty("qptDesignPoints", 8.25);
    d.lblNOofSngInPlaylst.changed();
    lblNowPlayingNO = makeLabel(d.lblNowPlayingNO, 8.25, true, kDisplayText);

    imgPlay = makeButton(d.imgPlay, design::PlayLeft, QStringLiteral("Play"));
    imgpause = makeButton(d.imgpause, design::PauseLeft, QStringLiteral("Pause"));
    imgStop = makeButton(d.imgStop, design::StopLeft, QStringLiteral("Stop"));
    imgPrev = makeButton(d.imgPrev, design::PrevLeft, QStringLiteral("Previous"));
    imgNext = makeButton(d.imgNext, design::NextLeft, QStringLiteral("Next"));
    bindTransportMouse();

    picProgressBar = new PictureButton(this);
    picProgressBar->setPicture(QStringLiteral("seek_track"));
    picProgressBar->setToolTip(QStringLiteral("ProgressBar"));
    place(picProgressBar, design::ProgressBarLeft, design::ProgressBarTop, design::ProgressBarWidth,
          design::ProgressBarHeight);
    picVolBar = new PictureButton(this);
    picVolBar->setPicture(QStringLiteral("volume_track"));
    picVolBar->setToolTip(QStringLiteral("Volume"));
    place(picVolBar, design::VolBarLeft, design::VolBarTop, design::VolBarWidth, design::VolBarHeight);
    picProgressBarDot = makeDot(d.picProgressBarDot, QStringLiteral("ProgressBar"));
    picVolBarDot = makeDot(d.picVolBarDot, QStringLiteral("Volume"));
    bindDots();

    picOpenPlaylist = makeButton(d.picOpenPlaylist, design::PlaylistButtonLeft, QString());
    picOpenPlaylist->setFocusPolicy(Qt::StrongFocus);
    picOpenPlaylist->onClick = [this] { app.chrome.picOpenPlaylist_Click(); };

    // An off-screen button whose click takes the window out of the topmost band.
    cmdNotOnTopfrmMain = new QPushButton(this);
    cmdNotOnTopfrmMain->setGeometry(-100, -100, 10, 10);
    cmdNotOnTopfrmMain->setFocusPolicy(Qt::NoFocus);
    connect(cmdNotOnTopfrmMain, &QPushButton::clicked, this, [this] { MakeTopMost(this, false); });

    for (QLabel* label : {lblNowPlaying, lblTime, lblBitRate, lblNOofSngInPlaylst, lblNowPlayingNO})
        label->installEventFilter(this);
}

QLabel* MainWindow::makeLabel(LabelModel& model, double pointSize, bool bold, const QColor& colour)
{
    auto* label = new QLabel(this);
    QFont font(QStringLiteral("Comic Sans MS"));
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    label->setAttribute(Qt::WA_TranslucentBackground);
    label->setTextFormat(Qt::PlainText);
    const auto render = [label, &model] {
        label->setText(model.text());
        label->setToolTip(model.toolTip());
        QRect geometry = twipsRect(model.left(), model.top(), model.width(), model.height());
        if (model.autoSize())
            geometry.setWidth(label->sizeHint().width());
        // A text wider than its label (a long status) is drawn smaller
        // rather than cut off.
        if (label->property("qptFitText").toBool()) {
            QFont font = label->font();
            font.setPointSizeF(label->property("qptDesignPoints").toDouble());
            while (QFontMetrics(font).horizontalAdvance(model.text()) > geometry.width() && font.pointSizeF() > 6.5)
                font.setPointSizeF(font.pointSizeF() - 0.5);
            label->setFont(font);
        }
        label->setGeometry(geometry);
        // The animation blocks between frames: show each frame at once.
        if (label->isVisible())
            label->repaint();
    };
    connect(&model, &LabelModel::changed, label, render);
    render();
    return label;
}

PictureButton* MainWindow::makeButton(ButtonModel& model, double left, const QString& toolTip)
{
    auto* button = new PictureButton(this);
    Q_UNUSED(toolTip);
    place(button, left, design::ButtonTop, design::ButtonWidth, design::ButtonHeight);
    const auto render = [button, &model] {
        button->setPicture(skinNameForPicture(model.picture()));
        button->setEnabled(model.enabled());
        button->setToolTip(model.toolTip());
        if (button->isVisible())
            button->repaint();
    };
    connect(&model, &ButtonModel::changed, button, render);
    render();
    return button;
}

PictureButton* MainWindow::makeDot(DotModel& model, const QString& toolTip)
{
    auto* dot = new PictureButton(this);
    dot->setPicture(toolTip == QLatin1String("Volume") ? QStringLiteral("volume_dot") : QStringLiteral("seek_dot"));
    dot->setToolTip(toolTip);
    dot->setFocusPolicy(Qt::StrongFocus);
    const auto render = [dot, &model] {
        place(dot, model.left(), model.top(), design::DotSize, design::DotSize);
    };
    connect(&model, &DotModel::changed, dot, render);
    render();
    return dot;
}

void MainWindow::bindTransportMouse()
{
    MainDisplay& d = app.context().display;
    PlaybackEngine& engine = app.core().engine;
    // Play and Pause act on the press; Stop, Next and Previous on the click.
    imgPlay->onPress = [&d, &engine](QMouseEvent*) {
        d.imgPlay.setPicture(QStringLiteral("imgPlay2"));
        engine.PlaySong();
    };
    imgPlay->onRelease = [this, &d](QMouseEvent* event) {
        if (imgPlay->isEnabled() && imgPlay->rect().contains(event->position().toPoint()))
            d.imgPlay.setPicture(QStringLiteral("imgPlay1"));
    };
    imgpause->onPress = [&d, &engine](QMouseEvent*) {
        d.imgpause.setPicture(QStringLiteral("imgPause2"));
        engine.PauseSong();
    };
    imgStop->onPress = [&d](QMouseEvent*) { d.imgStop.setPicture(QStringLiteral("imgStop2")); };
    imgStop->onClick = [&engine] { engine.StopSong(); };
    imgNext->onPress = [&d](QMouseEvent*) { d.imgNext.setPicture(QStringLiteral("imgNext1")); };
    imgNext->onRelease = [&d](QMouseEvent*) { d.imgNext.setPicture(QStringLiteral("imgNext2")); };
    imgNext->onClick = [&engine] { engine.NextSong(); };
    imgPrev->onPress = [&d](QMouseEvent*) { d.imgPrev.setPicture(QStringLiteral("imgPrev1")); };
    imgPrev->onRelease = [&d](QMouseEvent*) { d.imgPrev.setPicture(QStringLiteral("imgPrev2")); };
    imgPrev->onClick = [&engine] { engine.PreviousSong(); };
}

void MainWindow::bindDots()
{
    SeekVolumeBars& bars = app.bars;
    const auto twipsX = [](QMouseEvent* event) { return pxToTwips(event->position().x()); };
    const auto twipsY = [](QMouseEvent* event) { return pxToTwips(event->position().y()); };
    picProgressBarDot->onPress = [&bars, twipsX](QMouseEvent* event) { bars.picProgressBarDot_MouseDown(twipsX(event)); };
    picProgressBarDot->onMove = [&bars, twipsX](QMouseEvent* event) { bars.picProgressBarDot_MouseMove(twipsX(event)); };
    picProgressBarDot->onRelease = [&bars](QMouseEvent*) { bars.picProgressBarDot_MouseUp(); };
    picVolBarDot->setMouseTracking(true);
    picVolBarDot->onPress = [&bars, twipsY](QMouseEvent* event) { bars.picVolBarDot_MouseDown(twipsY(event)); };
    picVolBarDot->onMove = [&bars, twipsY](QMouseEvent* event) { bars.picVolBarDot_MouseMove(twipsY(event)); };
    picVolBarDot->onRelease = [&bars](QMouseEvent*) { bars.picVolBarDot_MouseUp(); };
}

void MainWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    Skin::paint(painter, QStringLiteral("main_background"), QRectF(rect()));
}

void MainWindow::dragPress(QMouseEvent* event, QWidget*)
{
    m_dragStart = event->position().toPoint();
    m_dragging = true;
    if (isWayland() && event->button() == Qt::LeftButton)
        StartWindowMove(this);
}

void MainWindow::dragMove(QMouseEvent* event, QWidget*)
{
    unsetCursor();
    if (!(event->buttons() & Qt::LeftButton) || !m_dragging || isWayland())
        return;
    const QPoint delta = event->position().toPoint() - m_dragStart;
    if (delta.isNull())
        return;
    move(pos() + delta);
    app.mainWindowMoved();
}

void MainWindow::dragRelease(QMouseEvent*, QWidget*)
{
    m_dragging = false;
}

void MainWindow::mousePressEvent(QMouseEvent* event)
{
    dragPress(event, this);
}

void MainWindow::mouseMoveEvent(QMouseEvent* event)
{
    dragMove(event, this);
}

void MainWindow::mouseReleaseEvent(QMouseEvent* event)
{
    dragRelease(event, this);
    if (event->button() == Qt::LeftButton)
        app.focusSeekDot();
    else if (event->button() == Qt::RightButton)
        app.openPopupMenuAtCursor();
}

void MainWindow::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        app.chrome.MinimizeToTray(true);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    auto* label = qobject_cast<QLabel*>(watched);
    if (!label)
        return QWidget::eventFilter(watched, event);
    const bool draggable = label == lblTime || label == lblNowPlaying;
    auto* mouse = static_cast<QMouseEvent*>(event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        label->setProperty("qptClickArmed", mouse->button() == Qt::LeftButton);
        if (label == lblNowPlaying) {
            if (mouse->button() == Qt::LeftButton)
                app.focusSeekDot();
            else if (mouse->button() == Qt::RightButton)
                app.openPopupMenuAtCursor();
        }
        if (draggable)
            dragPress(mouse, label);
        return true;
    case QEvent::MouseMove:
        if (draggable)
            dragMove(mouse, label);
        return true;
    case QEvent::MouseButtonRelease: {
        const bool click = label->property("qptClickArmed").toBool() && mouse->button() == Qt::LeftButton
                        && label->rect().contains(mouse->position().toPoint());
        label->setProperty("qptClickArmed", false);
        if (draggable) {
            dragRelease(mouse, label);
            if (mouse->button() == Qt::RightButton) {
                app.core().status.toggleTimeMode();
                app.openPopupMenuAtCursor();
            }
        }
        if (click) {
            if (label == lblTime)
                app.timeLabelClicked();
            else if (label == lblNowPlaying)
                app.nowPlayingClicked();
        }
        return true;
    }
    case QEvent::MouseButtonDblClick:
        label->setProperty("qptClickArmed", false);
        if (mouse->button() != Qt::LeftButton)
            return true;
        if (label == lblTime)
            app.core().closeFromTimeDisplay();
        else
            app.chrome.MinimizeToTray(false);
        return true;
    default:
        return QWidget::eventFilter(watched, event);
    }
}

void MainWindow::keyPressEvent(QKeyEvent* event)
{
    const KeyStroke stroke = keyStrokeOf(event);
    if (!app.shortcuts.handleKey(stroke.keyCode, stroke.shift))
        QWidget::keyPressEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // The window manager's close (its Alt+F4 among them) quits like our own
    // Alt+F4.
    event->ignore();
    if (!closing)
        app.shortcuts.close();
}

void MainWindow::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    // Without a notification area the player minimises to the taskbar;
    // coming back from there is a restore from the tray.
    if (event->type() == QEvent::WindowStateChange && app.chrome.inTray() && !(windowState() & Qt::WindowMinimized)
        && isVisible())
        app.chrome.RestoreFromTray();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    QList<NativePath> paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile())
            paths << nativepath::fromLocalFileUrl(url);
    if (paths.isEmpty())
        return;
    event->acceptProposedAction();
    app.drops.dropOnMainWindow(paths);
}

}  // namespace qpt
