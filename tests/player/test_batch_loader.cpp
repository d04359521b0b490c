// The batch loader against real files on disk.

#include "common/line_files.h"
#include "common/native_path.h"
#include "player/playlist/playlist_file_jobs.h"
#include "player/playlist/playlist_files.h"
#include "tests/player/core_fixture.h"
#include "tests/player/open_witness.h"
#include "tests/support/test_env.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <future>

#include <sys/stat.h>
#include <unistd.h>

using namespace qpt;
using namespace qpt::test;

class TestBatchLoader : public QObject {
    Q_OBJECT

    static QByteArray lines(const QStringList& list)
    {
        QByteArray bytes;
        for (const QString& line : list)
            bytes += line.toLocal8Bit() + "\r\n";
        return bytes;
    }
    static QByteArray cdHeader(int minutes, int seconds)
    {
        QByteArray header(44, '\0');
        header[41] = char(seconds);  // 1-based position 42
        header[42] = char(minutes);  // 1-based position 43
        return header;
    }

private slots:
    void classifiesTitlesAndMeasures()
    {
        TestEnv env;
        CoreFixture p;
        const QString cd = env.root() + QStringLiteral("/cd");
        QDir().mkpath(cd);
        TestEnv::writeFile(cd + QStringLiteral("/track01.cda"), cdHeader(3, 0));
        TestEnv::writeFile(cd + QStringLiteral("/Track03.cda"), cdHeader(4, 35));
        const QString wav = testDataDir() + QStringLiteral("/tone.wav");
        const QString upper = env.root() + QStringLiteral("/Loud.Mp3");
        QFile::copy(testDataDir() + QStringLiteral("/cbr.mp3"), upper);
        TestEnv::writeFile(env.app(QStringLiteral("batch.sng")),
                           lines({wav, QString(), QStringLiteral("/x/b.txt"), cd + QStringLiteral("/Track03.cda"),
                                  upper, QStringLiteral("/My.Folder/song"), QStringLiteral("/a.midi"),
                                  QStringLiteral("/lists/Party.vyx"), wav}));
        TestEnv::writeFile(env.app(QStringLiteral("dragdrop0.drg")), lines({wav}));
        QSignalSpy loaded(&p.loader, &BatchLoader::batchesLoaded);

        QVERIFY(p.loadBatches());

        const PlaylistModel& rows = p.playlist;
        QCOMPARE(rows.count(), 5);
        QCOMPARE(*rows.title(1), QStringLiteral("tone"));
        QCOMPARE(*rows.length(1), QStringLiteral("0:03"));
        QCOMPARE(*rows.title(2), QStringLiteral("Track03"));
        QCOMPARE(*rows.length(2), QStringLiteral("4:35"));
        QCOMPARE(*rows.title(3), QStringLiteral("Loud"));
        QCOMPARE(*rows.length(3), QStringLiteral("0:03"));
        QCOMPARE(*rows.title(4), QStringLiteral("Party"));
        QCOMPARE(*rows.length(4), QStringLiteral("0:00"));  // cannot be measured: still listed
        QCOMPARE(*rows.path(5), QFile::encodeName(wav));  // duplicates are kept
        QVERIFY(!QFile::exists(env.app(QStringLiteral("batch.sng"))));
        QVERIFY(QFile::exists(env.app(QStringLiteral("dragdrop0.drg"))));  // never loaded
        QCOMPARE(p.engine.state(), PlayerState::PlayingOrIdle);
        QCOMPARE(loaded.size(), 1);
    }

    void filesInNameOrderAndAnyLineEnding()
    {
        TestEnv env;
        CoreFixture p;
        TestEnv::writeFile(env.app(QStringLiteral("b.sng")), "/m/3.mp3\n/m/4.mp3");
        TestEnv::writeFile(env.app(QStringLiteral("a.sng")), "/m/1.mp3\r/m/2.mp3\r\n");
        p.engine.pause();
        QVERIFY(p.pickUp());
        QCOMPARE(p.playlist.paths(),
                 native(QStringList{QStringLiteral("/m/1.mp3"), QStringLiteral("/m/2.mp3"), QStringLiteral("/m/3.mp3"),
                              QStringLiteral("/m/4.mp3")}));
        QCOMPARE(p.engine.state(), PlayerState::Paused);  // paused stays paused
    }

