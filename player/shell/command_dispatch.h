#pragma once
// The one-shot timers that carry out posted command words: timSavePlayList
// on the main window and timShortKeys on the pop-up menu. Each tick sets the
// timer idle first, then runs the first matching row of its table.

namespace qpt {

struct PlayerCore;

class CommandDispatch {
public:
    explicit CommandDispatch(PlayerCore& core);

    void timSavePlayList_Timer();
    void timShortKeys_Timer();

private:
    PlayerCore& core;
};

}  // namespace qpt
