#include "player/shell/main_display.h"

#include "player/core/player_core.h"
#include "player/shell/time_format.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace qpt {

LabelModel::LabelModel(const QString& text, double left, double top, double width, double height,
                       QObject* parent)
    : QObject(parent), m_text(text), m_left(left), m_top(top), m_width(width), m_height(height)
{
}

void LabelModel::setText(const QString& text)
{
    if (text == m_text)
        return;
    m_text = text;
    emit changed();
}

void LabelModel::setToolTip(const QString& toolTip)
{
    if (toolTip == m_toolTip)
        return;
    m_toolTip = toolTip;
    emit changed();
}

void LabelModel::setAutoSize(bool on)
{
    if (on == m_autoSize)
        return;
    m_autoSize = on;
    emit changed();
}

void LabelModel::setLeft(double twips)
{
    if (twips == m_left)
        return;
    m_left = twips;
    emit changed();
}

void LabelModel::setWidth(double twips)
{
    if (twips == m_width)
        return;
    m_width = twips;
    emit changed();
}

ButtonModel::ButtonModel(bool enabled, QObject* parent) : QObject(parent), m_enabled(enabled) {}

void ButtonModel::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    emit changed();
}

void ButtonModel::setFace(ButtonFace face)
{
    if (face == m_face)
        return;
    m_face = face;
    emit changed();
}

void ButtonModel::setToolTip(const QString& toolTip)
{
    if (toolTip == m_toolTip)
        return;
    m_toolTip = toolTip;
    emit changed();
}

KnobModel::KnobModel(double left, double top, QObject* parent) : QObject(parent), m_left(left), m_top(top) {}

void KnobModel::setLeft(double twips)
{
    if (twips == m_left)
        return;
    m_left = twips;
    emit changed();
}

void KnobModel::setTop(double twips)
{
    if (twips == m_top)
        return;
    m_top = twips;
    emit changed();
}

namespace {

// A media time in whole seconds as the display counts it (16 bits);
// nullopt beyond.
std::optional<qint16> wholeSeconds(double seconds)
{
    if (!std::isfinite(seconds) || seconds > 32767 || seconds < -32768)
        return std::nullopt;
    return qint16(std::floor(seconds));
}

}  // namespace

MainDisplay::MainDisplay(PlayerCore& core, QObject* parent)
    : QObject(parent),
      nowPlayingLabel(QStringLiteral("..."), 480, 480, 4005, 195),
      timeLabel(QLatin1String(kIdleTime), 1215, 0, 2520, 390),
      statusLabel(QStringLiteral("BitRate"), 2040, 2520, 840, 345),
      // Wider than designed, so that "30000 Songs in PlayList" shows whole.
      songCountLabel(QStringLiteral("0 Songs in PlayList"), 840, 840, 3000, 240),
      songNumberLabel(QStringLiteral("Now Playing Song Number 0"), 1800, 1200, 2310, 240),
      playButton(true),
      pauseButton(false),
      stopButton(false),
      nextButton(true),
      previousButton(true),
      playlistButton(true),
      seekKnob(design::ProgressDotLeft, design::ProgressDotTop),
      volumeKnob(design::VolDotLeft, design::VolDotTop),
      m_core(core)
{
    nowPlayingLabel.setToolTip(QStringLiteral("..."));
    playButton.setToolTip(QStringLiteral("Play"));
    pauseButton.setToolTip(QStringLiteral("Pause"));
    stopButton.setToolTip(QStringLiteral("Stop"));
    previousButton.setToolTip(QStringLiteral("Previous"));
    nextButton.setToolTip(QStringLiteral("Next"));
    playlistButton.setToolTip(QStringLiteral("Open PlayList"));

    PlaybackEngine& engine = core.engine;
    connect(&engine, &PlaybackEngine::buttonsChanged, this, &MainDisplay::showButtons);
    // The number follows the current entry, also when rows above it go.
    connect(&core.playlist, &PlaylistModel::currentChanged, this, &MainDisplay::showSongNumber);
    connect(&engine, &PlaybackEngine::nowPlayingChanged, this, &MainDisplay::showSongNumber);
    connect(&core.playlist, &PlaylistModel::rowsChanged, this, &MainDisplay::showSongNumber);
    connect(&engine, &PlaybackEngine::mediaStatusShown, &statusLabel, &LabelModel::setText);
    connect(&engine, &PlaybackEngine::stateChanged, this, [this](PlayerState state) {
        if (state == PlayerState::Stopped)
            seekKnob.setLeft(design::ProgressDotLeft);  // back to the start of the bar
        showTimes();
    });
    connect(&core.playlist, &PlaylistModel::rowsChanged, this, &MainDisplay::showSongCount);
    connect(&core, &PlayerCore::positionChanged, this, &MainDisplay::showTimes);
    connect(&engine, &PlaybackEngine::titleChanged, this, &MainDisplay::titleChanged);
}