    // Two users, one application folder: another user's batch file is for
    // another user's player. It is neither read nor removed.
    void anotherUsersBatchFileIsLeftAlone()
    {
        if (::geteuid() != 0)
            QSKIP("giving a file to another user takes root");
        TestEnv env;
        CoreFixture p;
        const QString theirs = env.app(QStringLiteral("executer-theirs.sng"));
        TestEnv::writeFile(theirs, "/m/theirs.mp3\r\n");
        QCOMPARE(::chown(QFile::encodeName(theirs).constData(), 4242, 4242), 0);
        TestEnv::writeFile(env.app(QStringLiteral("executer-mine.sng")), "/m/mine.mp3\r\n");
        QVERIFY(p.pickUp());
        QCOMPARE(p.playlist.paths(), native(QStringList{QStringLiteral("/m/mine.mp3")}));
        QCOMPARE(TestEnv::readFile(theirs), QByteArray("/m/theirs.mp3\r\n"));
        QVERIFY(!QFile::exists(env.app(QStringLiteral("executer-mine.sng"))));

        // Their saved list waiting under the batch name neither moves nor
        // loads; ours is read where it is.
        const QString theirSaved = env.app(QStringLiteral("autosavedlist.sng"));
        TestEnv::writeFile(theirSaved, "/m/their-saved.mp3\r\n");
        QCOMPARE(::chown(QFile::encodeName(theirSaved).constData(), 4242, 4242), 0);
        TestEnv::writeFile(env.app(QStringLiteral("autosavedlist.aut")), "/m/our-saved.mp3\r\n");
        p.loader.queueSavedPlaylist();
        QVERIFY(p.pickUp());
        QCOMPARE(p.playlist.paths(),
                 native(QStringList{QStringLiteral("/m/mine.mp3"), QStringLiteral("/m/our-saved.mp3")}));
        QCOMPARE(TestEnv::readFile(theirSaved), QByteArray("/m/their-saved.mp3\r\n"));
        QCOMPARE(QDir(env.appDir(), QStringLiteral("*.sng")).entryList(),
                 (QStringList{QStringLiteral("autosavedlist.sng"), QStringLiteral("executer-theirs.sng")}));
    }

    void lengthFindsItsRowAfterRowsAboveAreRemoved()
    {
        TestEnv env;
        CoreFixture p;
        p.playlist.append("/m/old.mp3", QStringLiteral("old"));
        const QString wav = testDataDir() + QStringLiteral("/tone.wav");
        TestEnv::writeFile(env.app(QStringLiteral("a.sng")), lines({wav, wav}));
        // The user deletes the old row as the songs come in, before any of
        // them is measured.
        connect(&p.playlist, &PlaylistModel::rowsChanged, this, [&] {
            if (p.playlist.count() == 3)
                p.playlist.removeRow(1);
        });
        QVERIFY(p.pickUp());
        QVERIFY(QTest::qWaitFor([&] { return p.core.lengths.pending() == 0; }, 10000));
        QCOMPARE(p.playlist.count(), 2);
        QCOMPARE(*p.playlist.length(1), QStringLiteral("0:03"));
        QCOMPARE(*p.playlist.length(2), QStringLiteral("0:03"));
    }

    void stateIsLoadingWhileTheTickRuns()
    {
        TestEnv env;
        CoreFixture p;
        TestEnv::writeFile(env.app(QStringLiteral("a.sng")), lines({QStringLiteral("/m/1.mp3")}));
        QList<PlayerState> seen;
        connect(&p.engine, &PlaybackEngine::stateChanged, this, [&](PlayerState state) { seen << state; });
        QVERIFY(p.pickUp());
        QCOMPARE(seen, (QList<PlayerState>{PlayerState::Loading, PlayerState::PlayingOrIdle}));
        QCOMPARE(p.engine.state(), PlayerState::PlayingOrIdle);
    }

