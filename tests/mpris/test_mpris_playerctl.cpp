// The real player program on a private session bus, driven by the real
// playerctl (and dbus-send for Quit, which playerctl lacks): what it
// reports after each command, the change announcements a desktop widget
// hears without asking, OpenUri appending, Quit autosaving, a second
// player beside the first, and a start without any bus.

#include "common/settings_store.h"
#include "tests/support/private_bus.h"
#include "tests/support/test_env.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <QUrl>

#include <memory>

using namespace qpt;
using namespace qpt::test;

namespace {

const QString kPlayer = QStringLiteral("Quorbel Player Tirk.exe");
const QString kName = QStringLiteral("quorbel_player_tirk");
// Songs of 27 s: none ends while the test runs.
const QStringList kSongs{QStringLiteral("vbr_long_xing.mp3"), QStringLiteral("long.wma"),
                         QStringLiteral("xing_lavc.mp3")};

QString song(const QString& name)
{
    return testDataDir() + QStringLiteral("/length/") + name;
}

void configure(const QString& autosave)
{
    SettingsStore::write(QStringLiteral("AutoFileAss"), QStringLiteral("2"));
    SettingsStore::write(QStringLiteral("AutosavePlayList"), autosave);
    SettingsStore::write(QStringLiteral("FadeOutCD"), QStringLiteral("2"));
}

void stop(QProcess* process)
{
    if (process->state() == QProcess::NotRunning)
        return;
    process->kill();
    process->waitForFinished(5000);
}

}  // namespace

class TestMprisPlayerctl : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<PrivateBus> m_bus;
    QProcessEnvironment m_environment;
    QProcess* m_player = nullptr;

    QProcess* startPlayer(const QStringList& arguments = {})
    {
        auto* process = new QProcess(this);
        process->setProcessEnvironment(m_environment);
        process->setWorkingDirectory(m_env->appDir());
        process->start(m_env->app(kPlayer), arguments);
        process->waitForStarted(5000);
        return process;
    }
    ClientRun playerctl(const QStringList& arguments)
    {
        return runClient(QStringLiteral("playerctl"), QStringList{QStringLiteral("-p"), kName} + arguments,
                         m_environment);
    }
    QString ask(const QStringList& arguments) { return playerctl(arguments).output; }
    // Asks until the answer is the expected one (commands are carried out
    // a moment after they are answered).
    bool answers(const QStringList& arguments, const QString& expected)
    {
        return waitUntil([&] { return ask(arguments) == expected; }, 5000);
    }
    QString title() { return ask({QStringLiteral("metadata"), QStringLiteral("xesam:title")}); }
    bool command(const QString& word)
    {
        const ClientRun run = playerctl({word});
        return run.finished && run.exitCode == 0;
    }

