#include "player/shell/main_window.h"

#include "common/cd_address.h"
#include "common/twips.h"
#include "common/window_helpers.h"
#include "player/shell/commands.h"
#include "player/shell/knob_keys.h"
#include "player/shell/main_display.h"
#include "player/shell/main_window_access.h"
#include "player/shell/picture_button.h"
#include "player/shell/seek_volume.h"
#include "player/shell/window_chrome.h"
#include "skin/control_access.h"
#include "skin/focus_ring.h"
#include "skin/skin.h"

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

// The skin picture of a transport button's face ("play_active").
QString facePicture(const char* picture, ButtonFace face)
{
    const QString base = QLatin1String(picture);
    const bool stepButton = base == QLatin1String("next") || base == QLatin1String("prev");
    switch (face) {
    case ButtonFace::Pressed: return base + QStringLiteral("_pressed");
    case ButtonFace::Lit: return base + QStringLiteral("_active");
    case ButtonFace::Ready: break;
    }
    return base + (stepButton ? QStringLiteral("_released") : QStringLiteral("_ready"));
}

}  // namespace

MainWindow::MainWindow(CommandDispatcher& commands, MainDisplay& display, SeekAndVolumeBars& bars,
                       WindowChrome& chrome)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint),
      m_commands(commands),
      m_display(display),
      m_bars(bars),
      m_chrome(chrome)
{
    setWindowTitle(QLatin1String(kCaption));
    setWindowIcon(Skin::appIcon());
    setAcceptDrops(true);
    setFocusPolicy(Qt::StrongFocus);
    setFixedSize(twipsToPx(design::MainWidth), twipsToPx(design::MainHeight));

    MainDisplay& d = m_display;
    nowPlayingLabel = makeLabel(d.nowPlayingLabel, 6.75, false, false);
    timeLabel = makeLabel(d.timeLabel, 14.25, false, false);
    timeLabel->setAlignment(Qt::AlignCenter);
    QPalette clock = timeLabel->palette();
    clock.setColor(QPalette::WindowText, kClockText);
    timeLabel->setPalette(clock);
    statusLabel = makeLabel(d.statusLabel, 12, false, true);
    statusLabel->setAlignment(Qt::AlignCenter);
    songCountLabel = makeLabel(d.songCountLabel, 8.25, true, true);
    songNumberLabel = makeLabel(d.songNumberLabel, 8.25, true, false);

    playButton = makeTransportButton(d.playButton, design::PlayLeft, "play");
    pauseButton = makeTransportButton(d.pauseButton, design::PauseLeft, "pause");
    stopButton = makeTransportButton(d.stopButton, design::StopLeft, "stop");
    previousButton = makeTransportButton(d.previousButton, design::PrevLeft, "prev");
    nextButton = makeTransportButton(d.nextButton, design::NextLeft, "next");
    bindTransportMouse();

    seekBar = new PictureButton(this);
    seekBar->setPicture(QStringLiteral("seek_track"));
    seekBar->setToolTip(QStringLiteral("ProgressBar"));
    place(seekBar, design::ProgressBarLeft, design::ProgressBarTop, design::ProgressBarWidth,
          design::ProgressBarHeight);
    volumeBar = new PictureButton(this);
    volumeBar->setPicture(QStringLiteral("volume_track"));
    volumeBar->setToolTip(QStringLiteral("Volume"));
    place(volumeBar, design::VolBarLeft, design::VolBarTop, design::VolBarWidth, design::VolBarHeight);
    seekKnob = makeKnob(d.seekKnob, QStringLiteral("seek_dot"), QStringLiteral("ProgressBar"));
    volumeKnob = makeKnob(d.volumeKnob, QStringLiteral("volume_dot"), QStringLiteral("Volume"));
    bindKnobs();

    playlistButton = new PictureButton(this);
    playlistButton->setFocusPolicy(Qt::StrongFocus);
    place(playlistButton, design::PlaylistButtonLeft, design::ButtonTop, design::ButtonWidth, design::ButtonHeight);
    const auto showPlaylistButton = [this, &d] {
        playlistButton->setPicture(QStringLiteral("playlist_button_%1").arg(d.playlistButtonFrame()));
        playlistButton->setToolTip(d.playlistButton.toolTip());
        if (playlistButton->isVisible())
            playlistButton->repaint();  // the frames change inside one click
    };
    connect(&d.playlistButton, &ButtonModel::changed, playlistButton, showPlaylistButton);
    showPlaylistButton();
    playlistButton->onClick = [this] { m_commands.run(Command::PlaylistButton); };

    for (QLabel* label : {nowPlayingLabel, timeLabel, statusLabel, songCountLabel, songNumberLabel})
        label->installEventFilter(this);

    describeMainWindow(*this, m_commands, m_display, m_bars);
    FocusRing::install();
}