    // At the cap the songs that find no room are counted once per pick-up
    // and their files go: nothing comes later out of order, nothing twice.
    void capSaysOnceHowManySongsWereNotAdded()
    {
        TestEnv env;
        CoreFixture p;
        QSignalSpy notAdded(&p.loader, &BatchLoader::songsNotAdded);
        for (int i = 0; i < 29998; ++i) {
            p.playlist.append("/m/x.mp3", QStringLiteral("x"));
        }
        TestEnv::writeFile(env.app(QStringLiteral("more.sng")),
                           lines({QStringLiteral("/m/a.mp3"), QStringLiteral("/m/b.mp3"), QString(),
                                  QStringLiteral("/m/notes.txt"), QStringLiteral("/m/c.mp3"), QStringLiteral("/m/d.mp3")}));
        TestEnv::writeFile(env.app(QStringLiteral("next.sng")),
                           lines({QStringLiteral("/m/e.mp3"), QStringLiteral("/m/f.mp3")}));
        QVERIFY(p.pickUp());
        QCOMPARE(p.playlist.count(), 30000);
        QCOMPARE(*p.playlist.path(30000), QByteArray("/m/b.mp3"));
        QCOMPARE(notAdded.size(), 1);
        QCOMPARE(notAdded.first().at(0).toLongLong(), 4);  // c, d, e, f: not the empty line nor the text file
        QVERIFY(!QFile::exists(env.app(QStringLiteral("more.sng"))));
        QVERIFY(!QFile::exists(env.app(QStringLiteral("next.sng"))));
        QCOMPARE(p.engine.state(), PlayerState::PlayingOrIdle);

        // A file that comes while the playlist is full is said not to fit.
        TestEnv::writeFile(env.app(QStringLiteral("late.sng")), lines({QStringLiteral("/m/g.mp3")}));
        QVERIFY(p.pickUp());
        QCOMPARE(notAdded.size(), 2);
        QCOMPARE(notAdded.last().at(0).toLongLong(), 1);
        QVERIFY(!QFile::exists(env.app(QStringLiteral("late.sng"))));

        // A file whose last song fills the playlist exactly: no word.
        p.playlist.removeRow(1);
        TestEnv::writeFile(env.app(QStringLiteral("one.sng")), lines({QStringLiteral("/m/h.mp3")}));
        QVERIFY(p.pickUp());
        QCOMPARE(*p.playlist.path(30000), QByteArray("/m/h.mp3"));
        QCOMPARE(notAdded.size(), 2);
        QVERIFY(!QFile::exists(env.app(QStringLiteral("one.sng"))));
    }

    // A batch file that cannot be read is reported once and set aside; the
    // batches behind it load on the same tick.
    void unreadableBatchIsSetAside()
    {
        TestEnv env;
        CoreFixture p;
        QSignalSpy errors(&p.loader, &BatchLoader::errorOccurred);
        QCOMPARE(::mkfifo(QFile::encodeName(env.app(QStringLiteral("a.sng"))).constData(), 0600), 0);
        TestEnv::writeFile(env.app(QStringLiteral("b.sng")), lines({QStringLiteral("/m/2.mp3")}));
        QVERIFY(p.pickUp());
        QCOMPARE(errors.size(), 1);
        QCOMPARE(errors.first().at(0).value<PlayerError>(), PlayerError::BatchFileUnreadable);
        QCOMPARE(p.playlist.count(), 1);
        QVERIFY(QFileInfo::exists(env.app(QStringLiteral("a.sng.bad"))));
        QVERIFY(!QFile::exists(env.app(QStringLiteral("b.sng"))));
        QCOMPARE(p.engine.state(), PlayerState::PlayingOrIdle);
        QVERIFY(p.pickUp());
        QCOMPARE(errors.size(), 1);
    }

