#pragma once
// What the main window shows, kept apart from the widgets: the five labels,
// the transport buttons, the playlist button and the two knobs. It follows
// the player core's signals; the window renders it, and tests read it
// without any window.

#include "player/core/player_state.h"

#include <QObject>
#include <QString>

namespace qpt {

class PlayerCore;

// A text label: text, tool tip, and the auto-size / left / width that the
// now-playing animation plays with (twips).
class LabelModel : public QObject {
    Q_OBJECT
public:
    LabelModel(const QString& text, double left, double top, double width, double height,
               QObject* parent = nullptr);

    const QString& text() const { return m_text; }
    const QString& toolTip() const { return m_toolTip; }
    bool autoSize() const { return m_autoSize; }
    double left() const { return m_left; }
    double top() const { return m_top; }
    double width() const { return m_width; }
    double height() const { return m_height; }

    void setText(const QString& text);
    void setToolTip(const QString& toolTip);
    void setAutoSize(bool on);
    void setLeft(double twips);
    void setWidth(double twips);

signals:
    void changed();

private:
    QString m_text;
    QString m_toolTip;
    bool m_autoSize = false;
    double m_left, m_top, m_width, m_height;
};

// What a picture button shows: its ready face, its pressed face (while the
// mouse holds it) or its lit face (the transport state it stands for).
enum class ButtonFace { Ready, Pressed, Lit };

class ButtonModel : public QObject {
    Q_OBJECT
public:
    explicit ButtonModel(bool enabled, QObject* parent = nullptr);
    bool enabled() const { return m_enabled; }
    ButtonFace face() const { return m_face; }
    const QString& toolTip() const { return m_toolTip; }
    void setEnabled(bool enabled);
    void setFace(ButtonFace face);
    void setToolTip(const QString& toolTip);

signals:
    void changed();

private:
    bool m_enabled;
    ButtonFace m_face = ButtonFace::Ready;
    QString m_toolTip;
};

// A picture that moves: left and top in twips.
class KnobModel : public QObject {
    Q_OBJECT
public:
    KnobModel(double left, double top, QObject* parent = nullptr);
    double left() const { return m_left; }
    double top() const { return m_top; }
    void setLeft(double twips);
    void setTop(double twips);

signals:
    void changed();

private:
    double m_left, m_top;
};

enum class TimeMode { Elapsed, Remaining };

class MainDisplay : public QObject {
    Q_OBJECT
public:
    explicit MainDisplay(PlayerCore& core, QObject* parent = nullptr);

    LabelModel nowPlayingLabel;
    LabelModel timeLabel;
    LabelModel statusLabel;       // the media component's status text
    LabelModel songCountLabel;
    LabelModel songNumberLabel;

    ButtonModel playButton;
    ButtonModel pauseButton;
    ButtonModel stopButton;
    ButtonModel nextButton;
    ButtonModel previousButton;
    ButtonModel playlistButton;
    int playlistButtonFrame() const { return m_playlistFrame; }
    void setPlaylistButtonFrame(int frame);  // 0..4 open, 5..7 close

    KnobModel seekKnob;
    KnobModel volumeKnob;

    TimeMode timeMode() const { return m_timeMode; }
    // A click on the time display: elapsed and remaining time take turns.
    void toggleTimeMode();
    // While the user drags the seek knob, playback does not move it.
    void setSeekDragging(bool dragging) { m_seekDragging = dragging; }
    bool seekDragging() const { return m_seekDragging; }

    static constexpr const char* kIdleTime = "Quorbel Player Tirk";

    // For screen readers: the title of the song (the line itself may be
    // spelling out an animation frame), the time display in words, and
    // where the song stands (whole seconds; 0 without media).
    QString title() const;
    QString spokenTime() const;
    double songPosition() const;
    double songLength() const;

signals:
    // Another song's title (a song change).
    void titleChanged();

private:
    void showButtons();
    void showSongCount();
    void showSongNumber();
    void showTimes();

    PlayerCore& m_core;
    TimeMode m_timeMode = TimeMode::Elapsed;
    bool m_seekDragging = false;
    int m_playlistFrame = 0;
};

// Design geometry of the main window (twips).
namespace design {
inline constexpr double MainWidth = 4950;
inline constexpr double MainHeight = 2865;
inline constexpr double ButtonTop = 1560;
inline constexpr double ButtonWidth = 345;
inline constexpr double ButtonHeight = 330;
inline constexpr double PlayLeft = 1440;
inline constexpr double PauseLeft = 1800;
inline constexpr double StopLeft = 2160;
inline constexpr double PrevLeft = 2520;
inline constexpr double NextLeft = 2880;
inline constexpr double PlaylistButtonLeft = 4200;
inline constexpr double ProgressBarLeft = 1420;
inline constexpr double ProgressBarTop = 2110;
inline constexpr double ProgressBarWidth = 3000;
inline constexpr double ProgressBarHeight = 90;
inline constexpr double ProgressDotLeft = 1423;
inline constexpr double ProgressDotTop = 2040;
inline constexpr double DotSize = 225;
inline constexpr double VolBarLeft = 480;
inline constexpr double VolBarTop = 1600;
inline constexpr double VolBarWidth = 90;
inline constexpr double VolBarHeight = 750;
inline constexpr double VolDotLeft = 450;
inline constexpr double VolDotTop = 1560;
inline constexpr double NowPlayingLeft = 480;
inline constexpr double NowPlayingWidth = 4005;
}  // namespace design

}  // namespace qpt
