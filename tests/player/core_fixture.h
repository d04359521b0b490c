#pragma once
// The player's core without any window, on the fake media component: the
// playlist, the engine, the supervision, the lengths, and the playlist's
// ways in (batch loader, drops), wired as the program wires them. Ticks are
// driven by hand. Links the core and playlist libraries only.

#include "player/core/player_core.h"
#include "player/playlist/batch_loader.h"
#include "player/playlist/drop_intake.h"
#include "common/serial_worker.h"
#include "tests/support/fake_media_component.h"
#include "tests/support/test_env.h"

#include <QFile>
#include <QStringList>
#include <QTest>

namespace qpt::test {

struct CoreFixture {
    FakeMediaComponent media;
    PlayerCore core{media};
    PlaylistModel& playlist = core.playlist;
    PlaybackEngine& engine = core.engine;
    SerialWorker files{"playlist files"};
    BatchLoader loader{playlist, engine, core.lengths, files};
    DropIntake drops{engine};

    CoreFixture()
    {
        // As the program wires them: a finished drop's batch comes at once.
        QObject::connect(&drops, &DropIntake::finished, &loader, &BatchLoader::wake);
    }

    // A pick-up of the batch files, until its last row is in.
    bool pickUp()
    {
        loader.tick();
        return waitUntil([this] { return !loader.isLoading(); });
    }
    // A pick-up, and every length that it asked for arrived.
    bool loadBatches()
    {
        return pickUp() && QTest::qWaitFor([this] { return core.lengths.pending() == 0; }, 10000);
    }
    // Puts songs straight into the playlist (path, title from the name).
    void addSongs(const QStringList& paths)
    {
        for (const QString& path : paths)
            playlist.append(QFile::encodeName(path), path.section(QLatin1Char('/'), -1).chopped(4));
    }
    // The row drawn as now playing, 0 for none.
    int nowPlayingRow() const
    {
        for (int row = 1; row <= playlist.count(); ++row) {
            if (playlist.isNowPlaying(row))
                return row;
        }
        return 0;
    }
    QByteArray url() const { return media.url(); }
    // A drop on the playlist, as the program carries it out, until the
    // walker's thread is through with it and has said so.
    bool dropOnPlaylist(const QList<NativePath>& paths)
    {
        drops.queue(paths);
        drops.process();
        return waitUntil([this] { return !drops.isWalking(); });
    }
};

}  // namespace qpt::test
