// Transfers, program images, and the file chores of an update.

#include "common/line_files.h"
#include "internet/mail/mail_dialogue.h"
#include "internet/shared/download.h"
#include "internet/shared/extra_authorities.h"
#include "internet/shared/web_address.h"
#include "internet/update/online_files.h"
#include "internet/update/program_image.h"
#include "internet/update/release_crypto.h"
#include "internet/update/version_file.h"
#include "local_servers.h"
#include "tests/support/test_env.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QTimer>

#include <sys/stat.h>
#include <unistd.h>

using namespace qpt::internet;
using qpt::test::LocalUpdateHost;
using qpt::test::TestEnv;
using qpt::test::waitUntil;

namespace {

// A transfer to its end, the test's own event loop running meanwhile.
Download fetch(const QString& url, const TransferLimits& limits = {})
{
    Transfer transfer;
    std::optional<Download> result;
    QObject::connect(&transfer, &Transfer::finished, [&](const Download& download) { result = download; });
    transfer.start(url, limits);
    waitUntil([&] { return result.has_value(); }, 30000);
    return result.value_or(Download{});
}

// The warnings of the Online System's log while one lives.
class LogCapture {
public:
    LogCapture() { s_lines.clear(), m_previous = qInstallMessageHandler(&LogCapture::handle); }
    ~LogCapture() { qInstallMessageHandler(m_previous); }
    QString text() const { return s_lines.join(QLatin1Char('\n')); }

private:
    static void handle(QtMsgType, const QMessageLogContext& context, const QString& message)
    {
        s_lines << QLatin1String(context.category) + QStringLiteral(": ") + message;
    }
    static inline QStringList s_lines;
    QtMessageHandler m_previous;
};

// The signed entry of an image, as a manifest would list it.
release::ReleaseImage signedEntry(const QByteArray& bytes)
{
    return {QStringLiteral("image.dat"), QStringLiteral("v1.01"), bytes.size(), release::sha256(bytes)};
}

}  // namespace

class TestDownload : public QObject {
    Q_OBJECT
private slots:
    void bodiesArriveByteForByte()
    {
        LocalUpdateHost host;
        QVERIFY(host.isListening());
        QByteArray exact(Transfer::kChunk, 'x');
        exact[0] = 'a';
        exact[Transfer::kChunk - 1] = 'z';
        host.put(QStringLiteral("exact.bin"), exact);
        QByteArray every;
        for (int i = 0; i < 256; ++i)
            every.append(char(i));
        every += every;  // zero bytes and bytes above 127, twice
        host.put(QStringLiteral("every.bin"), every);
        host.put(QStringLiteral("empty.bin"), QByteArray());

        QCOMPARE(fetch(host.url() + QStringLiteral("/exact.bin")).body, exact);
        QCOMPARE(fetch(host.url() + QStringLiteral("/every.bin")).body, every);
        const Download empty = fetch(host.url() + QStringLiteral("/empty.bin"));
        QVERIFY(empty.body.isEmpty());
        QVERIFY(empty.succeeded() && empty.lengthAnnounced);

        // Each download is fresh: the cache is bypassed on the wire too.
        const QStringList requests = host.requests();
        QCOMPARE(requests.size(), 3);
        for (const QString& request : requests)
            QVERIFY2(request.endsWith(QStringLiteral("cache-control=no-cache pragma=no-cache")), qPrintable(request));
    }

    void whateverTheStatusTheBodyIsReturned()
    {
        LocalUpdateHost host;
        const Download missing = fetch(host.url() + QStringLiteral("/no/such/file.txt"));
        QCOMPARE(missing.status, 404);
        QVERIFY(!missing.body.isEmpty());  // the server's error page
        QCOMPARE(missing.end, TransferEnd::Complete);
        QVERIFY(!missing.succeeded());
    }

    void unreachableHostGivesEmptyText()
    {
        const QString url = QStringLiteral("http://127.0.0.1:%1/version.txt").arg(qpt::test::closedPort());
        for (const QString& address : {url, QStringLiteral("not a url")}) {
            const Download download = fetch(address);
            QCOMPARE(download.body, QByteArray());
            QCOMPARE(download.end, TransferEnd::Failed);
        }
    }