    // With the saved playlist loading and new songs waiting, the saved
    // playlist comes first, whatever the other files are called.
    void savedPlaylistLoadsBeforeWaitingBatches()
    {
        TestEnv env;
        CoreFixture p;
        TestEnv::writeFile(env.app(QStringLiteral("0-executer.sng")), lines({QStringLiteral("/m/new.mp3")}));
        TestEnv::writeFile(env.app(QStringLiteral("autosavedlist.sng")),
                           lines({QStringLiteral("/m/old1.mp3"), QStringLiteral("/m/old2.mp3")}));
        QVERIFY(p.pickUp());
        QCOMPARE(p.playlist.paths(), (QList<QByteArray>{"/m/old1.mp3", "/m/old2.mp3", "/m/new.mp3"}));
    }

    // A path that is not UTF-8 keeps its bytes through the loader and the
    // autosave; only its title is decoded for the screen, as Latin-1.
    void pathBytesSurviveLoadingAndAutosave()
    {
        TestEnv env;
        CoreFixture p;
        const QByteArray latin1 = QFile::encodeName(env.root()) + "/caf\xe9.wav";
        QVERIFY(TestEnv::writeNative(latin1, TestEnv::readFile(testDataDir() + QStringLiteral("/tone.wav"))));
        TestEnv::writeFile(env.app(QStringLiteral("a.sng")), latin1 + "\r\n");
        QVERIFY(p.loadBatches());
        QCOMPARE(*p.playlist.path(1), latin1);
        QCOMPARE(*p.playlist.title(1), QStringLiteral("caf\u00e9"));
        // Each name decodes on its own: UTF-8 stays UTF-8 beside Latin-1.
        QCOMPARE(nativepath::displayText("/M\xc3\xbcller/caf\xe9/x\xff.mp3"),
                 QStringLiteral("/M\u00fcller/caf\u00e9/x\u00ff.mp3"));
        QCOMPARE(*p.playlist.length(1), QStringLiteral("0:03"));
        playlistfiles::writeAutosave(p.playlist);
        QCOMPARE(TestEnv::readFile(env.app(QStringLiteral("autosavedlist.aut"))), latin1 + "\r\n\r\n");
    }

    // A batch file renamed into the folder (the executer's way) is picked
    // up without waiting for a tick, but only once the timer runs; a file
    // written in place, which may be half written, waits for the tick, and
    // so does one that arrives during a pick-up, until that one is over.
    void renamedBatchFileIsPickedUpAtOnce()
    {
        TestEnv env;
        CoreFixture p;
        p.loader.watchFolder();
        const auto publish = [&](const char* name, const QByteArray& line) {
            TestEnv::writeFile(env.app(QStringLiteral("x.part")), line + "\r\n");
            QVERIFY(QFile::rename(env.app(QStringLiteral("x.part")), env.app(QLatin1String(name))));
        };
        publish("early.sng", "/m/early.mp3");
        QTest::qWait(200);
        QCOMPARE(p.playlist.count(), 0);  // the start-up still decides

        p.loader.timer.setInterval(60 * 60 * 1000);  // no tick in this test
        publish("a.sng", "/m/a.mp3");
        QVERIFY(QTest::qWaitFor([&] { return p.playlist.count() == 2; }, 5000));
        QCOMPARE(p.playlist.paths(), (QList<QByteArray>{"/m/a.mp3", "/m/early.mp3"}));

        TestEnv::writeFile(env.app(QStringLiteral("in-place.sng")), "/m/half");
        QTest::qWait(200);
        QCOMPARE(p.playlist.count(), 2);
        QVERIFY(QFile::remove(env.app(QStringLiteral("in-place.sng"))));

        QByteArray many;
        for (int i = 0; i < 2 * BatchLoader::kRowsPerStep; ++i)
            many += "/m/" + QByteArray::number(i) + ".mp3\r\n";
        TestEnv::writeFile(env.app(QStringLiteral("b.sng")), many);
        p.loader.tick();  // a pick-up in steps, under way
        QVERIFY(p.loader.isLoading());
        publish("c.sng", "/m/c.mp3");
        QVERIFY(QTest::qWaitFor([&] { return p.playlist.count() == 3 + 2 * BatchLoader::kRowsPerStep; }, 5000));
        QCOMPARE(*p.playlist.path(p.playlist.count()), QByteArray("/m/c.mp3"));
        QVERIFY(waitUntil([&] { return !p.loader.isLoading(); }));  // deleted once its rows are in
        QVERIFY(!QFile::exists(env.app(QStringLiteral("c.sng"))));
    }

