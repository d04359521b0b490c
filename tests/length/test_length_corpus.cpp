// The Length text of every file of the test corpus equals the text of the
// length a full decode gives (length/reference.tsv, written by
// tests/data/make-test-audio from decoding each file), and files that
// cannot be played measure "0:00" without a message box.

#include "player/core/length/length_probe.h"
#include "player/core/length/song_length_service.h"
#include "tests/support/test_env.h"

#include <QFile>
#include <QSet>
#include <QTest>

using namespace qpt;
using qpt::test::TestEnv;

class TestLengthCorpus : public QObject {
    Q_OBJECT
private slots:
    void corpus_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<qint64>("ms");
        QTest::addColumn<qint64>("tolerance");
        QFile reference(qpt::test::testDataDir() + QStringLiteral("/length/reference.tsv"));
        QVERIFY2(reference.open(QIODevice::ReadOnly), "the corpus has not been generated");
        QSet<QString> kinds;
        int rows = 0;
        while (!reference.atEnd()) {
            const QStringList f = QString::fromUtf8(reference.readLine()).trimmed().split(QLatin1Char('\t'));
            if (f.size() != 4)
                continue;
            QTest::newRow(qPrintable(f[0])) << f[0] << f[1] << f[2].toLongLong() << f[3].toLongLong();
            kinds << f[1];
            ++rows;
        }
        // A corpus that silently lost its files would prove nothing.
        QVERIFY(rows >= 80);
        QCOMPARE(kinds, (QSet<QString>{QStringLiteral("decode"), QStringLiteral("timeline"),
                                       QStringLiteral("unreadable")}));
    }

    void corpus()
    {
        QFETCH(QString, file);
        QFETCH(QString, kind);
        QFETCH(qint64, ms);
        QFETCH(qint64, tolerance);
        TestEnv env;
        SongLengthService service;
        length::LengthJob job;
        job.path = QFile::encodeName(qpt::test::testDataDir() + QLatin1Char('/') + file);
        const QString text = service.measure(job).length.text();
        const auto measurement = length::LengthProbe().measure(job.path);
        if (kind == QLatin1String("unreadable")) {
            QCOMPARE(text, QStringLiteral("0:00"));
            QVERIFY(!measurement || !measurement->ms);
        } else {
            QCOMPARE(text, *SongLength::formatMilliseconds(ms));
            QVERIFY(measurement && measurement->ms);
            const qint64 got = *measurement->ms;
            QVERIFY2(qAbs(got - ms) <= tolerance,
                     qPrintable(QStringLiteral("measured %1 ms, decoded %2 ms").arg(got).arg(ms)));
        }
    }
};

QTEST_MAIN(TestLengthCorpus)
#include "test_length_corpus.moc"
