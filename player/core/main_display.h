#pragma once
// What the main window shows, kept apart from the widgets: the five labels,
// the five transport buttons with their pictures, the two dots. The window
// renders these models; the player's logic and its tests use them directly.

#include <QObject>
#include <QString>

namespace qpt {

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

// A picture button: enabled or not, and the name of the picture it shows
// (the hidden picture it was copied from, e.g. "imgPlay3").
class ButtonModel : public QObject {
    Q_OBJECT
public:
    ButtonModel(const QString& picture, bool enabled, QObject* parent = nullptr);
    bool enabled() const { return m_enabled; }
    const QString& picture() const { return m_picture; }
    const QString& toolTip() const { return m_toolTip; }
    void setEnabled(bool enabled);
    void setPicture(const QString& picture);
    void setToolTip(const QString& toolTip);

signals:
    void changed();

private:
    QString m_picture;
    bool m_enabled;
    QString m_toolTip;
};

// A picture box that moves: left and top in twips.
class DotModel : public QObject {
    Q_OBJECT
public:
    DotModel(double left, double top, QObject* parent = nullptr);
    double left() const { return m_left; }
    double top() const { return m_top; }
    void setLeft(double twips);
    void setTop(double twips);

signals:
    void changed();

private:
    double m_left, m_top;
};

// A plain text with change notification (the playlist window's status bar).
class TextModel : public QObject {
    Q_OBJECT
public:
    explicit TextModel(const QString& text = QString(), QObject* parent = nullptr)
        : QObject(parent), m_text(text) {}
    const QString& text() const { return m_text; }
    void setText(const QString& text)
    {
        if (text == m_text)
            return;
        m_text = text;
        emit changed();
    }

signals:
    void changed();

private:
    QString m_text;
};

// The main window's design values and live state.
class MainDisplay : public QObject {
    Q_OBJECT
public:
    explicit MainDisplay(QObject* parent = nullptr);

    LabelModel lblNowPlaying;
    LabelModel lblTime;
    LabelModel lblBitRate;
    LabelModel lblNOofSngInPlaylst;
    LabelModel lblNowPlayingNO;

    ButtonModel imgPlay;
    ButtonModel imgpause;
    ButtonModel imgStop;
    ButtonModel imgNext;
    ButtonModel imgPrev;
    ButtonModel picOpenPlaylist;  // shows one of the frames picOpenPlaylist0..7

    DotModel picProgressBarDot;
    DotModel picVolBarDot;

    // The three looks of the transport buttons.
    void showPlayingLook();
    void showPausedLook();
    void showStoppedLook();
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
