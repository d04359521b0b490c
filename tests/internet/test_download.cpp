// Downloads, the responsive pause, and the file chores of an update.

#include "common/clock.h"
#include "common/line_files.h"
#include "internet/download.h"
#include "internet/mail_dialogue.h"
#include "internet/online_files.h"
#include "internet/program_image.h"
#include "internet/version_file.h"
#include "local_servers.h"
#include "tests/support/test_env.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
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
        QCOMPARE(downloader.fetch(host.url() + QStringLiteral("/exact.bin")).body, exact);
        QCOMPARE(downloader.fetch(host.url() + QStringLiteral("/every.bin")).body, every);
        const Download empty = downloader.fetch(host.url() + QStringLiteral("/empty.bin"));
        QVERIFY(empty.body.isEmpty());
        QVERIFY(empty.arrivedWhole());

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
        QCOMPARE(missing.end, TransferEnd::Complete);
        QVERIFY(!missing.succeeded());
    }

    void unreachableHostGivesEmptyText()
    {
        Downloader downloader;
        const QString url = QStringLiteral("http://127.0.0.1:%1/version.txt").arg(qpt::test::closedPort());
        for (const QString& address : {url, QStringLiteral("not a url")}) {
            const Download download = downloader.fetch(address);
            QCOMPARE(download.body, QByteArray());
            QCOMPARE(download.end, TransferEnd::Failed);
        }
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
        QCOMPARE(download.end, TransferEnd::CutShort);
        QVERIFY(!download.arrivedWhole());
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
        QCOMPARE(downloader.fetch(host.url() + QStringLiteral("/big.bin")).body, big);
        QVERIFY(ticks > 0);

        // Cancelled from an event handler: the download stops early.
        QObject::disconnect(&timer, nullptr, nullptr, nullptr);
        QObject::connect(&timer, &QTimer::timeout, [&] { downloader.cancel(); });
        const Download cancelled = downloader.fetch(host.url() + QStringLiteral("/big.bin"));
        QCOMPARE(cancelled.end, TransferEnd::Cancelled);
        QVERIFY(cancelled.body.size() < big.size());
        QVERIFY(!cancelled.succeeded());
        timer.stop();
        // The flag is reset by the next download.
        QCOMPARE(downloader.fetch(host.url() + QStringLiteral("/big.bin")).body.size(), big.size());
    }

    void pauseGoesThroughTheClock()
    {
        qpt::RecordingClock clock;
        qpt::ScopedClock scoped(&clock);
        bool ran = false;
        QTimer::singleShot(0, [&] { ran = true; });
        qpt::pauseFor(3);
        qpt::pauseFor(0.3);
        QCOMPARE(clock.pauses, (QVector<double>{3, 0.3}));
        QVERIFY(ran);  // events ran during the pause
    }

    void privateImagePlace()
    {
        TestEnv env;
        const QString folder = privateTempFolder();
        QVERIFY(folder.startsWith(env.runtimeDir()));
        QCOMPARE(QFile::permissions(folder) & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteOther), QFile::Permissions());

        // An accepted image is kept for the updater byte for byte; a link
        // planted at the name it is kept under is replaced, never followed.
        const QString victim = env.root() + QStringLiteral("/victim");
        TestEnv::writeFile(victim, "keep");
        QVERIFY(QFile::link(victim, imagePath()));
        const QByteArray image("\x7f" "ELF\0\r\n\xff", 8);
        const QString fetched = folder + QStringLiteral("/fetched");
        QVERIFY(TestEnv::writeFile(fetched, image));
        QVERIFY(ProgramImage(fetched).keepAs(imagePath()));
        QVERIFY(!QFile::exists(fetched));
        QCOMPARE(TestEnv::readFile(victim), QByteArray("keep"));
        QCOMPARE(TestEnv::readFile(imagePath()), image);
        QVERIFY(imageReady());

        // An image that was not kept goes with its owner.
        QVERIFY(TestEnv::writeFile(fetched, image));
        { ProgramImage dropped(fetched); }
        QVERIFY(!QFile::exists(fetched));

        // A folder open to others is not used.
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
        QVERIFY(privateTempFolder().isEmpty());
        QVERIFY(imagePath().isEmpty());
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

    // What each way a host can misbehave makes of a transfer, and that no
    // more than the limit is ever kept.
    void everyHostBehaviourEndsAsWhatItIs_data()
    {
        QTest::addColumn<QString>("mode");      // .mode content, "announce N", "missing", "portal"
        QTest::addColumn<int>("end");           // TransferEnd
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("whole");
        QTest::newRow("missing file") << "missing" << int(TransferEnd::Complete) << 404 << false;
        QTest::newRow("captive portal") << "portal" << int(TransferEnd::Complete) << 200 << true;
        QTest::newRow("no length, closed early") << "nolength-cut" << int(TransferEnd::Complete) << 200 << false;
        QTest::newRow("longer length announced") << "announce 9000" << int(TransferEnd::CutShort) << 200 << false;
        QTest::newRow("more than the limit announced") << "announce 999999999" << int(TransferEnd::TooLarge) << 200 << false;
        QTest::newRow("endless body") << "endless" << int(TransferEnd::TooLarge) << 200 << false;
        QTest::newRow("slow trickle") << "trickle 700" << int(TransferEnd::Stalled) << 200 << false;
        QTest::newRow("chunked") << "chunked" << int(TransferEnd::Complete) << 200 << false;
        // The network layer now and then reports this as complete: either
        // way it never counts as whole by itself.
        QTest::newRow("chunked, closed early") << "chunked-cut" << -1 << 200 << false;
    }
    void everyHostBehaviourEndsAsWhatItIs()
    {
        QFETCH(QString, mode);
        QFETCH(int, end);
        QFETCH(int, status);
        QFETCH(bool, whole);
        LocalUpdateHost host;
        const QByteArray file = QByteArray("\x7f" "ELF", 4) + QByteArray(5000, 'e');
        if (mode != QLatin1String("missing"))
            host.put(QStringLiteral("file.bin"), file);
        if (mode == QLatin1String("portal"))
            host.put(QStringLiteral("PORTAL"), "on");
        else if (mode.startsWith(QLatin1String("announce ")))
            host.put(QStringLiteral("file.bin.announce"), mode.mid(9).toLatin1());
        else if (mode != QLatin1String("missing"))
            host.put(QStringLiteral("file.bin.mode"), mode.toLatin1());

        Downloader downloader;
        const TransferLimits limits{64 * 1024, 300};
        QElapsedTimer clock;
        clock.start();
        const Download download = downloader.fetch(host.url() + QStringLiteral("/file.bin"), limits);
        if (end >= 0)
            QCOMPARE(int(download.end), end);
        QCOMPARE(download.status, status);
        QCOMPARE(download.arrivedWhole(), whole);
        QVERIFY(download.body.size() <= limits.maxBytes);
        QCOMPARE(download.received, qint64(download.body.size()));
        QVERIFY(clock.elapsed() < 10000);
        if (mode == QLatin1String("chunked"))
            QCOMPARE(download.body, file);
        if (mode == QLatin1String("announce 999999999"))
            QCOMPARE(download.received, 0);  // refused before a byte was kept
    }

    // The version file is believed only when it reads as one.
    void versionFileReader_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("expected");  // player, option, OS, date; empty = refused
        const QStringList refused;
        QTest::newRow("as published") << QByteArray("PlayVer=v1.01\r\nOptiVer=v1.00\r\nOSV=v1.00\r\nUpdate=12-07-2026\r\n")
                                      << QStringList{"v1.01", "v1.00", "v1.00", "12-07-2026"};
        QTest::newRow("LF, no last line end, later lines ignored")
            << QByteArray("PlayVer=v2.0b\nOptiVer=v1.00\nOSV=v1.00\nUpdate=\nmore lines\n<html>")
            << QStringList{"v2.0b", "v1.00", "v1.00", ""};
        QTest::newRow("player not published") << QByteArray("PlayVer=\r\nOptiVer=v1.00\r\nOSV=v1.00\r\nUpdate=x\r\n")
                                              << QStringList{"", "v1.00", "v1.00", "x"};
        QTest::newRow("Online System N/A, short date line")
            << QByteArray("PlayVer=v1.00\r\nOptiVer=v1.00\r\nOSV=N/A\r\nUp\r\n")
            << QStringList{"v1.00", "v1.00", "N/A", "N/A"};
        QTest::newRow("HTML page") << QByteArray("<!DOCTYPE html>\n<html>\n<head><title>Not Found</title></head>\n"
                                                 "<body><h1>Not Found</h1></body>\n</html>\n")
                                   << refused;
        QTest::newRow("line shorter than its prefix") << QByteArray("PlayVe\r\nOptiVer=v1.00\r\nOSV=v1.00\r\nUpdate=x")
                                                      << refused;
        QTest::newRow("date line too short") << QByteArray("PlayVer=v1.00\r\nOptiVer=v1.00\r\nOSV=v1.00\r\nUpd")
                                             << refused;
        QTest::newRow("three lines") << QByteArray("PlayVer=v1.00\r\nOptiVer=v1.00\r\nOSV=v1.00\r\n") << refused;
        QTest::newRow("no version in line 2") << QByteArray("PlayVer=v1.00\r\nOptiVer=\r\nOSV=v1.00\r\nUpdate=x")
                                              << refused;
        QTest::newRow("binary") << QByteArray("PlayVer=v1.00\r\nOptiVer=v1.\x00\r\nOSV=v1.00\r\nUpdate=x", 41)
                                << refused;
        QTest::newRow("a digit of another script") << QByteArray("PlayVer=v1.00\r\nOptiVer=v\xd9\xa0.1\r\nOSV=v1.00\r\nUpdate=x")
                                                   << refused;
        QTest::newRow("control characters") << QByteArray("PlayVer=v1.00\r\nOptiVer=v1.00\r\nOSV=v1.00\r\nUpdate=\x1b[2J")
                                            << refused;
        QTest::newRow("larger than 64 KiB")
            << QByteArray("PlayVer=v1.00\r\nOptiVer=v1.00\r\nOSV=v1.00\r\nUpdate=x\r\n") + QByteArray(64 * 1024, '\n')
            << refused;
    }
    void versionFileReader()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, expected);
        const std::optional<VersionFile> file = parseVersionFile(bytes);
        if (expected.isEmpty()) {
            QVERIFY(!file);
            return;
        }
        QVERIFY(file);
        QCOMPARE((QStringList{file->player, file->option, file->onlineSystem, file->date}), expected);
    }

    // A program image is accepted only whole, as a program, and matching
    // its published digest; a refused one leaves nothing behind.
    void programImages_data()
    {
        QTest::addColumn<QByteArray>("image");
        QTest::addColumn<QString>("mode");    // how the host sends it
        QTest::addColumn<QString>("digest");  // "" none published, "good", "bad", "junk"
        QTest::addColumn<int>("refusal");
        const QByteArray elf = QByteArray("\x7f" "ELF\x02\x01\x01", 7) + QByteArray(3000, '\0');
        const QByteArray script("#!/bin/sh\necho new\n");
        QTest::newRow("ELF") << elf << "" << "" << int(ImageRefusal::None);
        QTest::newRow("script, chunked, digest matches") << script << "chunked" << "good" << int(ImageRefusal::None);
        QTest::newRow("HTML page") << QByteArray("<html><body>Log in</body></html>") << "" << "" << int(ImageRefusal::NotAProgram);
        QTest::newRow("empty") << QByteArray() << "" << "" << int(ImageRefusal::NotAProgram);
        QTest::newRow("no length") << elf << "nolength-cut" << "" << int(ImageRefusal::NotWhole);
        QTest::newRow("chunked, no digest to back its end") << elf << "chunked" << "" << int(ImageRefusal::NotWhole);
        QTest::newRow("digest differs") << elf << "" << "bad" << int(ImageRefusal::ChecksumMismatch);
        QTest::newRow("digest unreadable") << elf << "" << "junk" << int(ImageRefusal::ChecksumUnreadable);
        QTest::newRow("too large") << elf + QByteArray(70 * 1024, 'x') << "" << "" << int(ImageRefusal::TooLarge);
    }
    void programImages()
    {
        QFETCH(QByteArray, image);
        QFETCH(QString, mode);
        QFETCH(QString, digest);
        QFETCH(int, refusal);
        TestEnv env;
        LocalUpdateHost host;
        host.put(QStringLiteral("image.dat"), image);
        if (!mode.isEmpty())
            host.put(QStringLiteral("image.dat.mode"), mode.toLatin1());
        const QByteArray sha = QCryptographicHash::hash(image, QCryptographicHash::Sha256).toHex();
        if (digest == QLatin1String("good"))
            host.put(QStringLiteral("image.dat.sha256"), sha.toUpper() + "  image.dat\n");
        else if (digest == QLatin1String("bad"))
            host.put(QStringLiteral("image.dat.sha256"), QByteArray(64, 'a') + "  image.dat\n");
        else if (digest == QLatin1String("junk"))
            host.put(QStringLiteral("image.dat.sha256"), "<html>Log in</html>");

        Downloader downloader;
        const FetchedImage fetched =
            fetchProgramImage(downloader, host.url() + QStringLiteral("/image.dat"), {64 * 1024, 2000});
        QCOMPARE(int(fetched.refusal), refusal);
        const QDir privateFolder(privateTempFolder());
        if (refusal == int(ImageRefusal::None)) {
            QVERIFY(fetched.image);
            QCOMPARE(TestEnv::readFile(fetched.image->path()), image);
            QVERIFY(fetched.image->path().startsWith(privateFolder.path()));
        } else {
            QVERIFY(!fetched.image);
            QCOMPARE(privateFolder.entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList());
        }
    }

    void linesAndMailData()
    {
        QCOMPARE(qpt::linefiles::split("a\r\nb\nc\rd\r\n"), (QList<QByteArray>{"a", "b", "c", "d"}));
        QCOMPARE(qpt::linefiles::split("a\r\n\r\nb"), (QList<QByteArray>{"a", "", "b"}));
        QCOMPARE(qpt::linefiles::split(QByteArray()), QList<QByteArray>());

        QCOMPARE(MailDialogue::recipientsFrom(QStringLiteral("a@x, b@y,")), (QStringList{"a@x", "b@y"}));
        QCOMPARE(MailDialogue::dataBlock("Subject: S\r\n\r\none\r\n.\r\n.two\r\n"),
                 QByteArray("Subject: S\r\n\r\none\r\n..\r\n..two\r\n.\r\n"));
        QVERIFY(MailDialogue::offers8BitMime({"250-relay.example", "250-SIZE 100", "250-8BITMIME", "250 HELP"}));
        QVERIFY(!MailDialogue::offers8BitMime({"250-relay.example", "250 HELP"}));
    }
};

QTEST_MAIN(TestDownload)
#include "test_download.moc"
