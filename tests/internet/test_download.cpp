// Downloads, the responsive pause, and the file chores of an update.

#include "internet/download.h"
#include "internet/mail_dialogue.h"
#include "internet/online_files.h"
#include "local_servers.h"
#include "tests/support/test_env.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <QTimer>

#include <sys/stat.h>

using namespace qpt::internet;
using qpt::test::LocalUpdateHost;
using qpt::test::TestEnv;

class TestDownload : public QObject {
    Q_OBJECT
private slots:
    void bodiesArriveByteForByte()
    {
        LocalUpdateHost host;
        QVERIFY(host.isListening());
        QByteArray exact(Downloader::kChunk, 'x');
        exact[0] = 'a';
        exact[Downloader::kChunk - 1] = 'z';
        host.put(QStringLiteral("exact.bin"), exact);
        QByteArray every;
        for (int i = 0; i < 256; ++i)
            every.append(char(i));
        every += every;  // zero bytes and bytes above 127, twice
        host.put(QStringLiteral("every.bin"), every);
        host.put(QStringLiteral("empty.bin"), QByteArray());

        Downloader downloader;
        QCOMPARE(downloader.DownloadString(host.url() + QStringLiteral("/exact.bin")), exact);
        QCOMPARE(downloader.DownloadString(host.url() + QStringLiteral("/every.bin")), every);
        const Download empty = downloader.fetch(host.url() + QStringLiteral("/empty.bin"));
        QVERIFY(empty.body.isEmpty());
        QVERIFY(empty.complete);
        QVERIFY(!empty.isWholeProgram());

        // Each download is fresh: the cache is bypassed on the wire too.
        const QStringList requests = host.requests();
        QCOMPARE(requests.size(), 3);
        for (const QString& request : requests)
            QVERIFY2(request.endsWith(QStringLiteral("cache-control=no-cache pragma=no-cache")), qPrintable(request));
    }

    void whateverTheStatusTheBodyIsReturned()
    {
        LocalUpdateHost host;
        Downloader downloader;
        const Download missing = downloader.fetch(host.url() + QStringLiteral("/no/such/file.txt"));
        QCOMPARE(missing.status, 404);
        QVERIFY(!missing.body.isEmpty());  // the server's error page
        QVERIFY(!missing.isWholeProgram());
    }

    void unreachableHostGivesEmptyText()
    {
        Downloader downloader;
        const QString url = QStringLiteral("http://127.0.0.1:%1/version.txt").arg(qpt::test::closedPort());
        QCOMPARE(downloader.DownloadString(url), QByteArray());
        QCOMPARE(downloader.DownloadString(QStringLiteral("not a url")), QByteArray());
    }

    void cutShortIsNotWhole()
    {
        LocalUpdateHost host;
        const QByteArray part(5000, 'p');
        host.put(QStringLiteral("short.bin"), part);
        host.put(QStringLiteral("short.bin.announce"), "9000");
        Downloader downloader;
        const Download download = downloader.fetch(host.url() + QStringLiteral("/short.bin"));
        QVERIFY(download.body.size() <= part.size());
        QVERIFY(!download.complete);
        QVERIFY(!download.isWholeProgram());
    }

    void eventsRunBetweenChunksAndCancelStops()
    {
        LocalUpdateHost host;
        const QByteArray big(200 * 1024, 'b');
        host.put(QStringLiteral("big.bin"), big);
        Downloader downloader;

        int ticks = 0;
        QTimer timer;
        timer.setInterval(0);
        QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
        timer.start();
        QCOMPARE(downloader.DownloadString(host.url() + QStringLiteral("/big.bin")), big);
        QVERIFY(ticks > 0);

        // Cancelled from an event handler: the download stops early.
        QObject::disconnect(&timer, nullptr, nullptr, nullptr);
        QObject::connect(&timer, &QTimer::timeout, [&] { downloader.CancelDownload(); });
        const Download cancelled = downloader.fetch(host.url() + QStringLiteral("/big.bin"));
        QVERIFY(cancelled.cancelled);
        QVERIFY(cancelled.body.size() < big.size());
        QVERIFY(!cancelled.isWholeProgram());
        timer.stop();
        // The flag is reset by the next download.
        QCOMPARE(downloader.DownloadString(host.url() + QStringLiteral("/big.bin")).size(), big.size());
    }

