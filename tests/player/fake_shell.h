#pragma once
// A shell without windows that records what the player asked of it, and a
// core built on it with the fake media component.

#include "player/core/length/song_length_service.h"
#include "player/core/media/fake_media_component.h"
#include "player/core/player_core.h"

#include <QFile>
#include <QStringList>

namespace qpt::test {

class FakeShell : public Shell {
public:
    QStringList calls;
    void unloadMainWindow() override { calls << QStringLiteral("unload"); }
    void showMainWindow() override { calls << QStringLiteral("showMain"); }
    void hideMainWindow() override { calls << QStringLiteral("hideMain"); }
    void hidePlaylistWindow() override { calls << QStringLiteral("hidePlaylist"); }
    void togglePlaylistWindow() override { calls << QStringLiteral("togglePlaylist"); }
    void minimizeToTray() override { calls << QStringLiteral("tray"); }
    void focusSeekDot() override { calls << QStringLiteral("focusSeekDot"); }
    void startOptionProgram() override { calls << QStringLiteral("option"); }
    void startOnlineSystem() override { calls << QStringLiteral("internet"); }
    void ensureRowVisible(int row) override { calls << QStringLiteral("visible %1").arg(row); }
    void terminate() override { calls << QStringLiteral("terminate"); }
};

struct FakePlayer {
    FakeMediaComponent media;
    SongLengthService lengths;
    FakeShell shell;
    PlayerCore core{media, lengths, shell};
    PlayerContext& c = core.context;

    // Puts songs straight into the playlist (path, title, length).
    void addSongs(const QStringList& paths)
    {
        for (const QString& path : paths) {
            c.playlist.lstPlayListSource.AddItem(QFile::encodeName(path));
            c.playlist.lstPlayList.addRow(path.section(QLatin1Char('/'), -1).chopped(4));
        }
    }
    int boldRow() const
    {
        for (int row = 1; row <= c.playlist.lstPlayList.count(); ++row)
            if (c.playlist.lstPlayList.isBold(row))
                return row;
        return 0;
    }
};

}  // namespace qpt::test