    // An https host whose certificate does not hold is no missing
    // connection: the transfer ends as not trusted, nothing is asked of the
    // host, and the log says why.
    void hostThatCannotProveItsIdentity_data()
    {
        QTest::addColumn<QString>("kind");  // of certificate; empty: a sound one
        QTest::addColumn<QString>("logged");
        QTest::newRow("sound") << QString() << QString();
        QTest::newRow("self-signed") << "self-signed" << "self-signed";
        QTest::newRow("expired") << "expired" << "expired";
        QTest::newRow("not yet valid") << "not-yet-valid" << "not yet valid";
        QTest::newRow("for another name") << "wrong-name" << "host name did not match";
    }
    void hostThatCannotProveItsIdentity()
    {
        QFETCH(QString, kind);
        QFETCH(QString, logged);
        TestEnv env;
        qpt::test::TestCertificates certificates;
        QVERIFY(certificates.isReady());
        if (!kind.isEmpty())
            QVERIFY(certificates.reissue(kind));
        QVERIFY(qpt::test::trustAuthorityIn(env.appDir(), certificates));
        trustExtraAuthorities();
        LocalUpdateHost host(&certificates);
        QVERIFY(host.isListening());
        host.put(QStringLiteral("file.txt"), "the file");
        LogCapture log;
        const Download download = fetch(host.url() + QStringLiteral("/file.txt"));
        if (kind.isEmpty()) {
            QCOMPARE(download.body, QByteArray("the file"));
            QVERIFY(download.succeeded());
            return;
        }
        QCOMPARE(download.end, TransferEnd::NotTrusted);
        QVERIFY(download.body.isEmpty());
        QVERIFY(host.requests().isEmpty());
        QVERIFY2(log.text().contains(QStringLiteral("qpt.internet: 127.0.0.1 could not prove its identity")), qPrintable(log.text()));
        QVERIFY2(log.text().contains(logged, Qt::CaseInsensitive), qPrintable(log.text()));
    }

    void cutShortIsNotWhole()
    {
        LocalUpdateHost host;
        const QByteArray part(5000, 'p');
        host.put(QStringLiteral("short.bin"), part);
        host.put(QStringLiteral("short.bin.announce"), "9000");
        const Download download = fetch(host.url() + QStringLiteral("/short.bin"));
        QVERIFY(download.body.size() <= part.size());
        QCOMPARE(download.end, TransferEnd::CutShort);
        QVERIFY(!download.succeeded());
    }

    // The user's Cancel ends a transfer at once as what it is; the next
    // transfer of the same object runs as usual.
    void cancelStops()
    {
        LocalUpdateHost host;
        const QByteArray big(200 * 1024, 'b');
        host.put(QStringLiteral("big.bin"), big);
        host.put(QStringLiteral("slow.bin"), big);
        host.put(QStringLiteral("slow.bin.mode"), "trickle 50");
        Transfer transfer;
        QVector<Download> ends;
        QObject::connect(&transfer, &Transfer::finished, [&](const Download& download) { ends << download; });
        transfer.start(host.url() + QStringLiteral("/slow.bin"), {1024 * 1024, 5000, 60000});
        QVERIFY(waitUntil([&] { return transfer.isBusy(); }));
        QTest::qWait(300);
        transfer.cancel();
        QVERIFY(waitUntil([&] { return ends.size() == 1; }));
        QCOMPARE(ends[0].end, TransferEnd::Cancelled);
        QVERIFY(ends[0].body.size() < big.size());
        QVERIFY(!ends[0].succeeded());
        transfer.start(host.url() + QStringLiteral("/big.bin"), {1024 * 1024, 5000, 60000});
        QVERIFY(waitUntil([&] { return ends.size() == 2; }, 20000));
        QCOMPARE(ends[1].body, big);

        // A transfer abandoned (the program ends) says nothing.
        transfer.start(host.url() + QStringLiteral("/slow.bin"), {1024 * 1024, 5000, 60000});
        transfer.abandon();
        QTest::qWait(200);
        QCOMPARE(ends.size(), 2);
        QVERIFY(!transfer.isBusy());
    }

