#include "player/shell/shortcuts.h"

#include "common/settings_store.h"
#include "player/core/player_core.h"
#include "player/core/seek_volume.h"
#include "player/playlist/playlist_editing.h"

#include <QKeyEvent>

namespace qpt {

namespace {

enum class Timer { SavePlayList, PlayListFocus, ShortKeys };
enum class Action { Close, VolumeUp, VolumeDown, Post };

struct ShortcutRow {
    int keyCode;
    Action action;
    const char* word;
    Timer timer;
};

// Tested in this order.
const ShortcutRow kShortcuts[] = {
    {vk::F4, Action::Close, nullptr, Timer::SavePlayList},
    {vk::Up, Action::VolumeUp, nullptr, Timer::SavePlayList},
    {vk::Down, Action::VolumeDown, nullptr, Timer::SavePlayList},
    {vk::Right, Action::Post, "N", Timer::SavePlayList},
    {vk::Left, Action::Post, "P", Timer::SavePlayList},
    {vk::S, Action::Post, "SORTING", Timer::PlayListFocus},
    {vk::O, Action::Post, "OP", Timer::ShortKeys},
    {vk::P, Action::Post, "PLAYPAUSE", Timer::SavePlayList},
    {vk::L, Action::Post, "PLSLIST", Timer::SavePlayList},
    {vk::I, Action::Post, "INTER", Timer::ShortKeys},
    {vk::M, Action::Post, "MINI", Timer::SavePlayList},
};

constexpr int kAltAlone = 4;

}  // namespace

KeyStroke keyStrokeOf(const QKeyEvent* event)
{
    KeyStroke stroke;
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if (modifiers & Qt::ShiftModifier)
        stroke.shift |= 1;
    if (modifiers & Qt::ControlModifier)
        stroke.shift |= 2;
    if (modifiers & Qt::AltModifier)
        stroke.shift |= 4;
    const int key = event->key();
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        stroke.keyCode = key;  // the letters share their codes
    else if (key >= Qt::Key_0 && key <= Qt::Key_9)
        stroke.keyCode = key;
    else if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        stroke.keyCode = 112 + (key - Qt::Key_F1);
    else {
        switch (key) {
        case Qt::Key_Return:
        case Qt::Key_Enter: stroke.keyCode = vk::Enter; break;
        case Qt::Key_Escape: stroke.keyCode = vk::Escape; break;
        case Qt::Key_Left: stroke.keyCode = vk::Left; break;
        case Qt::Key_Up: stroke.keyCode = vk::Up; break;
        case Qt::Key_Right: stroke.keyCode = vk::Right; break;
        case Qt::Key_Down: stroke.keyCode = vk::Down; break;
        case Qt::Key_Delete: stroke.keyCode = vk::Delete; break;
        default: stroke.keyCode = 0; break;
        }
    }
    return stroke;
}

Shortcuts::Shortcuts(PlayerCore& playerCore, SeekVolumeBars& volumeBars, PlaylistEditing& playlistEditing)
    : core(playerCore), bars(volumeBars), editing(playlistEditing)
{
}

void Shortcuts::close()
{
    // Missing or not a number counts as off.
    if (SettingsStore::isOn(QLatin1String(keys::AutosavePlayList)))
        post("AUTOSAVE", int(Timer::SavePlayList));
    else
        core.context.shell.unloadMainWindow();
}

void Shortcuts::post(const char* word, int timer)
{
    PlayerContext& c = core.context;
    c.s.PendingCommand = QLatin1String(word);
    switch (Timer(timer)) {
    case Timer::SavePlayList: c.timSavePlayList.setInterval(1); break;
    case Timer::PlayListFocus: c.timPlayListFocus.setInterval(1); break;
    case Timer::ShortKeys: c.timShortKeys.setInterval(1); break;
    }
}

bool Shortcuts::handleKey(int keyCode, int shift)
{
    if (shift != kAltAlone)
        return false;
    for (const ShortcutRow& row : kShortcuts) {
        if (row.keyCode != keyCode)
            continue;
        switch (row.action) {
        case Action::Close: close(); break;
        case Action::VolumeUp: bars.volumeStepUp(); break;
        case Action::VolumeDown: bars.volumeStepDown(); break;
        case Action::Post: post(row.word, int(row.timer)); break;
        }
        return true;
    }
    return false;
}

bool Shortcuts::handleListKey(int keyCode, int shift)
{
    if (keyCode == vk::Delete) {
        editing.RemoveSelectedSong();
        return true;
    }
    if (keyCode == vk::S) {
        // S sorts at once, with any modifiers.
        editing.SortPlaylist();
        return true;
    }
    return handleKey(keyCode, shift);
}

}  // namespace qpt
