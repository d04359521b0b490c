// Pages and transfers from a hostile host on this machine. For each, the
// Online System (in this process) keeps running, its window thread answers
// (never more than a second between two ticks of a 20 ms timer, the page's
// full layout included), this process stays under a memory bound (and each
// page grows it by less than a bound of its own), and what the user sees
// is the truth.

#include "internet/online_system.h"
#include "internet/pages/page_sanitiser.h"
#include "internet/pages/page_tags.h"
#include "internet/pages/picture_header.h"
#include "internet/pages/web_browser.h"
#include "internet/update/update_check.h"
#include "internet/windows/online_window.h"
#include "internet/windows/progress_window.h"
#include "local_servers.h"
#include "tests/support/test_env.h"

#include "common/dialogs.h"
#include "common/settings_store.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTest>
#include <QTextDocument>

using namespace qpt;
using namespace qpt::internet;
using qpt::test::LocalUpdateHost;
using qpt::test::ReleaseSigner;
using qpt::test::TestEnv;
using qpt::test::WindowThreadProbe;
using qpt::test::waitUntil;

namespace {

constexpr qint64 kMemoryBoundKiB = 200 * 1024;
constexpr qint64 kPageGrowthKiB = 96 * 1024;
constexpr qint64 kLongestGapMs = 1000;

QByteArray repeated(const QByteArray& piece, int times)
{
    QByteArray bytes;
    bytes.reserve(piece.size() * times);
    for (int i = 0; i < times; ++i)
        bytes += piece;
    return bytes;
}

QByteArray pictures(int count)
{
    QByteArray tags;
    for (int i = 0; i < count; ++i)
        tags += "<img src=\"pic" + QByteArray::number(i) + ".png\">";
    return tags;
}

// One start tag with that many attributes.
QByteArray tagWithAttributes(int count)
{
    QByteArray tag = "<p";
    for (int i = 0; i < count; ++i)
        tag += " a" + QByteArray::number(i);
    return tag + ">";
}

}  // namespace