private slots:
    void initTestCase()
    {
        m_env = std::make_unique<TestEnv>();
        m_bus = std::make_unique<PrivateBus>(m_env->root());
        QVERIFY2(!m_bus->address().isEmpty(), "dbus-daemon did not start");
        m_environment = m_bus->environment(m_env->processEnvironment());
        QVERIFY(m_env->installProgram(kPlayer));
        configure(QStringLiteral("1"));
        QByteArray batch;
        for (const QString& name : kSongs)
            batch += QFile::encodeName(song(name)) + "\r\n";
        QVERIFY(TestEnv::writeFile(m_env->app(QStringLiteral("songs.sng")), batch));
        m_player = startPlayer();
        QVERIFY(waitUntil([&] { return ask({QStringLiteral("-l")}).split(QLatin1Char('\n')).contains(kName); }, 15000));
        QVERIFY(waitUntil([&] { return !QFile::exists(m_env->app(QStringLiteral("songs.sng"))); }, 10000));
    }

    void transportAsTheButtons()
    {
        QVERIFY(command(QStringLiteral("play")));
        QVERIFY(answers({QStringLiteral("status")}, QStringLiteral("Playing")));
        // Named once it is heard.
        QVERIFY(answers({QStringLiteral("metadata"), QStringLiteral("xesam:title")}, QStringLiteral("vbr_long_xing")));
        QVERIFY(command(QStringLiteral("pause")));
        QVERIFY(answers({QStringLiteral("status")}, QStringLiteral("Paused")));
        QVERIFY(command(QStringLiteral("play")));
        QVERIFY(answers({QStringLiteral("status")}, QStringLiteral("Playing")));
        QCOMPARE(title(), QStringLiteral("vbr_long_xing"));  // resumed, the same song

        QVERIFY(command(QStringLiteral("next")));
        QVERIFY(answers({QStringLiteral("metadata"), QStringLiteral("xesam:title")}, QStringLiteral("long")));
        QVERIFY(command(QStringLiteral("next")));
        QVERIFY(answers({QStringLiteral("metadata"), QStringLiteral("xesam:title")}, QStringLiteral("xing_lavc")));
        QVERIFY(command(QStringLiteral("previous")));
        QVERIFY(answers({QStringLiteral("metadata"), QStringLiteral("xesam:title")}, QStringLiteral("long")));

        QVERIFY(command(QStringLiteral("stop")));
        QVERIFY(answers({QStringLiteral("status")}, QStringLiteral("Stopped")));
        // Play after Stop starts the playlist from its first song, as the button does.
        QVERIFY(command(QStringLiteral("play-pause")));
        QVERIFY(answers({QStringLiteral("status")}, QStringLiteral("Playing")));
        QCOMPARE(title(), QStringLiteral("vbr_long_xing"));
    }

    void metadataOfThePlayingSong()
    {
        QVERIFY(answers({QStringLiteral("status")}, QStringLiteral("Playing")));
        const QStringList fields =
            ask({QStringLiteral("metadata"), QStringLiteral("--format"),
                 QStringLiteral("{{mpris:trackid}}|{{xesam:title}}|{{xesam:url}}|{{mpris:length}}")})
                .split(QLatin1Char('|'));
        QCOMPARE(fields.size(), 4);
        QCOMPARE(fields[0], QStringLiteral("'/org/quorbel/PlayerTirk/track/1'"));  // playerctl quotes a path
        QCOMPARE(fields[1], QStringLiteral("vbr_long_xing"));
        QCOMPARE(fields[2], QStringLiteral("file://") + song(kSongs[0]));
        QVERIFY2(qAbs(fields[3].toLongLong() - 27'300'000) < 100'000, qPrintable(fields[3]));
    }

    void positionAndVolume()
    {
        QVERIFY(command(QStringLiteral("play")));
        QVERIFY(playerctl({QStringLiteral("position"), QStringLiteral("10")}).exitCode == 0);
        QVERIFY(waitUntil([&] { return ask({QStringLiteral("position")}).toDouble() >= 10; }, 5000));
        QVERIFY(ask({QStringLiteral("position")}).toDouble() < 14);
        QVERIFY(playerctl({QStringLiteral("volume"), QStringLiteral("0.5")}).exitCode == 0);
        QVERIFY(answers({QStringLiteral("volume")}, QStringLiteral("0.500000")));
    }

    // A desktop widget follows by listening: the changes come as signals.
    void changesAreAnnounced()
    {
        QProcess monitor;
        monitor.setProcessEnvironment(m_environment);
        monitor.start(QStringLiteral("dbus-monitor"), {QStringLiteral("type='signal',path='/org/mpris/MediaPlayer2'")});
        QVERIFY(monitor.waitForStarted(5000));
        QByteArray heard;
        const auto hears = [&](const QByteArray& text) {
            return waitUntil([&] {
                heard += monitor.readAllStandardOutput();
                return heard.contains(text);
            }, 5000);
        };
        // The monitor listens once a volume change reaches it.
        QVERIFY(waitUntil([&] {
            playerctl({QStringLiteral("volume"), QStringLiteral("0.4")});
            playerctl({QStringLiteral("volume"), QStringLiteral("0.3")});
            heard += monitor.readAllStandardOutput();
            return heard.contains("string \"Volume\"");
        }, 10000));

        heard.clear();
        QVERIFY(command(QStringLiteral("next")));
        QVERIFY2(hears("object path \"/org/quorbel/PlayerTirk/track/2\""), heard.constData());
        QVERIFY(heard.contains("member=PropertiesChanged"));
        QVERIFY(heard.contains("string \"Metadata\""));
        QVERIFY(heard.contains("string \"long\""));

        heard.clear();
        QVERIFY(playerctl({QStringLiteral("position"), QStringLiteral("5")}).exitCode == 0);
        QVERIFY2(hears("member=Seeked"), heard.constData());
        QVERIFY(hears("int64 5000000"));
        stop(&monitor);
    }

    // Another player beside the first (started with "fto") takes the name
    // with its process id.
    void aSecondPlayerTakesAnInstanceName()
    {
        QProcess* second = startPlayer({QStringLiteral("fto")});
        const QString instance = kName + QStringLiteral(".instance") + QString::number(second->processId());
        const bool listed = waitUntil(
            [&] { return runClient(QStringLiteral("playerctl"), {QStringLiteral("-l")}, m_environment).output
                             .split(QLatin1Char('\n')).contains(instance); }, 15000);
        stop(second);
        QVERIFY(listed);
    }

    void openUriAppendsAndQuitAutosaves()
    {
        // The types it says it plays include the later formats.
        const ClientRun types = runClient(
            QStringLiteral("dbus-send"),
            {QStringLiteral("--session"), QStringLiteral("--print-reply"),
             QStringLiteral("--dest=org.mpris.MediaPlayer2.") + kName, QStringLiteral("/org/mpris/MediaPlayer2"),
             QStringLiteral("org.freedesktop.DBus.Properties.Get"), QStringLiteral("string:org.mpris.MediaPlayer2"),
             QStringLiteral("string:SupportedMimeTypes")},
            m_environment);
        QVERIFY(types.finished);
        for (const char* type : {"audio/mpeg", "audio/flac", "audio/ogg", "audio/x-opus+ogg", "audio/mp4"})
            QVERIFY2(types.output.contains(QLatin1Char('"') + QLatin1String(type) + QLatin1Char('"')), type);

        const QString opened = m_env->root() + QStringLiteral("/opened song.wav");
        const QString openedOpus = m_env->root() + QStringLiteral("/opened song.opus");
        QVERIFY(QFile::copy(testDataDir() + QStringLiteral("/tone.wav"), opened));
        QVERIFY(QFile::copy(testDataDir() + QStringLiteral("/tone.opus"), openedOpus));
        for (const QString& file : {opened, openedOpus}) {
            const QString uri = QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded);
            QCOMPARE(playerctl({QStringLiteral("open"), uri}).exitCode, 0);
            // The loader takes the batch file within its 1.5 s.
            QVERIFY(waitUntil([&] { return QDir(m_env->appDir()).entryList({QStringLiteral("*.sng")}).isEmpty(); },
                              8000));
        }

        const ClientRun quit = runClient(
            QStringLiteral("dbus-send"),
            {QStringLiteral("--session"), QStringLiteral("--print-reply"),
             QStringLiteral("--dest=org.mpris.MediaPlayer2.") + kName, QStringLiteral("/org/mpris/MediaPlayer2"),
             QStringLiteral("org.mpris.MediaPlayer2.Quit")},
            m_environment);
        QVERIFY(quit.finished);
        QCOMPARE(quit.exitCode, 0);  // answered before the player ended
        QVERIFY(m_player->waitForFinished(10000));
        QByteArray expected;
        for (const QString& name : kSongs)
            expected += QFile::encodeName(song(name)) + "\r\n";
        expected += QFile::encodeName(opened) + "\r\n" + QFile::encodeName(openedOpus) + "\r\n\r\n";
        QCOMPARE(TestEnv::readFile(m_env->app(QStringLiteral("autosavedlist.aut"))), expected);
    }

    // Last: a world of its own replaces the shared one.
    void startsQuietlyWithoutABus()
    {
        stop(m_player);
        m_env = std::make_unique<TestEnv>();
        QVERIFY(m_env->installProgram(kPlayer));
        configure(QStringLiteral("2"));
        m_environment = m_env->processEnvironment();  // a bus address where nothing listens
        QProcess* player = startPlayer();
        QVERIFY(waitUntil([&] { return QFile::exists(m_env->app(QStringLiteral("Running.chk"))); }, 15000));
        QVERIFY(!player->waitForFinished(1500));
        stop(player);
        const QString said = QString::fromLocal8Bit(player->readAllStandardError());
        QVERIFY2(!said.contains(QLatin1String("bus"), Qt::CaseInsensitive), qPrintable(said));
        QCOMPARE(m_env->dialogTitles(), QStringList());
    }

    void cleanupTestCase()
    {
        if (m_player)
            stop(m_player);
    }
};

QTEST_MAIN(TestMprisPlayerctl)
#include "test_mpris_playerctl.moc"