    // Redirects stay on the host: to another path, or from http to https on
    // it; never to another host.
    void redirects()
    {
        QVERIFY(isSameSite(QUrl("http://h.example/a"), QUrl("http://h.example/b")));
        QVERIFY(isSameSite(QUrl("http://h.example/a"), QUrl("https://H.example:8443/a")));
        QVERIFY(isSameSite(QUrl("https://h.example/a"), QUrl("https://h.example:443/b")));
        QVERIFY(!isSameSite(QUrl("https://h.example/a"), QUrl("http://h.example/a")));
        QVERIFY(!isSameSite(QUrl("http://h.example/a"), QUrl("http://h.example:81/a")));
        QVERIFY(!isSameSite(QUrl("http://h.example/a"), QUrl("http://evil.example/a")));
        QVERIFY(!isSameSite(QUrl("http://127.0.0.1:8000/a"), QUrl("http://localhost:8000/a")));

        LocalUpdateHost host;
        host.put(QStringLiteral("file.txt"), "the file");
        host.put(QStringLiteral("here.txt"), "x");
        host.put(QStringLiteral("here.txt.mode"), "redirect /file.txt");
        const QString elsewhere = host.url().replace(QStringLiteral("127.0.0.1"), QStringLiteral("localhost"));
        host.put(QStringLiteral("away.txt"), "x");
        host.put(QStringLiteral("away.txt.mode"), ("redirect " + elsewhere + "/file.txt").toLatin1());
        QCOMPARE(fetch(host.url() + QStringLiteral("/here.txt")).body, QByteArray("the file"));
        const Download away = fetch(host.url() + QStringLiteral("/away.txt"));
        QCOMPARE(away.end, TransferEnd::Failed);
        QVERIFY(away.body.isEmpty());
        QCOMPARE(host.requests().filter(QStringLiteral("/file.txt ")).size(), 1);  // only the allowed one
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
        const QString kept = keptUpdate()->image;
        QVERIFY(kept.startsWith(folder));
        QVERIFY(QFile::link(victim, kept));
        const QByteArray image("\x7f" "ELF\0\r\n\xff", 8);
        const QString fetched = folder + QStringLiteral("/fetched");
        QVERIFY(TestEnv::writeFile(fetched, image));
        QVERIFY(ProgramImage(fetched).keepAs(kept));
        QVERIFY(!QFile::exists(fetched));
        QCOMPARE(TestEnv::readFile(victim), QByteArray("keep"));
        QCOMPARE(TestEnv::readFile(kept), image);
        QCOMPARE(readSmallFile(kept, 100), std::optional<QByteArray>(image));
        QVERIFY(!readSmallFile(kept, 7));
        keptUpdate()->remove();
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList());

        // An image that was not kept goes with its owner.
        QVERIFY(TestEnv::writeFile(fetched, image));
        { ProgramImage dropped(fetched); }
        QVERIFY(!QFile::exists(fetched));