QLabel* MainWindow::makeLabel(LabelModel& model, double pointSize, bool bold, bool fitText)
{
    auto* label = new QLabel(this);
    QFont font(QStringLiteral("Comic Sans MS"));
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, kDisplayText);
    label->setPalette(palette);
    label->setAttribute(Qt::WA_TranslucentBackground);
    label->setTextFormat(Qt::PlainText);
    const auto render = [label, &model, pointSize, fitText] {
        label->setText(model.text());
        label->setToolTip(model.toolTip());
        QRect geometry = twipsRect(model.left(), model.top(), model.width(), model.height());
        if (model.autoSize())
            geometry.setWidth(label->sizeHint().width());
        if (fitText) {
            QFont font = label->font();
            font.setPointSizeF(pointSize);
            while (QFontMetrics(font).horizontalAdvance(model.text()) > geometry.width() && font.pointSizeF() > 6.5)
                font.setPointSizeF(font.pointSizeF() - 0.5);
            label->setFont(font);
        }
        label->setGeometry(geometry);
        label->update();  // painted with the next turn of the event loop
    };
    connect(&model, &LabelModel::changed, label, render);
    render();
    return label;
}

PictureButton* MainWindow::makeTransportButton(ButtonModel& model, double left, const char* picture)
{
    auto* button = new PictureButton(this);
    place(button, left, design::ButtonTop, design::ButtonWidth, design::ButtonHeight);
    const auto render = [button, &model, picture] {
        button->setPicture(facePicture(picture, model.face()));
        button->setEnabled(model.enabled());
        button->setToolTip(model.toolTip());
        if (button->isVisible())
            button->repaint();
    };
    connect(&model, &ButtonModel::changed, button, render);
    render();
    return button;
}

PictureButton* MainWindow::makeKnob(KnobModel& model, const QString& picture, const QString& toolTip)
{
    auto* knob = new PictureButton(this);
    knob->setPicture(picture);
    knob->setToolTip(toolTip);
    knob->setFocusPolicy(Qt::StrongFocus);
    const auto render = [knob, &model] { place(knob, model.left(), model.top(), design::DotSize, design::DotSize); };
    connect(&model, &KnobModel::changed, knob, render);
    render();
    return knob;
}

void MainWindow::bindTransportMouse()
{
    MainDisplay& d = m_display;
    CommandDispatcher& commands = m_commands;
    // Play and Pause act on the press; Stop, Next and Previous on the click.
    playButton->onPress = [&d, &commands](QMouseEvent*) {
        d.playButton.setFace(ButtonFace::Pressed);
        commands.run(Command::Play);
    };
    playButton->onRelease = [this, &d](QMouseEvent* event) {
        if (playButton->isEnabled() && playButton->rect().contains(event->position().toPoint()))
            d.playButton.setFace(ButtonFace::Ready);
    };
    pauseButton->onPress = [&d, &commands](QMouseEvent*) {
        d.pauseButton.setFace(ButtonFace::Pressed);
        commands.run(Command::Pause);
    };
    stopButton->onPress = [&d](QMouseEvent*) { d.stopButton.setFace(ButtonFace::Pressed); };
    stopButton->onClick = [&commands] { commands.run(Command::Stop); };
    nextButton->onPress = [&d](QMouseEvent*) { d.nextButton.setFace(ButtonFace::Pressed); };
    nextButton->onRelease = [&d](QMouseEvent*) { d.nextButton.setFace(ButtonFace::Ready); };
    nextButton->onClick = [&commands] { commands.run(Command::NextSong); };
    previousButton->onPress = [&d](QMouseEvent*) { d.previousButton.setFace(ButtonFace::Pressed); };
    previousButton->onRelease = [&d](QMouseEvent*) { d.previousButton.setFace(ButtonFace::Ready); };
    previousButton->onClick = [&commands] { commands.run(Command::PreviousSong); };
}

void MainWindow::bindKnobs()
{
    SeekAndVolumeBars& bars = m_bars;
    const auto twipsX = [](QMouseEvent* event) { return pxToTwips(event->position().x()); };
    const auto twipsY = [](QMouseEvent* event) { return pxToTwips(event->position().y()); };
    seekKnob->onPress = [&bars, twipsX](QMouseEvent* event) { bars.onSeekKnobPressed(twipsX(event)); };
    seekKnob->onMove = [&bars, twipsX](QMouseEvent* event) { bars.onSeekKnobMoved(twipsX(event)); };
    seekKnob->onRelease = [&bars](QMouseEvent*) { bars.onSeekKnobReleased(); };
    volumeKnob->setMouseTracking(true);
    volumeKnob->onPress = [&bars, twipsY](QMouseEvent* event) { bars.onVolumeKnobPressed(twipsY(event)); };
    volumeKnob->onMove = [&bars, twipsY](QMouseEvent* event) { bars.onVolumeKnobMoved(twipsY(event)); };
    volumeKnob->onRelease = [&bars](QMouseEvent*) { bars.onVolumeKnobReleased(); };
}

void MainWindow::focusSeekKnob()
{
    seekKnob->setFocus();
}

void MainWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    Skin::paint(painter, QStringLiteral("main_background"), QRectF(rect()));
}

void MainWindow::dragPress(QMouseEvent* event)
{
    m_dragStart = event->position().toPoint();
    m_dragging = true;
    if (isWaylandSession() && event->button() == Qt::LeftButton)
        startWindowMove(this);
}

void MainWindow::dragMove(QMouseEvent* event)
{
    unsetCursor();
    if (!(event->buttons() & Qt::LeftButton) || !m_dragging || isWaylandSession())
        return;
    const QPoint delta = event->position().toPoint() - m_dragStart;
    if (delta.isNull())
        return;
    move(pos() + delta);
    m_chrome.followMainWindow();
}

void MainWindow::dragRelease()
{
    m_dragging = false;
}

void MainWindow::mousePressEvent(QMouseEvent* event)
{
    dragPress(event);
}

void MainWindow::mouseMoveEvent(QMouseEvent* event)
{
    dragMove(event);
}

void MainWindow::mouseReleaseEvent(QMouseEvent* event)
{
    dragRelease();
    if (event->button() == Qt::LeftButton)
        focusSeekKnob();
    else if (event->button() == Qt::RightButton)
        m_commands.run(Command::OpenPopupMenu);
}

void MainWindow::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_commands.run(Command::MinimizeFromSurface);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    auto* label = qobject_cast<QLabel*>(watched);
    if (!label)
        return QWidget::eventFilter(watched, event);
    // The time display and the now-playing line drag the window too.
    const bool draggable = label == timeLabel || label == nowPlayingLabel;
    auto* mouse = static_cast<QMouseEvent*>(event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        label->setProperty("qptClickArmed", mouse->button() == Qt::LeftButton);
        if (label == nowPlayingLabel) {
            if (mouse->button() == Qt::LeftButton)
                focusSeekKnob();
            else if (mouse->button() == Qt::RightButton)
                m_commands.run(Command::OpenPopupMenu);
        }
        if (draggable)
            dragPress(mouse);
        return true;
    case QEvent::MouseMove:
        if (draggable)
            dragMove(mouse);
        return true;
    case QEvent::MouseButtonRelease: {
        const bool click = label->property("qptClickArmed").toBool() && mouse->button() == Qt::LeftButton
                        && label->rect().contains(mouse->position().toPoint());
        label->setProperty("qptClickArmed", false);
        if (draggable) {
            dragRelease();
            if (mouse->button() == Qt::RightButton) {
                m_commands.run(Command::ToggleTimeMode);
                m_commands.run(Command::OpenPopupMenu);
            }
        }
        if (click && label == timeLabel)
            m_commands.run(Command::ToggleTimeMode);
        else if (click && label == nowPlayingLabel)
            m_commands.run(Command::NowPlayingClicked);
        return true;
    }
    case QEvent::MouseButtonDblClick:
        label->setProperty("qptClickArmed", false);
        if (mouse->button() != Qt::LeftButton)
            return true;
        m_commands.run(label == timeLabel ? Command::CloseFromTimeDisplay : Command::MinimizeToTray);
        return true;
    default:
        return QWidget::eventFilter(watched, event);
    }
}

void MainWindow::keyPressEvent(QKeyEvent* event)
{
    const QKeyCombination keys = keysOf(event);
    if (const auto request = requestForKey(keys)) {
        m_commands.post(*request);
        return;
    }
    // The focused control's own keys: a button's press, a knob's moves.
    QWidget* focus = focusWidget();
    std::optional<CommandRequest> knobRequest;
    if (focus == seekKnob)
        knobRequest = seekKnobKey(keys, m_display.songLength());
    else if (focus == volumeKnob)
        knobRequest = volumeKnobKey(keys, m_bars.knobVolume());
    if (knobRequest) {
        m_commands.run(*knobRequest);
        return;
    }
    if (const ControlAccess* access = ControlAccess::of(focus); access && access->press && pressesButton(keys)) {
        access->press();
        return;
    }
    if (opensPopupMenu(keys)) {
        m_commands.run(Command::OpenPopupMenuByKey);
        return;
    }
    QWidget::keyPressEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // The window manager's close (its Alt+F4 among them) quits like our own
    // Alt+F4.
    event->ignore();
    if (!m_closing)
        m_commands.run(Command::Close);
}

void MainWindow::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    // Without a notification area the player minimises to the taskbar;
    // coming back from there is a restore from the tray.
    if (event->type() == QEvent::WindowStateChange && m_chrome.inTray()
        && !(windowState() & Qt::WindowMinimized) && isVisible())
        m_commands.run(Command::RestoreFromTray);
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
    const QList<NativePath> paths = cd::pathsOfUrls(event->mimeData()->urls());
    if (paths.isEmpty())
        return;
    event->acceptProposedAction();
    m_commands.run({Command::DropOnMainWindow, paths});
}

}  // namespace qpt