class TestHostile : public QObject {
    Q_OBJECT
private slots:
    // What of a page reaches the layout: formatting and text, with its
    // addresses made absolute; not code, styles, local files or more than
    // the caps allow.
    void safeSubset_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QStringList>("kept");
        QTest::addColumn<QStringList>("gone");
        QTest::newRow("formatting and links")
            << QByteArray("<html><body bgcolor=\"#fff\"><h1 align=center>News</h1><p>See <a href=\"notes.txt\">notes</a> "
                          "or <a href=\"mailto:x@y.example\">mail</a></p></body></html>")
            << QStringList{"<body bgcolor=\"#fff\">", "<h1 align=\"center\">News</h1>",
                           "<a href=\"http://host.example/os/notes.txt\">notes</a>", "href=\"mailto:x@y.example\""}
            << QStringList{};
        QTest::newRow("mail links with their addressees and text only")
            << QByteArray("<a href=\"mailto:x@y.example?attach=/home/user/.ssh/id_rsa&subject=Bug&Attachment=/etc/passwd\">m</a>")
            << QStringList{"<a href=\"mailto:x@y.example?subject=Bug\">m</a>"} << QStringList{"attach", "id_rsa", "passwd"};
        QTest::newRow("code, styles and local files")
            << QByteArray("<p style=\"font-size:900pt\" onclick=\"x()\">t</p><script>alert(1)</script><style>p{}</style>"
                          "<a href=\"file:///etc/passwd\">f</a><a href=\"javascript:x()\">j</a><img src=\"file:///dev/zero\">"
                          "<iframe src=\"http://evil.example\">inside</iframe>")
            << QStringList{"<p>t</p>", "<a>f</a>", "<a>j</a>"}
            << QStringList{"style", "onclick", "alert", "p{}", "file:", "javascript", "<img", "iframe", "inside"};
        QTest::newRow("tables three deep, then text")
            << QByteArray("<table><tr><td><table><tr><td><table><tr><td><table><tr><td>four</td></tr></table></td></tr>"
                          "</table></td></tr></table></td></tr></table>")
            << QStringList{"<table><tr><td><table><tr><td><table><tr><td>", "four</td>"}
            << QStringList{"<td><table><tr><td><table><tr><td><table>"};
        QTest::newRow("numbers within bounds")
            << QByteArray("<table width=\"100000\" border=\"3\"><tr><td colspan=\"65535\" rowspan=\"2\">x</td></tr></table>"
                          "<img src=\"p.png\" width=\"99999\" height=\"40\">")
            << QStringList{"<table border=\"3\">", "<td rowspan=\"2\">", "<img src=\"http://host.example/os/p.png\" height=\"40\">"}
            << QStringList{"100000", "65535", "99999"};
        QTest::newRow("a long word gets break opportunities")
            << QByteArray("<p>") + QByteArray(200, 'w') + "</p>"
            << QStringList{QString(64, QLatin1Char('w')) + QChar(0x200B) + QString(64, QLatin1Char('w'))}
            << QStringList{QString(65, QLatin1Char('w'))};
        QTest::newRow("text that is no HTML") << QByteArray("line one\nline <two> & three\n")
                                              << QStringList{"line one<br>line &lt;two&gt; &amp; three<br>"}
                                              << QStringList{};
        QTest::newRow("attributes past the 32nd are cut")
            << QByteArray("<p align=center") + tagWithAttributes(40).mid(2) + "x</p><p"
                   + tagWithAttributes(40).mid(2).chopped(1) + " align=left>y</p>"
            << QStringList{"<p align=\"center\">x</p>", "<p>y</p>"} << QStringList{"left"};
        QTest::newRow("a tag cut within a quoted value")
            << QByteArray("<p title=\"") + QByteArray(3000, 't') + " align=center\">text</p><p>after</p>"
            << QStringList{"<p>text</p><p>after</p>"} << QStringList{"center"};
        QTest::newRow("scripts and comments with tags inside")
            << QByteArray("<script>if (a<b && c) x = \"</p>\";</script><!-- <p \"> --><p>shown</p>")
            << QStringList{"<p>shown</p>"} << QStringList{"if (a", "x =", "--"};
        QTest::newRow("no-break spaces are no breaks, joiners go")
            << QByteArray("<p>") + QByteArray("w\xc2\xa0").repeated(100) + "a\xe2\x81\xa0" "b\xef\xbb\xbf" "c</p>"
            << QStringList{QString(QChar(0x200B)), QStringLiteral("abc")} << QStringList{};
        QTest::newRow("pictures only from the page's own site")
            << QByteArray("<img src=\"https://host.example/twin.png\"><img src=\"http://elsewhere.example/p.png\">"
                          "<img src=\"http://host.example:81/port.png\"><img src=\"http://192.168.1.1/router.png\">")
            << QStringList{"<img src=\"https://host.example/twin.png\">"}
            << QStringList{"elsewhere", "port.png", "router"};
    }
    void safeSubset()
    {
        QFETCH(QByteArray, page);
        QFETCH(QStringList, kept);
        QFETCH(QStringList, gone);
        const SanitisedPage safe = sanitisePage(page, QUrl(QStringLiteral("http://host.example/os/index.txt")));
        for (const QString& piece : kept)
            QVERIFY2(safe.html.contains(piece), qPrintable(safe.html));
        for (const QString& piece : gone)
            QVERIFY2(!safe.html.contains(piece), qPrintable(safe.html));
    }

    // Which JPEGs Qt decodes scaled as it reads, from their frame header:
    // sequential ones of one or three components. The walk over the
    // segments stops at the image data, the end, or a length out of place.
    void jpegFrameHeaders()
    {
        const QByteArray app0 = QByteArray::fromHex("ffe000104a46494600010100000100010000");
        const auto frame = [](quint8 marker, quint8 components) {
            return QByteArray::fromHex("ff") + char(marker) + QByteArray::fromHex("000b0800100010") + char(components)
                 + QByteArray::fromHex("011100");
        };
        const QByteArray start = QByteArray::fromHex("ffd8");
        QCOMPARE(jpegFrame(start + app0 + frame(0xC0, 3))->marker, 0xC0);
        QCOMPARE(jpegFrame(start + app0 + QByteArray::fromHex("ffff") + frame(0xC2, 4))->components, 4);
        QCOMPARE(jpegFrame(start + QByteArray::fromHex("ffc4000400ff") + frame(0xC1, 1))->marker, 0xC1);  // DHT is no frame
        QVERIFY(!jpegFrame(start + QByteArray::fromHex("ffda000c") + frame(0xC0, 3)));  // the data first
        QVERIFY(!jpegFrame(start + QByteArray::fromHex("ffe00001") + frame(0xC0, 3)));  // a length below its own
        QVERIFY(!jpegFrame(start + app0.left(10)));
        QVERIFY(!jpegFrame(start + frame(0xC0, 3).left(9)));
        QVERIFY(!jpegFrame(QByteArray::fromHex("89504e47") + frame(0xC0, 3)));

        QVERIFY(decodesScaled("jpeg", start + app0 + frame(0xC0, 3)));
        QVERIFY(decodesScaled("jpeg", start + frame(0xC1, 1)));
        for (const quint8 marker : {0xC2, 0xC3, 0xC9, 0xCA})
            QVERIFY(!decodesScaled("jpeg", start + frame(marker, 3)));
        QVERIFY(!decodesScaled("jpeg", start + frame(0xC0, 4)));
        QVERIFY(!decodesScaled("jpeg", start + app0));
    }

    // The byte-level pass before the parser: tags within their length and
    // attribute caps, no more tags than the cap, everything else as it was.
    void boundedTags()
    {
        const QByteArray plain = "<p class=\"a>b\" id=x>a < b &amp; c</p><!-- <p \"> --><script>a<b</script>";
        QCOMPARE(boundTags(plain, 2048, 32, 1000), plain);
        const QByteArray many = tagWithAttributes(40000) + "x</p>";
        QCOMPARE(boundTags(many, 2048, 32, 1000), tagWithAttributes(32).chopped(1) + " >x</p>");
        const QByteArray bounded = boundTags("<p title='" + QByteArray(5000, 'v') + "'>x</p>", 2048, 32, 1000);
        QCOMPARE(bounded, "<p title='" + QByteArray(2048 - 10, 'v') + "'>x</p>");
        QCOMPARE(boundTags("<b>1</b><i>2</i>", 2048, 32, 3), QByteArray("<b>1</b><i>2"));
    }

    // However many picture elements a page has, at most the cap of them are
    // shown; the same picture a thousand times is a thousand elements.
    void pictureCap()
    {
        const QUrl base(QStringLiteral("http://host.example/os/index.txt"));
        const SanitisedPage same = sanitisePage(
            "<p>x</p>" + repeated("<img src=\"same.png\" width=2000 height=2000>", 4000), base);
        QCOMPARE(same.html.count(QStringLiteral("<img")), PageLimits{}.maxPictures);
        QCOMPARE(same.pictures.size(), 1);
        const SanitisedPage many = sanitisePage("<p>x</p>" + pictures(30), base);
        QCOMPARE(many.html.count(QStringLiteral("<img")), PageLimits{}.maxPictures);
        QCOMPARE(many.pictures.size(), PageLimits{}.maxPictures);
    }

    // Each page as it was tried, with a line of text that must be shown.
    void pages_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QString>("pictureMode");  // how pic<N>.png is served
        QTest::addColumn<int>("pictureCount");     // how many of them are served
        QTest::addColumn<QString>("pageMode");     // how the page itself is served
        QTest::addColumn<int>("picturesShown");    // -1: not looked at
        const QByteArray head = "<html><body><p>Tirk news</p>";
        const qsizetype room = WebBrowser::kPageLimit - head.size() - 16;  // the most a page may bring
        QTest::newRow("3000 nested tables")
            << head + repeated("<table><tr><td>", 3000) + "deep" + repeated("</td></tr></table>", 3000) << QString() << 0
            << QString() << -1;
        QTest::newRow("24 nested tables")
            << head + repeated("<table border=1><tr><td>x</td><td>", 24) + "deep" + repeated("</td></tr></table>", 24)
            << QString() << 0 << QString() << -1;
        QTest::newRow("100000 nested elements") << head + repeated("<b><div>", 50000) + "deep" << QString() << 0
                                                << QString() << -1;
        QTest::newRow("3 MB line without a space") << head + QByteArray(3 * 1000 * 1000, 'w') << QString() << 0
                                                   << QString() << -1;
        QTest::newRow("one tag with 40000 attributes") << head + tagWithAttributes(40000) + "x</p>" << QString() << 0
                                                       << QString() << -1;
        QTest::newRow("one tag of 4 MiB") << head + "<p title=\"" + QByteArray(room - 16, 't') + "\">x</p>" << QString()
                                          << 0 << QString() << -1;
        QTest::newRow("4 MiB of line breaks") << head + repeated("<br>", int(room / 4)) << QString() << 0 << QString()
                                              << -1;
        QTest::newRow("4 MiB of links") << head + repeated("<a href=x>y</a>", int(room / 15)) << QString() << 0
                                        << QString() << -1;
        QTest::newRow("4 MiB of end tags that close nothing")
            << head + repeated("<b>", 250) + repeated("</i>", int(room / 4) - 200) << QString() << 0 << QString() << -1;
        QTest::newRow("24 pictures of 5700 x 5700") << head + pictures(24) << "png 5700 5700" << 24 << QString() << 0;
        QTest::newRow("24 pictures of 4000 x 4000") << head + pictures(24) << "png 4000 4000" << 24 << QString() << 8;
        QTest::newRow("30 pictures, more than the cap") << head + pictures(30) << "png 200 200" << 30 << QString()
                                                        << 24;
        // Qt decodes these whole before it scales them: large ones are
        // not decoded at all, small ones are shown.
        QTest::newRow("4 pictures jpeg of 4000 x 4000") << head + pictures(4) << "jpeg 4000 4000" << 4 << QString() << 4;
        for (const char* kind : {"png-interlaced", "png16", "bmp", "gif", "jpeg-progressive", "jpeg-cmyk"}) {
            QTest::addRow("4 pictures %s of 4000 x 4000", kind)
                << head + pictures(4) << QString::fromLatin1(kind) + " 4000 4000" << 4 << QString() << 0;
            QTest::addRow("4 pictures %s of 1000 x 1000", kind)
                << head + pictures(4) << QString::fromLatin1(kind) + " 1000 1000" << 4 << QString() << 4;
        }
        QTest::newRow("200 MB of zeros, compressed") << QByteArray("x") << QString() << 0 << "gzip 200" << -1;
        QTest::newRow("endless page") << head + QByteArray(60000, 'n') << QString() << 0 << "endless" << -1;
    }
    void pages()
    {
        QFETCH(QByteArray, page);
        QFETCH(QString, pictureMode);
        QFETCH(int, pictureCount);
        QFETCH(QString, pageMode);
        QFETCH(int, picturesShown);
        TestEnv env;
        LocalUpdateHost host;
        host.put(QStringLiteral("index.txt"), page);
        if (!pageMode.isEmpty())
            host.put(QStringLiteral("index.txt.mode"), pageMode.toLatin1());
        for (int i = 0; i < pictureCount; ++i) {
            host.put(QStringLiteral("pic%1.png").arg(i), "x");
            host.put(QStringLiteral("pic%1.png.mode").arg(i), pictureMode.toLatin1());
        }
        QVERIFY(qpt::test::resetPeakResident());
        const qint64 before = qpt::test::residentKiB();

        WebBrowser browser;
        browser.resize(640, 480);
        browser.show();
        WindowThreadProbe probe;
        browser.navigate(host.url() + QStringLiteral("/index.txt"));
        QVERIFY(waitUntil([&] { return !browser.isBusy(); }, 90000));
        // The whole layout, as painting the page would need it.
        QElapsedTimer layout;
        layout.start();
        browser.document()->setTextWidth(browser.viewport()->width());
        QVERIFY(browser.document()->size().height() > 0);
        browser.grab();
        QVERIFY2(layout.elapsed() < kLongestGapMs, qPrintable(QString::number(layout.elapsed())));
        QTest::qWait(50);
        QVERIFY2(probe.longestGapMs() < kLongestGapMs, qPrintable(QString::number(probe.longestGapMs())));
        QVERIFY2(qpt::test::peakResidentKiB() < kMemoryBoundKiB, qPrintable(QString::number(qpt::test::peakResidentKiB())));
        const qint64 growth = qpt::test::peakResidentKiB() - before;
        QVERIFY2(growth < kPageGrowthKiB, qPrintable(QStringLiteral("%1 KiB more").arg(growth)));

        const QString text = browser.toPlainText();
        if (pageMode == QLatin1String("endless")) {
            QVERIFY(text.contains(QStringLiteral("too large")));
        } else if (pageMode.startsWith(QLatin1String("gzip"))) {
            QVERIFY(text.size() < 5 * 1024 * 1024);  // what came, not what it unpacks to
        } else {
            QVERIFY(text.contains(QStringLiteral("Tirk news")));
            QVERIFY(text.size() <= 110000);
        }
        if (picturesShown >= 0) {
            int shown = 0;
            for (int i = 0; i < pictureCount; ++i) {
                const QImage picture = browser.pictures().picture(QUrl(host.url() + QStringLiteral("/pic%1.png").arg(i)));
                if (!picture.isNull()) {
                    ++shown;
                    QVERIFY(picture.width() <= 1024 && picture.height() <= 1024);
                }
            }
            QCOMPARE(shown, picturesShown);
        }
    }

    // A browser closed while a page is still being read: the reading ends
    // on its own, with nobody to tell and nobody waiting.
    void browserGoneWhileReading()
    {
        const QByteArray page = "<html><body><p>Tirk news</p>" + repeated("<a href=x>y</a>", 250000);
        for (int i = 0; i < 3; ++i) {
            WebBrowser browser;
            browser.navigate(QUrl(QStringLiteral("http://127.0.0.1:%1/index.txt").arg(qpt::test::closedPort())));
            browser.showPage(page);
            QVERIFY(browser.isBusy());
        }
        QTest::qWait(1500);
    }

    // A page closed while its pictures are still being decoded: the
    // decoding ends on its own, with nobody to tell and nobody waiting.
    void browserGoneWhileDecoding()
    {
        TestEnv env;
        LocalUpdateHost host;
        host.put(QStringLiteral("index.txt"), "<html><body><p>Tirk news</p>" + pictures(4) + "</body></html>");
        for (int i = 0; i < 4; ++i) {
            host.put(QStringLiteral("pic%1.png").arg(i), "x");
            host.put(QStringLiteral("pic%1.png.mode").arg(i), "png 4000 4000");
        }
        {
            WebBrowser browser;
            browser.navigate(host.url() + QStringLiteral("/index.txt"));
            QVERIFY(waitUntil([&] { return browser.toPlainText().contains(QStringLiteral("Tirk news")); }, 30000));
            QVERIFY(browser.pictures().isBusy());
            QTest::qWait(300);
        }
        QTest::qWait(1500);
    }

    // A host that drips a byte now and then keeps no transfer alive for
    // ever: the version file ends as no connection, the image as an error.
    void drippingHost_data()
    {
        QTest::addColumn<QString>("dripping");  // the file that drips
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<QStringList>("titles");
        QTest::newRow("version file") << "version.txt" << QStringList{"Cancel"} << QStringList{"No Internet Connection"};
        QTest::newRow("program image") << "download/option.dat" << QStringList{"Yes", "Cancel"}
                                       << QStringList{"A Newer Version Of Option Available", "Error"};
    }
    void drippingHost()
    {
        QFETCH(QString, dripping);
        QFETCH(QStringList, answers);
        QFETCH(QStringList, titles);
        TestEnv env;
        LocalUpdateHost host;
        ReleaseSigner signer;
        signer.trustIn(env.appDir());
        const QString system = env.root() + QStringLiteral("/system");
        QDir().mkpath(system);
        TestEnv::writeFile(system + QStringLiteral("/osplinfo.dll"), QByteArray());
        qputenv("QPT_SYSTEM_DIR", system.toLocal8Bit());
        qputenv("QPT_UPDATE_URL", host.url().toLocal8Bit());
        TestEnv::writeFile(env.app(QStringLiteral("loading.ifo")), "<html><body>Loading</body></html>");
        SettingsStore::write(QStringLiteral("Option"), QStringLiteral("v1.00"));
        SettingsStore::write(QStringLiteral("AppPath"), env.appDir());
        host.putPages();
        host.putVersionFile({"PlayVer=", "OptiVer=v1.01", "OSV=v1.00", "Update=x"});
        signer.publish(host, {{QStringLiteral("option.dat"), {QStringLiteral("v1.01"), QByteArray(4000, 'o')}}});
        // A byte every 100 ms, well within the idle limit.
        host.put(QStringLiteral("mainpage/os/Tirk/") + dripping + QStringLiteral(".mode"), "trickle 100");

        Dialogs::scriptAnswers(answers);
        WindowThreadProbe probe;
        QElapsedTimer clock;
        clock.start();
        {
            OnlineSystem os;
            os.mainWindow()->updateCheck().setLimits({kMaxVersionFileBytes, 1000, 2000, 2000, 10000});
            os.start();
            QVERIFY(waitUntil([&] { return os.hasEnded(); }, 30000));
        }
        QVERIFY(clock.elapsed() < 15000);
        QStringList shown;
        for (const DialogRecord& record : Dialogs::records())
            shown << record.title;
        QCOMPARE(shown, titles);
        QVERIFY(probe.longestGapMs() < kLongestGapMs);
        QVERIFY(qpt::test::peakResidentKiB() < kMemoryBoundKiB);
        QCOMPARE(TestEnv::readFile(env.app(QStringLiteral("option.dat"))), QByteArray());
        qunsetenv("QPT_SYSTEM_DIR");
        qunsetenv("QPT_UPDATE_URL");
    }
};

QTEST_MAIN(TestHostile)
#include "test_hostile.moc"