QString MainDisplay::title() const
{
    const QString& title = m_core.engine.nowPlayingTitle();
    return title.isEmpty() ? nowPlayingLabel.text() : title;
}

double MainDisplay::songPosition() const
{
    return std::max(0.0, m_core.position());
}

double MainDisplay::songLength() const
{
    return std::max(0.0, m_core.duration());
}

QString MainDisplay::spokenTime() const
{
    if (timeLabel.text() == QLatin1String(kIdleTime))
        return timeLabel.text();
    return qpt::spokenTime(qint64(songPosition()), qint64(songLength()), m_timeMode == TimeMode::Remaining);
}

void MainDisplay::setPlaylistButtonFrame(int frame)
{
    if (frame == m_playlistFrame)
        return;
    m_playlistFrame = frame;
    emit playlistButton.changed();
}

void MainDisplay::toggleTimeMode()
{
    m_timeMode = m_timeMode == TimeMode::Remaining ? TimeMode::Elapsed : TimeMode::Remaining;
    showTimes();
}

void MainDisplay::showButtons()
{
    const TransportButtons& b = m_core.engine.buttons();
    playButton.setEnabled(b.playEnabled);
    playButton.setFace(b.playLit ? ButtonFace::Lit : ButtonFace::Ready);
    pauseButton.setEnabled(b.pauseEnabled);
    pauseButton.setFace(b.pauseLit ? ButtonFace::Lit : ButtonFace::Ready);
    stopButton.setEnabled(b.stopEnabled);
    stopButton.setFace(b.stopLit ? ButtonFace::Lit : ButtonFace::Ready);
    nextButton.setEnabled(b.nextEnabled);
    previousButton.setEnabled(b.previousEnabled);
}

void MainDisplay::showSongCount()
{
    songCountLabel.setText(QString::number(m_core.playlist.count()) + QStringLiteral(" Songs in PlayList"));
}

void MainDisplay::showSongNumber()
{
    const int number = m_core.engine.songNumber();
    songNumberLabel.setText(QStringLiteral("Now Playing Song Number ") + QString::number(number));
}

void MainDisplay::showTimes()
{
    if (m_core.engine.state() == PlayerState::Stopped) {
        timeLabel.setText(QLatin1String(kIdleTime));
        return;
    }
    // Times beyond the display's 16 bits leave everything as it was.
    const auto p = wholeSeconds(m_core.position());
    const auto d = wholeSeconds(m_core.duration());
    if (!p || !d)
        return;
    if (*p == -1) {
        timeLabel.setText(QLatin1String(kIdleTime));
        statusLabel.setText(QString());
        return;
    }
    if (m_timeMode == TimeMode::Remaining)
        timeLabel.setText(QLatin1Char('-') + formatTime(qint16(*d - *p)) + QStringLiteral(" / ") + formatTime(*d));
    else
        timeLabel.setText(formatTime(*p) + QStringLiteral(" / ") + formatTime(*d));
    // Without a length yet the knob keeps its place.
    if (*d == 0 || m_seekDragging)
        return;
    const float fraction = float(*p) / float(*d);
    const double travel = design::ProgressBarWidth - 10 - design::DotSize;
    seekKnob.setLeft(std::floor(travel * double(fraction)) + design::ProgressBarLeft + 3);
}

}  // namespace qpt