    // Songs chosen in Open Music (appended in place, which the folder
    // watch does not report) and a file handed over by the media controls
    // come in as soon as the worker has written them, without a tick; and
    // the window thread lists and opens no batch file on the way.
    void ownBatchFilesComeAtOnceOffTheWindowThread()
    {
        TestEnv env;
        CoreFixture p;
        PlaylistFileJobs jobs(p.files, p.loader, p.playlist);
        p.loader.timer.setInterval(60 * 60 * 1000);  // running, but no tick in this test
        const QString wav = testDataDir() + QStringLiteral("/tone.wav");
        const QString list = env.root() + QStringLiteral("/mix.vyx");
        TestEnv::writeFile(list, "/m/p1.mp3\r\n\r\n/m/p2.mp3\r\n");
        openwitness::arm(QFile::encodeName(env.appDir()));

        jobs.openChosen(native({QStringLiteral("/m/a.mp3"), list, QStringLiteral("/m/b.wav")}));
        QVERIFY(waitUntil([&] { return p.playlist.count() == 4; }));
        bool written = false;
        jobs.handOver(QFile::encodeName(wav), [&](bool ok) { written = ok; });
        QVERIFY(waitUntil([&] { return p.playlist.count() == 5; }));
        QVERIFY(written);
        QVERIFY(waitUntil([&] { return p.files.isIdle() && !p.loader.isLoading(); }));

        const openwitness::Counts opens = openwitness::disarm();
        QCOMPARE(opens.windowThread, 0);
        QVERIFY2(opens.otherThreads >= 4, qPrintable(QString::number(opens.otherThreads)));  // the witness sees
        QCOMPARE(p.playlist.paths(), (QList<QByteArray>{"/m/a.mp3", "/m/b.wav", "/m/p1.mp3", "/m/p2.mp3",
                                                         QFile::encodeName(wav)}));
        QCOMPARE(QDir(env.appDir()).entryList({QStringLiteral("*.sng")}, QDir::Files), QStringList());
    }

    // A sort asked for while a long batch is half read waits for the rest
    // of it and keeps the loader from adding rows until the playlist is
    // emptied: every song comes back sorted, once.
    void sortTakesThePickUpUnderWay()
    {
        TestEnv env;
        CoreFixture p;
        PlaylistFileJobs jobs(p.files, p.loader, p.playlist);
        p.loader.timer.setInterval(60 * 60 * 1000);
        QList<QByteArray> many;
        for (int i = 2 * BatchLoader::kRowsPerStep; i > 0; --i)
            many << "/m/" + QByteArray::number(i) + ".mp3";
        TestEnv::writeFile(env.app(QStringLiteral("b.sng")), linefiles::encode(many));
        int emptied = 0;
        bool asked = false;
        // Asked for as the first rows come in.
        connect(&p.playlist, &PlaylistModel::rowsChanged, this, [&] {
            if (asked || p.playlist.count() != BatchLoader::kRowsPerStep)
                return;
            asked = true;
            QVERIFY(p.loader.isLoading());
            QVERIFY(jobs.sort([&] {
                ++emptied;
                QCOMPARE(p.playlist.count(), 0);
            }));
            QVERIFY(!jobs.sort([] {}));  // one at a time
            // Something else that arrives meanwhile waits for the sorted list.
            TestEnv::writeFile(env.app(QStringLiteral("z.sng")), "/m/0-late.mp3\r\n");
            p.loader.wake();
        });
        p.loader.tick();
        QVERIFY(waitUntil([&] { return emptied == 1 && p.playlist.count() == many.size() + 1; }));
        QVERIFY(waitUntil([&] { return !p.loader.isLoading(); }));
        QCOMPARE(p.playlist.paths().mid(0, many.size()), playlistfiles::sortedForReading(many));
        QCOMPARE(*p.playlist.path(p.playlist.count()), QByteArray("/m/0-late.mp3"));
        QVERIFY(!jobs.isSorting());

        // An empty playlist is not sorted.
        p.playlist.clear();
        QVERIFY(jobs.sort([&] { ++emptied; }));
        QVERIFY(waitUntil([&] { return !jobs.isSorting(); }));
        QCOMPARE(emptied, 1);
        QVERIFY(!QFile::exists(env.app(QStringLiteral("sorted.sng"))));
    }

