// The media component on a share that hangs mid-song (the core alone, on
// real GStreamer, into a fakesink synchronised to the clock): the song
// plays its first half, and 10 s after its sound stops it fails as a song
// that gave no data; a song paused meanwhile owes nothing and fails not.

#include "player/core/media/gst_media_component.h"
#include "tests/support/hung_share.h"
#include "tests/support/test_env.h"
#include "tests/support/wav_bytes.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

using namespace qpt;
using namespace qpt::test;
namespace ps = qpt::playstate;

class TestMediaOnHungShare : public QObject {
    Q_OBJECT

    QTemporaryDir m_root;

private slots:
    void initTestCase()
    {
        qputenv("QPT_AUDIO_SINK", "fakesink sync=true");
        QVERIFY(m_root.isValid());
        QVERIFY(QDir().mkpath(m_root.filePath(QStringLiteral("source"))));
        // 8 s of a quiet hum: the share answers for the first 4.
        QVERIFY(TestEnv::writeFile(m_root.filePath(QStringLiteral("source/song.wav")),
                                   pcmWav(8000, 1, 16, QByteArray(8000 * 2 * 8, char(0x10)))));
    }

    void songHangingMidwayFailsAsGivingNoData()
    {
        HungShare share(m_root.filePath(QStringLiteral("source")), m_root.filePath(QStringLiteral("share")),
                        HungShare::Mode::StallMidFile);
        if (!share.available())
            QSKIP(qPrintable(share.whyUnavailable()));
        auto media = std::make_unique<GstMediaComponent>();
        QList<int> states;
        connect(media.get(), &MediaComponent::playStateChanged, this, [&](int state) { states << state; });
        media->setUrl(QFile::encodeName(share.filePath(QStringLiteral("song.wav"))));
        QVERIFY(waitUntil([&] { return states.contains(ps::Playing); }, 5000));
        QElapsedTimer clock;
        clock.start();
        // The 10 s run from where the sound stopped (about 4 s in), not
        // from the start: the sound that came counts as progress.
        QVERIFY(waitUntil([&] { return states.last() == ps::Stopped; }, 20000));
        QVERIFY2(clock.elapsed() > 12000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(media->gaveNoData());
        QVERIFY2(media->lastError().contains(QLatin1String("no data")), qPrintable(media->lastError()));
        QCOMPARE(states, QList<int>({ps::Transitioning, ps::Playing, ps::Stopped}));
        // Its session is stuck on the share and ends once that is gone.
        QVERIFY(share.release());
        QVERIFY(waitUntil([&] { return media->endingSessions() == 0; }, 5000));
    }

    void pausedSongOwesNoData()
    {
        HungShare share(m_root.filePath(QStringLiteral("source")), m_root.filePath(QStringLiteral("paused")),
                        HungShare::Mode::StallMidFile);
        if (!share.available())
            QSKIP(qPrintable(share.whyUnavailable()));
        GstMediaComponent media;
        QList<int> states;
        connect(&media, &MediaComponent::playStateChanged, this, [&](int state) { states << state; });
        media.setUrl(QFile::encodeName(share.filePath(QStringLiteral("song.wav"))));
        QVERIFY(waitUntil([&] { return states.contains(ps::Playing); }, 5000));
        media.pause();
        QVERIFY(waitUntil([&] { return states.last() == ps::Paused; }, 3000));
        QTest::qWait(GstMediaComponent::kNoDataMs + 1500);
        QCOMPARE(states.last(), int(ps::Paused));
        QVERIFY(!media.gaveNoData());
        share.release();
    }
};

QTEST_GUILESS_MAIN(TestMediaOnHungShare)
#include "test_media_on_hung_share.moc"
