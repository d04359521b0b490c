// The bug-report form and its mail through a real SMTP relay, plain or
// encrypted with STARTTLS. The dialogue's fixed pauses are ended by the test
// as they begin, and recorded.
//
// Every row that talks to a relay runs alone in a fresh process
// (eachMailRowInAFreshProcess): what one row leaves behind process-wide,
// the default TLS configuration above all, must not make another pass.

#include "internet/online_system.h"
#include "internet/pages/web_browser.h"
#include "internet/shared/download.h"
#include "internet/windows/bug_report_form.h"
#include "internet/windows/online_window.h"
#include "local_servers.h"
#include "tests/support/test_env.h"

#include "common/dialogs.h"
#include "common/settings_store.h"

#include <QComboBox>
#include <QJsonArray>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

using namespace qpt;
using namespace qpt::internet;
using qpt::test::LocalMailRelay;
using qpt::test::LocalUpdateHost;
using qpt::test::TestCertificates;
using qpt::test::TestEnv;
using qpt::test::waitUntil;

namespace {

constexpr const char* kAloneVariable = "QPT_TEST_MAIL_ROW_ALONE";

// The functions whose rows talk to a relay.
const QStringList kMailFunctions{"reportReachesTheMailbox", "failuresKeepTheForm", "hostileRelays",
                                 "encryptionThatFailsSendsNothing", "plainRelaysGetNothingByDefault"};

// In the test's own process a mail row is left to its fresh process.
#define RUN_ALONE()                                                                                                   \
    if (!qEnvironmentVariableIsSet(kAloneVariable))                                                                  \
        QSKIP("runs alone in a fresh process (eachMailRowInAFreshProcess)");

const QString kSent = QStringLiteral("Report Successfully Send...\r\nThanks alot...\r\n"
                                     "You will soon get an answer regarding your Bug Report...");
const QString kSending = QStringLiteral("Sending Report... Please Wait...");

QString failureText(const QString& mailbox)
{
    return QStringLiteral("Your Bug Report where not send... Please Try Again...\r\n"
                          "NB: If you are behind a firewall this might be the problem.\r\n"
                          "If you have any quistions, please send a email to ")
         + mailbox;
}

// The authority the relays' certificates come from, trusted by the
// Online System of every test folder (named before its OnlineSystem).
TestCertificates& trusted()
{
    static TestCertificates certificates;
    return certificates;
}

struct ReportWorld {
    TestEnv env;
    bool authorityTrusted = qpt::test::trustAuthorityIn(env.appDir(), trusted());
    OnlineSystem os;
    OnlineWindow& main = *os.mainWindow();
    QVector<double> pauses;  // seconds, as the dialogue began them
    bool endPauses = true;   // false: the pauses take their time

    explicit ReportWorld(const QString& relay, const QString& mailbox = QStringLiteral("bugs@tirk.example"))
    {
        qputenv("QPT_MAIL_RELAY", relay.toLocal8Bit());
        qputenv("QPT_MAILBOX", mailbox.toLocal8Bit());
        qputenv("QPT_MAIL_SENDER", "onlinesystem@tirk.example");
        SettingsStore::write(QStringLiteral("PlayerVer"), QStringLiteral("Quorbel Player Tirk v1.00"));
        SettingsStore::write(QStringLiteral("Option"), QStringLiteral("v1.00"));
        Dialogs::scriptAnswers({});
        main.reportForm->setMailReplyTimeout(2000);
        main.statusLabel->setCaption(QStringLiteral("Your Player Ver.: v1.00"));
        // Each pause ends as soon as it has begun (from the event loop).
        QObject::connect(main.reportForm, &BugReportForm::mailPausing, main.reportForm, [this](int ms) {
            pauses << ms / 1000.0;
            if (endPauses)
                QMetaObject::invokeMethod(main.reportForm, &BugReportForm::endMailPause, Qt::QueuedConnection);
        });
    }
    // The relay may go without encryption (product.ini).
    void allowPlainMail() const
    {
        QVERIFY(qpt::test::setProductKey(env.appDir(), QStringLiteral("MailWithoutEncryption"), QStringLiteral("true")));
    }
    ~ReportWorld()
    {
        qunsetenv("QPT_MAIL_RELAY");
        qunsetenv("QPT_MAILBOX");
        qunsetenv("QPT_MAIL_SENDER");
    }

