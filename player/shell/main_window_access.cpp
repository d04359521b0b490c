#include "player/shell/main_window_access.h"

#include "player/shell/commands.h"
#include "player/shell/knob_keys.h"
#include "player/shell/main_display.h"
#include "player/shell/main_window.h"
#include "player/shell/picture_button.h"
#include "player/shell/seek_volume.h"
#include "skin/control_access.h"

#include <QAccessible>

#include <iterator>

namespace qpt {

namespace {

void button(PictureButton* widget, const QString& name)
{
    widget->setFocusPolicy(widget->focusPolicy() == Qt::StrongFocus ? Qt::StrongFocus : Qt::TabFocus);
    ControlAccess* access = ControlAccess::attach(widget, QAccessible::Button, [name] { return name; });
    access->press = [widget] { widget->click(); };
}

void nameChanged(QWidget* widget)
{
    QAccessibleEvent event(widget, QAccessible::NameChanged);
    ControlAccess::announce(event);
}

void valueChanged(QWidget* widget, double value)
{
    QAccessibleValueChangeEvent event(widget, value);
    ControlAccess::announce(event);
}

}  // namespace

void describeMainWindow(MainWindow& window, CommandDispatcher& commands, MainDisplay& display,
                        SeekAndVolumeBars& bars)
{
    ControlAccess::attach(&window, QAccessible::Window, [&window] { return window.windowTitle(); });

    button(window.playButton, QStringLiteral("Play"));
    button(window.pauseButton, QStringLiteral("Pause"));
    button(window.stopButton, QStringLiteral("Stop"));
    button(window.previousButton, QStringLiteral("Previous"));
    button(window.nextButton, QStringLiteral("Next"));
    button(window.playlistButton, QStringLiteral("PlayList"));

    ControlAccess* seek = ControlAccess::attach(window.seekKnob, QAccessible::Slider, [] { return QStringLiteral("Seek"); });
    seek->value.current = [&display] { return display.songPosition(); };
    seek->value.maximum = [&display] { return display.songLength(); };
    seek->value.set = [&commands](double seconds) { commands.run({Command::SeekTo, seconds}); };
    seek->value.step = kSeekKnobStep.step;
    seek->description = [&display] { return display.spokenTime(); };

    ControlAccess* volume =
        ControlAccess::attach(window.volumeKnob, QAccessible::Slider, [] { return QStringLiteral("Volume"); });
    volume->value.current = [&bars] { return qBound(0.0, bars.knobVolume(), 100.0); };
    volume->value.maximum = [] { return 100.0; };
    volume->value.set = [&commands](double level) { commands.run({Command::SetVolume, level}); };
    volume->value.step = kVolumeKnobStep.step;

    // The bars under the knobs are pictures; the knobs are the controls.
    ControlAccess::attach(window.seekBar, QAccessible::Graphic, [] { return QStringLiteral("Seek bar"); });
    ControlAccess::attach(window.volumeBar, QAccessible::Graphic, [] { return QStringLiteral("Volume bar"); });

    QLabel* time = window.timeLabel;
    time->setFocusPolicy(Qt::TabFocus);
    ControlAccess* timeAccess =
        ControlAccess::attach(time, QAccessible::StaticText, [&display] { return display.spokenTime(); });
    timeAccess->press = [&commands] { commands.run(Command::ToggleTimeMode); };
    timeAccess->description = [] { return QStringLiteral("Press to switch between elapsed and remaining time"); };

    QLabel* nowPlaying = window.nowPlayingLabel;
    nowPlaying->setFocusPolicy(Qt::TabFocus);
    ControlAccess* nowPlayingAccess =
        ControlAccess::attach(nowPlaying, QAccessible::StaticText, [&display] { return display.title(); });
    nowPlayingAccess->press = [&commands] { commands.run(Command::NowPlayingClicked); };

    // Reading order: what plays, its time, the buttons left to right, the
    // playlist button, then the knobs.
    QWidget* order[] = {nowPlaying,           time,                  window.playButton, window.pauseButton,
                        window.stopButton,    window.previousButton, window.nextButton, window.playlistButton,
                        window.seekKnob,      window.volumeKnob};
    for (std::size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);

    // A song change is heard as the line's new name; a knob as its new
    // value when the user (or a remote control) moved it, never with the
    // seconds of playback.
    QObject::connect(&display, &MainDisplay::titleChanged, nowPlaying, [nowPlaying] { nameChanged(nowPlaying); });
    QObject::connect(&bars, &SeekAndVolumeBars::seeked, window.seekKnob,
                     [knob = window.seekKnob](double seconds) { valueChanged(knob, seconds); });
    QObject::connect(&display.volumeKnob, &KnobModel::changed, window.volumeKnob,
                     [knob = window.volumeKnob, &bars] { valueChanged(knob, qBound(0.0, bars.knobVolume(), 100.0)); });
    QObject::connect(&commands, &CommandDispatcher::ran, time, [time](Command command) {
        if (command == Command::ToggleTimeMode)
            nameChanged(time);
    });
}

}  // namespace qpt