    void pauseGoesThroughTheWaiter()
    {
        RecordingPauseWaiter waiter;
        ScopedPauseWaiter scoped(&waiter);
        bool ran = false;
        QTimer::singleShot(0, [&] { ran = true; });
        Pause(3);
        Pause(0.3);
        QCOMPARE(waiter.pauses, (QVector<double>{3, 0.3}));
        QVERIFY(ran);  // events ran during the pause
    }

    void privateImagePlace()
    {
        TestEnv env;
        const QString folder = privateTempFolder();
        QVERIFY(folder.startsWith(env.runtimeDir()));
        QCOMPARE(QFile::permissions(folder) & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteOther), QFile::Permissions());

        // Written byte for byte, no line end added.
        const QByteArray image("\x7f" "ELF\0\r\n\xff", 8);
        QVERIFY(writeImage(image));
        QCOMPARE(TestEnv::readFile(imagePath()), image);
        QVERIFY(imageReady());

        // A link planted at the image's name is replaced, never followed.
        const QString victim = env.root() + QStringLiteral("/victim");
        TestEnv::writeFile(victim, "keep");
        QFile::remove(imagePath());
        QVERIFY(QFile::link(victim, imagePath()));
        QVERIFY(writeImage("new"));
        QCOMPARE(TestEnv::readFile(victim), QByteArray("keep"));
        QCOMPARE(TestEnv::readFile(imagePath()), QByteArray("new"));

        // A folder open to others is not used.
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
        QVERIFY(privateTempFolder().isEmpty());
        QVERIFY(!writeImage("x"));
    }

    void programReplacement()
    {
        TestEnv env;
        const QString target = env.app(QStringLiteral("option.dat"));
        const QString source = env.root() + QStringLiteral("/image");
        TestEnv::writeFile(target, "old");
        ::chmod(QFile::encodeName(target).constData(), 0710);
        TestEnv::writeFile(source, "new program");
        QVERIFY(replaceProgram(target, source));
        QCOMPARE(TestEnv::readFile(target), QByteArray("new program"));
        struct stat st {};
        ::stat(QFile::encodeName(target).constData(), &st);
        QCOMPARE(int(st.st_mode & 07777), 0710);
        // A program that had lost its executable bit gets it back.
        ::chmod(QFile::encodeName(target).constData(), 0640);
        QVERIFY(replaceProgram(target, source));
        ::stat(QFile::encodeName(target).constData(), &st);
        QCOMPARE(int(st.st_mode & 07777), 0750);

        // A new program without a predecessor is executable.
        const QString fresh = env.app(QStringLiteral("fresh.dat"));
        QVERIFY(replaceProgram(fresh, source));
        QVERIFY(QFileInfo(fresh).isExecutable());

        // Empty or missing sources and missing folders leave the target alone.
        TestEnv::writeFile(source, QByteArray());
        QVERIFY(!replaceProgram(target, source));
        QVERIFY(!replaceProgram(target, env.root() + QStringLiteral("/missing")));
        QVERIFY(!replaceProgram(env.root() + QStringLiteral("/no/folder/x"), target));
        QCOMPARE(TestEnv::readFile(target), QByteArray("new program"));
        // No half-written leftovers in the folder.
        QCOMPARE(QDir(env.appDir()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    }

    void linesAndMailData()
    {
        QCOMPARE(splitLines(QStringLiteral("a\r\nb\nc\rd\r\n")), (QStringList{"a", "b", "c", "d"}));
        QCOMPARE(splitLines(QStringLiteral("a\r\n\r\nb")), (QStringList{"a", "", "b"}));
        QCOMPARE(splitLines(QString()), QStringList());

        QCOMPARE(MailDialogue::recipientsFrom(QStringLiteral("a@x, b@y,")), (QStringList{"a@x", "b@y"}));
        QCOMPARE(MailDialogue::dataBlock(QStringLiteral("S"), QStringLiteral("one\r\n.\r\n.two\nthree")),
                 QByteArray("SUBJECT: S\r\none\r\n..\r\n..two\r\nthree\r\n\r\n\r\n.\r\n"));
    }
};

QTEST_MAIN(TestDownload)
#include "test_download.moc"
