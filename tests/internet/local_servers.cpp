#include "local_servers.h"

#include "tests/support/test_env.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QTcpServer>

namespace qpt::test {

namespace {
QString scriptPath(const QString& name)
{
    return QStringLiteral(QPT_SOURCE_DIR "/tests/internet/") + name;
}
}  // namespace

ScriptServer::ScriptServer(const QString& script, const QStringList& arguments)
{
    m_process.setProgram(QStringLiteral("/usr/bin/python3"));
    m_process.setArguments(QStringList{QStringLiteral("-u"), scriptPath(script)} + arguments);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start();
    if (!m_process.waitForStarted(5000))
        return;
    QByteArray line;
    while (!line.endsWith('\n')) {
        if (!m_process.waitForReadyRead(15000))
            return;
        line += m_process.readAll();
    }
    if (line.startsWith("PORT "))
        m_port = line.mid(5).trimmed().toInt();
}

ScriptServer::~ScriptServer()
{
    m_process.kill();
    m_process.waitForFinished(5000);
}

LocalUpdateHost::LocalUpdateHost()
{
    QDir().mkpath(m_root.path() + QStringLiteral("/www"));
    m_server = new ScriptServer(QStringLiteral("http_host.py"),
                                {m_root.path() + QStringLiteral("/www"), m_root.path() + QStringLiteral("/requests.log")});
}

LocalUpdateHost::~LocalUpdateHost()
{
    delete m_server;
}

QString LocalUpdateHost::url() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_server->port());
}

void LocalUpdateHost::put(const QString& path, const QByteArray& bytes) const
{
    const QString full = m_root.path() + QStringLiteral("/www/") + path;
    QDir().mkpath(QFileInfo(full).absolutePath());
    TestEnv::writeFile(full, bytes);
}

void LocalUpdateHost::putVersionFile(const QStringList& lines) const
{
    put(QStringLiteral("mainpage/os/Tirk/version.txt"), lines.join(QStringLiteral("\r\n")).toUtf8() + "\r\n");
}

void LocalUpdateHost::putPages() const
{
    for (const char* page : {"index", "notuptodate", "bugreport", "loadingbugreport"})
        put(QStringLiteral("mainpage/os/Tirk/%1.txt").arg(QLatin1String(page)),
            QByteArray("<html><body><h1>") + page + "</h1></body></html>");
}

QStringList LocalUpdateHost::requests() const
{
    const QByteArray log = TestEnv::readFile(m_root.path() + QStringLiteral("/requests.log"));
    return QString::fromUtf8(log).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

LocalMailRelay::LocalMailRelay(const QStringList& options)
{
    m_server = new ScriptServer(QStringLiteral("mail_relay.py"), QStringList{m_out.path()} + options);
}

LocalMailRelay::~LocalMailRelay()
{
    delete m_server;
}

QString LocalMailRelay::address() const
{
    return QStringLiteral("127.0.0.1:%1").arg(m_server->port());
}

QVector<QJsonObject> LocalMailRelay::messages() const
{
    QVector<QJsonObject> result;
    const QByteArray log = TestEnv::readFile(m_out.path() + QStringLiteral("/messages.jsonl"));
    for (const QByteArray& line : log.split('\n'))
        if (!line.trimmed().isEmpty())
            result << QJsonDocument::fromJson(line).object();
    return result;
}

int LocalMailRelay::quits() const
{
    return TestEnv::readFile(m_out.path() + QStringLiteral("/quit.log")).count("QUIT");
}

int closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const int port = probe.serverPort();
    probe.close();
    return port;
}

}  // namespace qpt::test