    // The exit's save waits for the pick-up under way, but a worker stuck
    // on a share (here: a job that does not end) holds it up for
    // kExitWaitMs at most: the list in memory is saved all the same, and
    // the batch file the pick-up did not finish stays for the next start.
    void exitSaveDoesNotWaitForAStuckWorker()
    {
        TestEnv env;
        CoreFixture p;
        PlaylistFileJobs jobs(p.files, p.loader, p.playlist);
        p.loader.timer.setInterval(60 * 60 * 1000);
        p.addSongs({QStringLiteral("/m/kept.mp3")});
        std::promise<void> unstick;
        p.files.post([stuck = unstick.get_future().share()] { stuck.wait(); });
        TestEnv::writeFile(env.app(QStringLiteral("late.sng")), "/m/late.mp3\r\n");
        p.loader.tick();  // its listing waits behind the stuck job
        int saved = 0;
        QElapsedTimer clock;
        clock.start();
        jobs.autosaveForExit([&](const auto&) { ++saved; });
        jobs.autosaveForExit([&](const auto&) { ++saved; });  // a second end: nothing more
        QVERIFY(!p.loader.timer.isArmed());
        QVERIFY(waitUntil([&] { return saved > 0; }, 2 * PlaylistFileJobs::kExitWaitMs));
        QVERIFY(clock.elapsed() >= PlaylistFileJobs::kExitWaitMs * 9 / 10);  // a coarse timer
        QCOMPARE(TestEnv::readFile(env.app(QStringLiteral("autosavedlist.aut"))), QByteArray("/m/kept.mp3\r\n\r\n"));
        QVERIFY(!p.loader.isLoading());
        QCOMPARE(p.engine.state(), PlayerState::PlayingOrIdle);

        unstick.set_value();
        QVERIFY(waitUntil([&] { return p.files.isIdle(); }));
        QTest::qWait(50);
        QCOMPARE(saved, 1);
        QCOMPARE(p.playlist.count(), 1);
        QVERIFY(QFile::exists(env.app(QStringLiteral("late.sng"))));
    }

    void lineReaderSeesLinesAppendedWhileOpen()
    {
        TestEnv env;
        const QString path = env.app(QStringLiteral("grow.sng"));
        TestEnv::writeFile(path, "/m/1.mp3\r");
        LineReader reader;
        QVERIFY(reader.open(QFile::encodeName(path)));
        QByteArray line;
        QVERIFY(reader.next(line));
        QCOMPARE(line, QByteArray("/m/1.mp3"));
        QVERIFY(!reader.next(line));
        // The LF completes the CR LF that was cut at the end: no empty line.
        QFile file(path);
        QVERIFY(file.open(QIODevice::Append));
        file.write("\n/m/2.mp3\r\n");
        file.close();
        QVERIFY(reader.next(line));
        QCOMPARE(line, QByteArray("/m/2.mp3"));
        QVERIFY(!reader.next(line));
    }
};

QTEST_MAIN(TestBatchLoader)
#include "test_batch_loader.moc"