        // A folder open to others is not used: the one in the user's cache
        // folder is. A place that is not a folder is not used either, and
        // with no place left there is none, for reasons named place by place.
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
        const QString cached = env.cacheDir() + QStringLiteral("/quorbel-player-tirk");
        QCOMPARE(privateTempFolder(), cached);
        QVERIFY(keptUpdate()->image.startsWith(cached + QLatin1Char('/')));
        QVERIFY(QDir(cached).removeRecursively());
        QVERIFY(QFile::link(env.root(), cached));
        const PrivateFolder none = findPrivateFolder();
        QVERIFY(none.path.isEmpty());
        QVERIFY(!keptUpdate());
        QVERIFY2(none.problem.contains(folder + QStringLiteral(" is open to other users")), qPrintable(none.problem));
        QVERIFY2(none.problem.contains(cached + QStringLiteral(" is not a folder")), qPrintable(none.problem));
    }

    // Without a runtime folder (su, sudo, cron) the place is the user's
    // cache folder: a folder that another user made first under the name a
    // shared temporary folder would have given is of no matter.
    void privatePlaceWithoutARuntimeFolder()
    {
        TestEnv env;
        const QString temp = env.root() + QStringLiteral("/tmp");
        QVERIFY(QDir().mkpath(temp));
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        qunsetenv("XDG_RUNTIME_DIR");
        qputenv("TMPDIR", temp.toLocal8Bit());
        const QString taken = temp + QStringLiteral("/quorbel-player-tirk-%1").arg(::getuid());
        QVERIFY(QDir().mkpath(taken));
        if (::getuid() == 0)
            QCOMPARE(::chown(QFile::encodeName(taken).constData(), 65534, 65534), 0);
        const PrivateFolder found = findPrivateFolder();
        qputenv("XDG_RUNTIME_DIR", runtime);
        qunsetenv("TMPDIR");
        QCOMPARE(found.path, env.cacheDir() + QStringLiteral("/quorbel-player-tirk"));
        QCOMPARE(QFileInfo(found.path).ownerId(), ::getuid());
        QCOMPARE(QFile::permissions(found.path) & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteOther), QFile::Permissions());
    }

    // Mail links keep their addressees and their text, nothing a mail
    // program might attach or send on without the user seeing it.
    void mailLinksKeepOnlyAddresseesAndText()
    {
        const auto plain = [](const char* link) { return plainMailto(QUrl(QLatin1String(link))).toString(QUrl::FullyEncoded); };
        QCOMPARE(plain("mailto:x@y.example?subject=Hi%20there&attach=/home/user/.ssh/id_rsa&body=b%26c&CC=c@y.example"
                       "&bcc=z@y.example&Attachment=/etc/passwd&to=t@y.example#part"),
                 QStringLiteral("mailto:x@y.example?subject=Hi%20there&body=b%26c&CC=c@y.example&to=t@y.example"));
        QCOMPARE(plain("mailto:x@y.example?attach=/home/user/.ssh/id_rsa"), QStringLiteral("mailto:x@y.example"));
        QCOMPARE(plain("MAILTO:x@y.example"), QStringLiteral("mailto:x@y.example"));
        QVERIFY(!plainMailto(QUrl(QStringLiteral("http://h.example/?attach=x"))).isValid());
    }

    // A new program is staged beside the old one and put in place by one
    // rename; whatever goes wrong leaves the old one as it was.
    void programReplacement()
    {
        const auto replaceProgram = [](const QString& target, const QString& source) {
            StagedProgram staged(target, source);
            return staged.isReady() && staged.commit();
        };
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
        // Set-user-ID, set-group-ID and sticky bits are never carried over.
        ::chmod(QFile::encodeName(target).constData(), 07750);
        QVERIFY(replaceProgram(target, source));
        ::stat(QFile::encodeName(target).constData(), &st);
        QCOMPARE(int(st.st_mode & 07777), 0750);

        // A new program without a predecessor is executable.
        const QString fresh = env.app(QStringLiteral("fresh.dat"));
        QVERIFY(replaceProgram(fresh, source));
        QVERIFY(QFileInfo(fresh).isExecutable());

        // A copy that is not the signed image is not put in place.
        const release::ReleaseImage signedImage{QStringLiteral("option.dat"), QStringLiteral("v1.01"), 11,
                                                release::sha256("new program")};
        QVERIFY(StagedProgram(target, source, &signedImage).isReady());
        TestEnv::writeFile(source, "new progran");
        QVERIFY(!StagedProgram(target, source, &signedImage).isReady());
        TestEnv::writeFile(source, "new program and more");
        QVERIFY(!StagedProgram(target, source, &signedImage).isReady());

        // Empty or missing sources and missing folders leave the target alone.
        TestEnv::writeFile(source, QByteArray());
        QVERIFY(!replaceProgram(target, source));
        QVERIFY(!replaceProgram(target, env.root() + QStringLiteral("/missing")));
        QVERIFY(!replaceProgram(env.root() + QStringLiteral("/no/folder/x"), target));
        QCOMPARE(TestEnv::readFile(target), QByteArray("new program"));
        // No half-written leftovers in the folder.
        QCOMPARE(QDir(env.appDir()).entryList(QDir::Files | QDir::Hidden).size(), 2);

        // Whether a program would fit is found out without a copy, and
        // leaves nothing either.
        QVERIFY(hasRoomFor(target, 4 * 1024 * 1024));
        QVERIFY(!hasRoomFor(target, qint64(1) << 60));
        QVERIFY(!hasRoomFor(env.root() + QStringLiteral("/no/folder/x"), 10));
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
        // A byte well within the idle limit every time, for longer than
        // the whole transfer may take.
        QTest::newRow("drip") << "trickle 100" << int(TransferEnd::TimedOut) << 200 << false;
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

        const bool drip = mode == QLatin1String("trickle 100");
        const TransferLimits limits{64 * 1024, drip ? 1000 : 300, drip ? 1500 : 10000};
        QElapsedTimer clock;
        clock.start();
        const Download download = fetch(host.url() + QStringLiteral("/file.bin"), limits);
        if (end >= 0)
            QCOMPARE(int(download.end), end);
        QCOMPARE(download.status, status);
        // Whole: a successful response whose length was announced and came.
        QCOMPARE(download.succeeded() && download.lengthAnnounced, whole);
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
        // The date becomes part of the window's caption: one short line,
        // without the format characters that turn text around.
        QTest::newRow("long date with a right-to-left override")
            << ("PlayVer=v1.00\r\nOptiVer=v1.00\r\nOSV=v1.00\r\nUpdate=\u202e" + QByteArray(60000, 'd') + "\r\n")
            << QStringList{"v1.00", "v1.00", "v1.00", QString(39, QLatin1Char('d')) + QChar(0x2026)};
        QTest::newRow("date with joiners and isolates")
            << QByteArray("PlayVer=v1.00\r\nOptiVer=v1.00\r\nOSV=v1.00\r\nUpdate=12\u2067-07\u200d-2026\u2069\r\n")
            << QStringList{"v1.00", "v1.00", "v1.00", "12-07-2026"};
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

    // A program image is accepted only with the size and digest its signed
    // entry gives, whatever the host says about it; a refused one leaves
    // nothing behind.
    void programImages_data()
    {
        QTest::addColumn<QByteArray>("served");
        QTest::addColumn<QString>("mode");  // how the host sends it
        QTest::addColumn<int>("refusal");
        const QByteArray image = QByteArray("\x7f" "ELF\x02\x01\x01", 7) + QByteArray(3000, '\0');
        QByteArray changed = image;
        changed[1500] = 'x';
        QTest::newRow("as signed") << image << "" << int(ImageRefusal::None);
        QTest::newRow("as signed, chunked") << image << "chunked" << int(ImageRefusal::None);
        QTest::newRow("one byte changed") << changed << "" << int(ImageRefusal::NotSigned);
        QTest::newRow("a byte short") << image.chopped(1) << "" << int(ImageRefusal::NotSigned);
        QTest::newRow("a byte more") << image + 'x' << "" << int(ImageRefusal::NotDownloaded);
        QTest::newRow("HTML page") << QByteArray("<html><body>Log in</body></html>") << "" << int(ImageRefusal::NotSigned);
        QTest::newRow("no length, closed early") << image << "nolength-cut" << int(ImageRefusal::NotSigned);
        QTest::newRow("chunked, closed early") << image << "chunked-cut" << -1;
        QTest::newRow("missing") << QByteArray() << "missing" << int(ImageRefusal::NotDownloaded);
    }
    void programImages()
    {
        QFETCH(QByteArray, served);
        QFETCH(QString, mode);
        QFETCH(int, refusal);
        const QByteArray image = QByteArray("\x7f" "ELF\x02\x01\x01", 7) + QByteArray(3000, '\0');
        TestEnv env;
        LocalUpdateHost host;
        if (mode != QLatin1String("missing"))
            host.put(QStringLiteral("image.dat"), served);
        if (!mode.isEmpty() && mode != QLatin1String("missing"))
            host.put(QStringLiteral("image.dat.mode"), mode.toLatin1());
        // A digest beside it proves nothing: the host can publish any.
        host.put(QStringLiteral("image.dat.sha256"), release::sha256(served).toHex() + "  image.dat\n");

        ImageDownload download;
        std::optional<FetchedImage> fetched;
        download.start(host.url() + QStringLiteral("/image.dat"), signedEntry(image), {2000, 20000},
                       [&](FetchedImage&& result) { fetched = std::move(result); });
        QVERIFY(waitUntil([&] { return fetched.has_value(); }, 20000));
        const QDir privateFolder(privateTempFolder());
        if (refusal < 0)
            QVERIFY(fetched->refusal != ImageRefusal::None);
        else
            QCOMPARE(int(fetched->refusal), refusal);
        if (fetched->refusal == ImageRefusal::None) {
            QVERIFY(fetched->image);
            QCOMPARE(TestEnv::readFile(fetched->image->path()), image);
            QVERIFY(fetched->image->path().startsWith(privateFolder.path()));
        } else {
            QVERIFY(!fetched->image);
            QCOMPARE(privateFolder.entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList());
        }
    }

    // A download stopped on its way (the program ends) leaves no part of
    // the image behind.
    void abandonedImageLeavesNothing()
    {
        TestEnv env;
        LocalUpdateHost host;
        const QByteArray image(100 * 1024, 'i');
        host.put(QStringLiteral("image.dat"), image);
        host.put(QStringLiteral("image.dat.mode"), "trickle 20");
        ImageDownload download;
        bool told = false;
        download.start(host.url() + QStringLiteral("/image.dat"), signedEntry(image), {5000, 60000},
                       [&](FetchedImage&&) { told = true; });
        const QDir privateFolder(privateTempFolder());
        QVERIFY(waitUntil([&] { return QFileInfo(privateFolder.filePath(privateFolder.entryList(QDir::Files).value(0))).size() > 0; }));
        download.abandon();
        QCOMPARE(privateFolder.entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList());
        QTest::qWait(100);
        QVERIFY(!told);
    }

    void linesAndMailData()
    {
        QCOMPARE(qpt::linefiles::split("a\r\nb\nc\rd\r\n"), (QList<QByteArray>{"a", "b", "c", "d"}));
        QCOMPARE(qpt::linefiles::split("a\r\n\r\nb"), (QList<QByteArray>{"a", "", "b"}));
        QCOMPARE(qpt::linefiles::split(QByteArray()), QList<QByteArray>());

        QCOMPARE(MailDialogue::recipientsFrom(QStringLiteral("a@x, b@y,")), (QStringList{"a@x", "b@y"}));
        QCOMPARE(MailDialogue::dataBlock("Subject: S\r\n\r\none\r\n.\r\n.two\r\n"),
                 QByteArray("Subject: S\r\n\r\none\r\n..\r\n..two\r\n.\r\n"));
        const QList<QByteArray> ehlo{"250-relay.example", "250-SIZE 100", "250-8BITMIME", "250-STARTTLS", "250 HELP"};
        QVERIFY(MailDialogue::offers(ehlo, "8BITMIME"));
        QVERIFY(MailDialogue::offers(ehlo, "STARTTLS"));
        QVERIFY(MailDialogue::offers({"250-relay.example", "250 starttls"}, "STARTTLS"));
        QVERIFY(!MailDialogue::offers({"250-relay.example", "250 HELP"}, "8BITMIME"));
        QVERIFY(!MailDialogue::offers({"250-STARTTLSX", "250 HELP"}, "STARTTLS"));
    }
};

QTEST_MAIN(TestDownload)
#include "test_download.moc"
