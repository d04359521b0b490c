#pragma once
// What a screen reader finds in the main window: the transport buttons and
// the playlist button as buttons, the seek and volume knobs as sliders,
// the time display and the now-playing line as labels, and the window as
// a frame with its caption; and what it hears when the song changes or the
// user moves a knob. Every Press and every value set goes through the
// command table, as a click or a drag does.

namespace qpt {

class CommandDispatcher;
class MainDisplay;
class MainWindow;
class SeekAndVolumeBars;

void describeMainWindow(MainWindow& window, CommandDispatcher& commands, MainDisplay& display,
                        SeekAndVolumeBars& bars);

}  // namespace qpt