    void fillIn(const QString& description)
    {
        main.reportForm->emailEdit->setText(QStringLiteral("me@home.example"));
        main.reportForm->osChoice->setCurrentText(QStringLiteral("WindowsXP"));
        main.reportForm->cpuChoice->setCurrentText(QStringLiteral("201-400Mhz"));
        main.reportForm->frequencyChoice->setCurrentText(QStringLiteral("Few Times"));
        main.reportForm->descriptionEdit->setPlainText(description);
    }
    // Sends and waits until the status leaves "Sending...".
    bool send()
    {
        main.reportForm->sendButton->click();
        return waitUntil([&] { return main.statusLabel->caption() != kSending; }, 20000);
    }
    bool formCleared() const
    {
        return main.reportForm->emailEdit->text().isEmpty() && main.reportForm->descriptionEdit->toPlainText().isEmpty()
            && main.reportForm->osChoice->currentText() == QLatin1String("Don't Know")
            && main.reportForm->cpuChoice->currentText() == QLatin1String("Don't Know")
            && main.reportForm->frequencyChoice->currentText() == QLatin1String("Don't Know");
    }
};

}  // namespace

class TestBugReport : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(trusted().isReady());
    }

    void formItemsAndReveal()
    {
        TestEnv env;
        LocalUpdateHost host;
        host.putPages();
        qputenv("QPT_UPDATE_URL", host.url().toLocal8Bit());
        OnlineSystem os;
        OnlineWindow& main = *os.mainWindow();
        auto items = [](QComboBox* box) {
            QStringList list;
            for (int i = 0; i < box->count(); ++i)
                list << box->itemText(i);
            return list;
        };
        QCOMPARE(items(main.reportForm->osChoice), (QStringList{"Don't Know", "WindowsNT", "Windows95", "Windows98", "WindowsME",
                                                 "Windows2000", "WindowsXP"}));
        QCOMPARE(items(main.reportForm->cpuChoice), (QStringList{"Don't Know", "0-200MHz", "201-400Mhz", "401-600MHz", "601-800MHz",
                                                  "801 or higher"}));
        QCOMPARE(items(main.reportForm->frequencyChoice), (QStringList{"Don't Know", "Very Often", "Often", "Few Times", "Under 5 Times",
                                                    "Only 1 Time"}));
        QCOMPARE(main.reportForm->osChoice->currentText(), QStringLiteral("Don't Know"));
        QCOMPARE(main.reportForm->cancelButton->caption(), QStringLiteral("Cancel Report"));
        QCOMPARE(main.reportForm->sendButton->caption(), QStringLiteral("Send Report"));

        // The host's page links to the loading page: a click goes there, and
        // the next tick of the 4-second timer reveals the form.
        const QString base = host.url() + QStringLiteral("/mainpage/os/Tirk/");
        main.browser->navigate(base + QStringLiteral("index.txt"));
        main.reportForm->checkForReportPage();
        QVERIFY(!main.browser->isHidden());
        main.browser->showPage("<html><body><a href=\"loadingbugreport.txt\">Report a bug</a></body></html>");
        emit main.browser->anchorClicked(QUrl(QStringLiteral("loadingbugreport.txt")));
        QCOMPARE(main.browser->location().toString(), base + QStringLiteral("loadingbugreport.txt"));
        main.reportForm->checkForReportPage();
        QVERIFY(main.browser->isHidden());
        QVERIFY(!main.reportForm->isHidden());
        QCOMPARE(main.browser->location().toString(), base + QStringLiteral("bugreport.txt"));
        QVERIFY(waitUntil([&] { return !main.browser->isBusy(); }));
        QVERIFY(main.browser->toPlainText().contains(QStringLiteral("bugreport")));

        // Cancel Report: back to the browser on the report page, form empty.
        main.reportForm->emailEdit->setText(QStringLiteral("x@y"));
        main.reportForm->frequencyChoice->setCurrentText(QStringLiteral("Often"));
        main.reportForm->leaveForm();
        QVERIFY(!main.browser->isHidden());
        QCOMPARE(main.browser->location().toString(), base + QStringLiteral("bugreport.txt"));
        QCOMPARE(main.reportForm->cancelButton->caption(), QStringLiteral("Cancel Report"));
        QVERIFY(main.reportForm->emailEdit->text().isEmpty());
        QCOMPARE(main.reportForm->frequencyChoice->currentText(), QStringLiteral("Don't Know"));
        qunsetenv("QPT_UPDATE_URL");
    }

    void emptyFieldsAreRefused()
    {
        ReportWorld world(QStringLiteral("127.0.0.1:%1").arg(qpt::test::closedPort()));
        world.main.reportForm->sendReport();
        world.main.reportForm->emailEdit->setText(QStringLiteral("me@home.example"));
        world.main.reportForm->sendReport();
        QVERIFY(waitUntil([] { return Dialogs::records().size() == 2; }));
        const QVector<DialogRecord>& records = Dialogs::records();
        QCOMPARE(records.size(), 2);
        QCOMPARE(records[0].title, QStringLiteral("OS"));
        QCOMPARE(records[0].text, QStringLiteral("You didn't write any email address."));
        QCOMPARE(records[1].text, QStringLiteral("You didn't write any discription."));
        QCOMPARE(records[1].icon, QStringLiteral("information"));
        QCOMPARE(records[1].buttons, QStringLiteral("OK"));
        QVERIFY(world.main.reportForm->sendButton->isEnabled());
        QCOMPARE(world.main.statusLabel->caption(), QStringLiteral("Your Player Ver.: v1.00"));
    }

    // The report arrives as a standard message that Python's email package
    // reads without complaint, with its non-ASCII text intact: sent as it
    // is where the relay takes 8-bit data, quoted-printable where it does
    // not, and to a relay that knows only HELO.
    void reportReachesTheMailbox_data()
    {
        QTest::addColumn<QStringList>("relayOptions");
        QTest::addColumn<QString>("encoding");
        QTest::newRow("8BITMIME offered") << QStringList() << "8bit";
        QTest::newRow("no 8BITMIME") << QStringList{"--no-8bitmime"} << "quoted-printable";
        QTest::newRow("HELO only") << QStringList{"--helo-only"} << "quoted-printable";
        QTest::newRow("STARTTLS offered") << QStringList{"--starttls", trusted().certificateFile(), trusted().keyFile()}
                                          << "8bit";
    }
    void reportReachesTheMailbox()
    {
        RUN_ALONE();
        QFETCH(QStringList, relayOptions);
        QFETCH(QString, encoding);
        LocalMailRelay relay(relayOptions);
        QVERIFY(relay.isListening());
        ReportWorld world(relay.address(), QStringLiteral("bugs@tirk.example,triage@tirk.example"));
        if (!relayOptions.contains(QStringLiteral("--starttls")))
            world.allowPlainMail();
        const QString description = QStringLiteral("Grüße: ça plante — 日本語 = «x»\n.\n.dotted line\n")
                                  + QString(120, QLatin1Char('w')) + QStringLiteral(" end\nlast line ");
        world.fillIn(description);
        QVERIFY(world.send());
        QCOMPARE(world.main.statusLabel->caption(), kSent);

        const auto messages = relay.messages();
        QCOMPARE(messages.size(), 1);
        const QJsonObject message = messages.first();
        // Encrypted exactly where the relay offers it.
        QCOMPARE(message.value(QStringLiteral("encrypted")).toBool(), relayOptions.contains(QStringLiteral("--starttls")));
        QCOMPARE(message.value(QStringLiteral("sender")).toString(), QStringLiteral("onlinesystem@tirk.example"));
        QCOMPARE(message.value(QStringLiteral("recipients")).toArray(),
                 (QJsonArray{QStringLiteral("bugs@tirk.example"), QStringLiteral("triage@tirk.example")}));
        QVERIFY(!message.value(QStringLiteral("helo")).toString().isEmpty());
        const bool eightBit = encoding == QLatin1String("8bit");
        QCOMPARE(message.value(QStringLiteral("mail_options")).toArray().contains(QStringLiteral("BODY=8BITMIME")),
                 eightBit);

        const QJsonObject parsed = message.value(QStringLiteral("parsed")).toObject();
        QCOMPARE(parsed.value(QStringLiteral("defects")).toArray(), QJsonArray());
        QMap<QString, QString> headers;
        QStringList order;
        for (const QJsonValue& pair : parsed.value(QStringLiteral("headers")).toArray()) {
            const QString name = pair.toArray().at(0).toString();
            headers.insert(name.toLower(), pair.toArray().at(1).toString());
            order << name;
        }
        QCOMPARE(order, (QStringList{"From", "To", "Date", "Subject", "Message-ID", "MIME-Version", "Content-Type",
                                     "Content-Transfer-Encoding"}));
        QVERIFY(headers.value("from").contains(QStringLiteral("<onlinesystem@tirk.example>")));
        QCOMPARE(headers.value("to"), QStringLiteral("<bugs@tirk.example>, <triage@tirk.example>"));
        QVERIFY(parsed.value(QStringLiteral("date_readable")).toBool());
        QCOMPARE(headers.value("subject"), QStringLiteral("Online System Bug Report"));
        QVERIFY(QRegularExpression(QStringLiteral("^<[^<>@\\s]+@tirk\\.example>$")).match(headers.value("message-id")).hasMatch());
        QCOMPARE(headers.value("mime-version"), QStringLiteral("1.0"));
        QCOMPARE(headers.value("content-type"), QStringLiteral("text/plain; charset=UTF-8"));
        QCOMPARE(parsed.value(QStringLiteral("transfer_encoding")).toString(), encoding);
        QCOMPARE(parsed.value(QStringLiteral("charset")).toString(), QStringLiteral("utf-8"));

        const QStringList lines = parsed.value(QStringLiteral("body")).toString().split(QStringLiteral("\r\n"));
        const QStringList expectedHead = QStringList{
            "OS Bug Report From: me@home.example",
            "",
            "User use WindowsXP as OS",
            "System CPU Speed: 201-400Mhz",
            "User is using Quorbel Player Tirk v1.00",
            "Option Version: v1.00",
            "OS Version: v1.00",
            "User Have Seen The Bug, Few Times",
            "",
            "Bug Report Description: ",
        } + description.split(QLatin1Char('\n'));
        QCOMPARE(lines.mid(0, expectedHead.size()), expectedHead);
        QVERIFY(QRegularExpression(QStringLiteral("^Time: \\d\\d:\\d\\d:\\d\\d / Date: \\d\\d-\\d\\d-\\d\\d\\d\\d$"))
                    .match(lines.value(expectedHead.size()))
                    .hasMatch());
        QCOMPARE(lines.mid(expectedHead.size() + 1), (QStringList{"", "", ""}));  // two empty lines, then the end
        QVERIFY(waitUntil([&] { return relay.quits() == 1; }));

        // The fixed pauses, one per recipient among them.
        QCOMPARE(world.pauses, (QVector<double>{0.3, 0.5, 0.5, 0.5, 0.9, 0.3, 3}));
        QCOMPARE(world.main.reportForm->cancelButton->caption(), QStringLiteral("Back to OS"));
        QVERIFY(world.formCleared());
        QVERIFY(world.main.reportForm->sendButton->isEnabled());
        QVERIFY(world.main.reportForm->cancelButton->isEnabled());

        // Back to OS: the index page and the status from before the send.
        world.main.reportForm->leaveForm();
        QCOMPARE(world.main.reportForm->cancelButton->caption(), QStringLiteral("Cancel Report"));
        QCOMPARE(world.main.statusLabel->caption(), QStringLiteral("Your Player Ver.: v1.00"));
        QVERIFY(world.main.browser->location().toString().endsWith(QStringLiteral("/mainpage/os/Tirk/index.txt")));
    }

    void failuresKeepTheForm_data()
    {
        QTest::addColumn<QStringList>("relayOptions");  // empty with no relay at all
        QTest::addColumn<bool>("relayRuns");
        QTest::newRow("sender refused") << QStringList{"--refuse-sender"} << true;
        QTest::newRow("recipient refused") << QStringList{"--refuse-recipient", "triage@tirk.example"} << true;
        QTest::newRow("relay never answers") << QStringList{"--silent"} << true;
        QTest::newRow("no relay") << QStringList() << false;
    }
    void failuresKeepTheForm()
    {
        RUN_ALONE();
        QFETCH(QStringList, relayOptions);
        QFETCH(bool, relayRuns);
        LocalMailRelay relay(relayOptions);
        const QString address = relayRuns ? relay.address()
                                          : QStringLiteral("127.0.0.1:%1").arg(qpt::test::closedPort());
        const QString mailbox = QStringLiteral("bugs@tirk.example,triage@tirk.example");
        ReportWorld world(address, mailbox);
        world.allowPlainMail();
        world.main.reportForm->setMailReplyTimeout(300);
        world.fillIn(QStringLiteral("Crash on start"));
        QVERIFY(world.send());
        QCOMPARE(world.main.statusLabel->caption(), failureText(mailbox));
        QVERIFY(relay.messages().isEmpty());
        QCOMPARE(world.main.reportForm->emailEdit->text(), QStringLiteral("me@home.example"));
        QCOMPARE(world.main.reportForm->descriptionEdit->toPlainText(), QStringLiteral("Crash on start"));
        QCOMPARE(world.main.reportForm->osChoice->currentText(), QStringLiteral("WindowsXP"));
        QCOMPARE(world.main.reportForm->cancelButton->caption(), QStringLiteral("Cancel Report"));
        QVERIFY(world.main.reportForm->sendButton->isEnabled());
        QVERIFY(world.main.reportForm->cancelButton->isEnabled());
    }

    // Relays that misbehave on purpose: the buffer stays bounded, a reply
    // counts only after its command, an accepted message counts as sent,
    // and nothing goes over a connection whose handshake failed. The
    // window thread answers throughout.
    void hostileRelays_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("status");  // "sent", "failed", "not encrypted"
        QTest::newRow("floods during the pauses") << "flood" << "failed";
        QTest::newRow("floods while a reply is awaited") << "flood-reply" << "failed";
        QTest::newRow("sends the whole script at once") << "script" << "failed";
        QTest::newRow("noise after taking the message") << "noise-after" << "sent";
        QTest::newRow("a handshake that is no handshake") << "broken-tls" << "not encrypted";
        QTest::newRow("silent after saying yes to STARTTLS") << "silent-tls" << "not encrypted";
    }
    void hostileRelays()
    {
        RUN_ALONE();
        QFETCH(QString, mode);
        QFETCH(QString, status);
        qpt::test::HostileRelay relay(mode);
        QVERIFY(relay.isListening());
        ReportWorld world(relay.address());
        if (!mode.endsWith(QLatin1String("-tls")))
            world.allowPlainMail();
        // The flood comes while the first pause takes its time.
        world.endPauses = mode != QLatin1String("flood");
        world.fillIn(QStringLiteral("Crash on start"));
        qpt::test::WindowThreadProbe probe;
        QVERIFY(world.send());
        const QString expected = status == QLatin1String("sent")     ? kSent
                               : status == QLatin1String("failed") ? failureText(QStringLiteral("bugs@tirk.example"))
                                                                   : BugReportForm::notEncryptedText();
        QCOMPARE(world.main.statusLabel->caption(), expected);
        QCOMPARE(world.formCleared(), status == QLatin1String("sent"));
        QVERIFY(probe.longestGapMs() < 1000);
        QVERIFY(qpt::test::peakResidentKiB() < 200 * 1024);
        // After a failed handshake not a word more in the clear.
        const QList<QByteArray> received = relay.received();
        if (mode.endsWith(QLatin1String("-tls"))) {
            // What follows STARTTLS is the handshake's own bytes (as much of
            // them as the relay read before it closed), never a command.
            const qsizetype starttls = received.indexOf(QByteArray("STARTTLS"));
            QVERIFY(starttls >= 0);
            for (const QByteArray& line : received.mid(starttls + 1)) {
                for (const char* command : {"EHLO", "HELO", "MAIL", "RCPT", "DATA", "QUIT", "RSET"})
                    QVERIFY2(!line.startsWith(command), line.constData());
            }
        }
        const bool namedSender = std::any_of(received.cbegin(), received.cend(),
                                             [](const QByteArray& line) { return line.startsWith("MAIL FROM"); });
        QCOMPARE(namedSender, mode == QLatin1String("noise-after") || mode == QLatin1String("flood-reply"));
        const bool sentMessage = std::any_of(received.cbegin(), received.cend(),
                                             [](const QByteArray& line) { return line.startsWith("DATA"); });
        QCOMPARE(sentMessage, mode == QLatin1String("noise-after"));
    }

    // A relay offers STARTTLS but its certificate is nobody's the Online
    // System trusts: nothing is sent, neither encrypted nor in the clear,
    // and the user is told why.
    void encryptionThatFailsSendsNothing()
    {
        RUN_ALONE();
        TestCertificates stranger;
        LocalMailRelay relay({"--starttls", stranger.certificateFile(), stranger.keyFile()});
        QVERIFY(relay.isListening());
        ReportWorld world(relay.address());
        world.fillIn(QStringLiteral("Crash on start"));
        QVERIFY(world.send());
        QCOMPARE(world.main.statusLabel->caption(), BugReportForm::notEncryptedText());
        QVERIFY(world.main.statusLabel->caption().contains(QStringLiteral("bugs@tirk.example")));
        QVERIFY(relay.messages().isEmpty());
        QCOMPARE(world.main.reportForm->descriptionEdit->toPlainText(), QStringLiteral("Crash on start"));
        QVERIFY(world.main.reportForm->sendButton->isEnabled());
    }

    // A relay that does not offer STARTTLS (or whose offer was cut out on
    // the way) gets no word of the report unless product.ini allows plain
    // mail: the user reads why, and the form keeps its text.
    void plainRelaysGetNothingByDefault_data()
    {
        QTest::addColumn<QString>("relay");
        QTest::newRow("EHLO without STARTTLS") << "ehlo";
        QTest::newRow("HELO only") << "helo";
    }
    void plainRelaysGetNothingByDefault()
    {
        RUN_ALONE();
        QFETCH(QString, relay);
        qpt::test::HostileRelay plain(QStringLiteral("noise-after"));
        LocalMailRelay old({"--helo-only"});
        QVERIFY(plain.isListening() && old.isListening());
        ReportWorld world(relay == QLatin1String("ehlo") ? plain.address() : old.address());
        world.fillIn(QStringLiteral("Crash on start"));
        QVERIFY(world.send());
        QCOMPARE(world.main.statusLabel->caption(), BugReportForm::noEncryptionText());
        QVERIFY(world.main.statusLabel->caption().contains(QStringLiteral("bugs@tirk.example")));
        QCOMPARE(world.main.reportForm->descriptionEdit->toPlainText(), QStringLiteral("Crash on start"));
        QVERIFY(world.main.reportForm->sendButton->isEnabled());
        if (relay == QLatin1String("ehlo")) {
            QVERIFY(waitUntil([&] { return plain.received().size() >= 2; }));
            const QList<QByteArray> received = plain.received();
            QCOMPARE(received.size(), 2);
            QVERIFY(received.first().startsWith("EHLO "));
            QCOMPARE(received.last(), QByteArray("QUIT"));
        } else {
            QVERIFY(old.messages().isEmpty());
            QVERIFY(waitUntil([&] { return old.quits() == 1; }));
        }
    }

    // Runs every row of the mail functions alone in a fresh process of this
    // test, under a time limit each.
    void eachMailRowInAFreshProcess()
    {
        if (qEnvironmentVariableIsSet(kAloneVariable))
            QSKIP("the fresh process itself");
        QProcess lister;
        lister.start(QCoreApplication::applicationFilePath(), {QStringLiteral("-datatags")});
        QVERIFY(lister.waitForFinished(30000));
        QStringList rows;
        for (const QString& line : QString::fromUtf8(lister.readAllStandardOutput()).split(QLatin1Char('\n'))) {
            // "TestBugReport <function> <tag>", the tag with its spaces.
            const QString function = line.section(QLatin1Char(' '), 1, 1);
            const QString tag = line.section(QLatin1Char(' '), 2);
            if (kMailFunctions.contains(function))
                rows << (tag.isEmpty() ? function : function + QLatin1Char(':') + tag);
        }
        rows.removeDuplicates();
        QVERIFY(rows.size() >= 15);
        for (const QString& row : rows) {
            QProcess alone;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QLatin1String(kAloneVariable), QStringLiteral("1"));
            alone.setProcessEnvironment(environment);
            alone.setProcessChannelMode(QProcess::MergedChannels);
            alone.start(QCoreApplication::applicationFilePath(), {row});
            const bool ended = alone.waitForFinished(60000);
            if (!ended)
                alone.kill(), alone.waitForFinished(5000);
            const QString output = QString::fromUtf8(alone.readAll());
            QVERIFY2(ended && alone.exitStatus() == QProcess::NormalExit && alone.exitCode() == 0,
                     qPrintable(row + QStringLiteral(":\n") + output));
            QVERIFY2(output.contains(QStringLiteral("PASS   : TestBugReport::")), qPrintable(row + QStringLiteral(":\n") + output));
        }
    }
};

QTEST_MAIN(TestBugReport)
#include "test_bugreport.moc"
