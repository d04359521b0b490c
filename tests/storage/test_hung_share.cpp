// The hanging share of the tests: each mode hangs what it says and answers
// the rest, the kernel never answers from its caches once a mode is set, and
// releasing it frees every waiting call and leaves no mount behind.

#include "tests/support/hung_share.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <optional>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using qpt::test::finishesWithin;
using qpt::test::HungShare;
using qpt::test::Probe;

namespace {

const int kHangsMs = 1500;     // a call still waiting after this hangs
const int kReleasedMs = 3000;  // waiting calls return this soon after release()

QByteArray content()
{
    QByteArray bytes;
    for (int i = 0; i < 10000; ++i)
        bytes += char('a' + i % 26);
    return bytes;
}

// Calls made on a probe's thread, by value: they may outlive the test.
std::function<void()> statOf(const QString& path)
{
    return [name = QFile::encodeName(path)] {
        struct stat st;
        ::stat(name.constData(), &st);
    };
}

std::function<void()> listingOf(const QString& path)
{
    return [name = QFile::encodeName(path)] {
        if (DIR* dir = ::opendir(name.constData())) {
            while (::readdir(dir) != nullptr) {
            }
            ::closedir(dir);
        }
    };
}

std::function<void()> readOf(const QString& path)
{
    return [name = QFile::encodeName(path)] {
        const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
        char block[4096];
        if (fd >= 0 && ::read(fd, block, sizeof block) >= 0)
            ::close(fd);
    };
}

}  // namespace

