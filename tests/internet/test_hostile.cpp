// Pages and transfers from a hostile host on this machine. For each, the
// Online System (in this process) keeps running, its window thread answers
// (never more than a second between two ticks of a 20 ms timer, the page's
// full layout included), this process stays under a memory bound, and what
// the user sees is the truth.

#include "internet/online_system.h"
#include "internet/online_window.h"
#include "internet/page_sanitiser.h"
#include "internet/progress_window.h"
#include "internet/update_check.h"
#include "internet/web_browser.h"
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

    // Each page as it was tried, with a line of text that must be shown.
    void pages_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QString>("pictureMode");  // how pic<N>.png is served
        QTest::addColumn<QString>("pageMode");     // how the page itself is served
        QTest::addColumn<int>("picturesShown");    // -1: not looked at
        const QByteArray head = "<html><body><p>Tirk news</p>";
        QTest::newRow("3000 nested tables")
            << head + repeated("<table><tr><td>", 3000) + "deep" + repeated("</td></tr></table>", 3000) << QString()
            << QString() << -1;
        QTest::newRow("24 nested tables")
            << head + repeated("<table border=1><tr><td>x</td><td>", 24) + "deep" + repeated("</td></tr></table>", 24)
            << QString() << QString() << -1;
        QTest::newRow("100000 nested elements") << head + repeated("<b><div>", 50000) + "deep" << QString() << QString() << -1;
        QTest::newRow("3 MB line without a space") << head + QByteArray(3 * 1000 * 1000, 'w') << QString() << QString() << -1;
        QTest::newRow("24 pictures of 5700 x 5700") << head + pictures(24) << "png 5700 5700" << QString() << 0;
        QTest::newRow("24 pictures of 4000 x 4000") << head + pictures(24) << "png 4000 4000" << QString() << 8;
        QTest::newRow("200 MB of zeros, compressed") << QByteArray("x") << QString() << "gzip 200" << -1;
        QTest::newRow("endless page") << head + QByteArray(60000, 'n') << QString() << "endless" << -1;
    }
    void pages()
    {
        QFETCH(QByteArray, page);
        QFETCH(QString, pictureMode);
        QFETCH(QString, pageMode);
        QFETCH(int, picturesShown);
        TestEnv env;
        LocalUpdateHost host;
        host.put(QStringLiteral("index.txt"), page);
        if (!pageMode.isEmpty())
            host.put(QStringLiteral("index.txt.mode"), pageMode.toLatin1());
        for (int i = 0; i < 24 && !pictureMode.isEmpty(); ++i) {
            host.put(QStringLiteral("pic%1.png").arg(i), "x");
            host.put(QStringLiteral("pic%1.png.mode").arg(i), pictureMode.toLatin1());
        }

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
            for (int i = 0; i < 24; ++i) {
                const QImage picture = browser.pictures().picture(QUrl(host.url() + QStringLiteral("/pic%1.png").arg(i)));
                if (!picture.isNull()) {
                    ++shown;
                    QVERIFY(picture.width() <= 1024 && picture.height() <= 1024);
                }
            }
            QCOMPARE(shown, picturesShown);
        }
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