class TestHungShare : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_root;
    QString source() const { return m_root.filePath(QStringLiteral("source")); }
    QString mountPoint(const char* name) const { return m_root.filePath(QLatin1String(name)); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_root.isValid());
        QVERIFY(QDir().mkpath(source()));
        QFile file(source() + QStringLiteral("/song.wav"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content()) == content().size());
    }

    void blockReadsHangsOpenFilesButAnswersStat()
    {
        HungShare share(source(), mountPoint("reads"));
        if (!share.available())
            QSKIP(qPrintable(share.whyUnavailable()));
        const QString song = share.filePath(QStringLiteral("song.wav"));
        QFile mirrored(song);
        QVERIFY(mirrored.open(QIODevice::ReadOnly));
        QCOMPARE(mirrored.readAll(), content());
        QVERIFY(!QFile(share.filePath(QStringLiteral("new"))).open(QIODevice::WriteOnly));
        // Opened and read while the share answered, as a player's pipeline
        // would: the same block read again must reach the share.
        const int openBefore = ::open(QFile::encodeName(song).constData(), O_RDONLY | O_CLOEXEC);
        QVERIFY(openBefore >= 0);
        QByteArray first(4096, 0);
        QCOMPARE(::pread(openBefore, first.data(), first.size(), 0), ssize_t(first.size()));
        QCOMPARE(first, content().left(first.size()));

        QVERIFY(share.setMode(HungShare::Mode::BlockReads));
        Probe freshRead(readOf(song));
        Probe readOfOpenFile([openBefore] {
            char block[4096];
            [[maybe_unused]] const ssize_t n = ::pread(openBefore, block, sizeof block, 0);
        });
        QVERIFY(!freshRead.finishedWithin(kHangsMs));
        QVERIFY2(!readOfOpenFile.finishedWithin(0), "the page cache answered a read");
        QVERIFY(finishesWithin(statOf(song), kHangsMs));
        QVERIFY(finishesWithin(listingOf(share.path()), kHangsMs));

        QVERIFY(share.release());
        QVERIFY(freshRead.finishedWithin(kReleasedMs));
        QVERIFY(readOfOpenFile.finishedWithin(kReleasedMs));
        ::close(openBefore);
        QVERIFY(!HungShare::isMounted(share.path()));
        QVERIFY(share.release());
    }

    void blockStatHangsEverythingBelowTheRoot()
    {
        std::optional<Probe> stat;
        std::optional<Probe> listing;
        QString path;
        {
            HungShare share(source(), mountPoint("stat"));
            if (!share.available())
                QSKIP(qPrintable(share.whyUnavailable()));
            path = share.path();
            const QString song = share.filePath(QStringLiteral("song.wav"));
            // Known to the kernel before the share hangs: it must ask again.
            QVERIFY(QFileInfo::exists(song));
            QVERIFY(share.setMode(HungShare::Mode::BlockStat));
            stat.emplace(statOf(song));
            listing.emplace(listingOf(path));
            QVERIFY(!stat->finishedWithin(kHangsMs));
            QVERIFY(!listing->finishedWithin(0));
            QVERIFY2(finishesWithin(statOf(path), kHangsMs), "the root's own stat must answer");
            QVERIFY(HungShare::isMounted(path));
            // Ended by the destructor, as when a test fails midway.
        }
        QVERIFY(stat->finishedWithin(kReleasedMs));
        QVERIFY(listing->finishedWithin(kReleasedMs));
        QVERIFY(!HungShare::isMounted(path));
    }

    void slowReadsTakeTwoSecondsEach()
    {
        HungShare share(source(), mountPoint("slow"), HungShare::Mode::SlowReads);
        if (!share.available())
            QSKIP(qPrintable(share.whyUnavailable()));
        auto took = std::make_shared<std::atomic<qint64>>(-1);
        Probe read([took, call = readOf(share.filePath(QStringLiteral("song.wav")))] {
            QElapsedTimer timer;
            timer.start();
            call();
            *took = timer.elapsed();
        });
        QVERIFY(read.finishedWithin(6000));
        QVERIFY2(*took >= 1500, qPrintable(QStringLiteral("one read took %1 ms").arg(took->load())));
    }

    // The first half of a file reads, in one open file as a pipeline reads
    // it; the read that reaches the middle hangs, and release frees it.
    void stallMidFileHangsFromTheMiddleOn()
    {
        HungShare share(source(), mountPoint("stall"), HungShare::Mode::StallMidFile);
        if (!share.available())
            QSKIP(qPrintable(share.whyUnavailable()));
        const int fd = ::open(QFile::encodeName(share.filePath(QStringLiteral("song.wav"))).constData(),
                              O_RDONLY | O_CLOEXEC);
        QVERIFY(fd >= 0);
        const int half = int(content().size()) / 2;
        QVERIFY(finishesWithin(
            [fd, half] {
                QByteArray block(half, 0);
                [[maybe_unused]] const ssize_t n = ::pread(fd, block.data(), size_t(block.size()), 0);
            },
            kHangsMs));
        Probe pastTheMiddle([fd, half] {
            char block[512];
            [[maybe_unused]] const ssize_t n = ::pread(fd, block, sizeof block, half);
        });
        QVERIFY(!pastTheMiddle.finishedWithin(kHangsMs));
        QVERIFY(share.release());
        QVERIFY(pastTheMiddle.finishedWithin(kReleasedMs));
        ::close(fd);
    }

    void aMountThatFailsSaysWhy()
    {
        if (!HungShare::whatIsMissing().isEmpty())
            QSKIP(qPrintable(HungShare::whatIsMissing()));
        const QString missing = m_root.filePath(QStringLiteral("missing"));
        QElapsedTimer timer;
        timer.start();
        HungShare share(missing, mountPoint("failed"));
        QVERIFY(!share.available());
        QVERIFY2(timer.elapsed() < 4000, "a failed start waited for the whole mount time");
        QVERIFY2(share.whyUnavailable().contains(missing), qPrintable(share.whyUnavailable()));
        QVERIFY(!HungShare::isMounted(share.path()));
        QVERIFY2(!QFileInfo::exists(share.path()), "the mount point it made is left behind");
    }
};

QTEST_GUILESS_MAIN(TestHungShare)
#include "test_hung_share.moc"
