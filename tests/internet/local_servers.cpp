#include "local_servers.h"

#include "internet/update/release_crypto.h"
#include "tests/support/test_env.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSettings>
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

namespace {

// Runs the openssl command, bounded in time.
bool openssl(const QStringList& arguments, const QString& folder)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral("timeout"), QStringList{QStringLiteral("30"), QStringLiteral("openssl")} + arguments);
    return process.waitForFinished(40000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

}  // namespace

TestCertificates::TestCertificates()
{
    const QString folder = m_dir.path();
    TestEnv::writeFile(folder + QStringLiteral("/server.ext"),
                       "subjectAltName=IP:127.0.0.1,DNS:localhost\nbasicConstraints=CA:FALSE\n");
    const QStringList ec{QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                         QStringLiteral("ec_paramgen_curve:P-256"), QStringLiteral("-nodes")};
    m_ready = openssl(QStringList{"req", "-x509"} + ec
                          + QStringList{"-keyout", "ca.key", "-out", "ca.pem", "-days", "2", "-subj", "/CN=Test CA"},
                      folder)
           && openssl(QStringList{"req"} + ec
                          + QStringList{"-keyout", "server.key", "-out", "server.csr", "-subj", "/CN=127.0.0.1"},
                      folder)
           && openssl({"x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial",
                       "-out", "server.pem", "-days", "2", "-extfile", "server.ext"},
                      folder);
}

bool TestCertificates::reissue(const QString& kind)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral("timeout"), {QStringLiteral("30"), QStringLiteral("/usr/bin/python3"),
                                              scriptPath(QStringLiteral("make_certificate.py")), m_dir.path(), kind});
    return process.waitForFinished(40000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool setProductKey(const QString& appFolder, const QString& key, const QString& value)
{
    QSettings productIni(appFolder + QStringLiteral("/product.ini"), QSettings::IniFormat);
    productIni.setValue(QStringLiteral("Product/") + key, value);
    productIni.sync();
    return productIni.status() == QSettings::NoError;
}

bool trustAuthorityIn(const QString& appFolder, const TestCertificates& authority)
{
    return setProductKey(appFolder, QStringLiteral("CertificateAuthorities"), authority.caFile());
}

LocalUpdateHost::LocalUpdateHost(const TestCertificates* tls) : m_tls(tls != nullptr)
{
    QDir().mkpath(m_root.path() + QStringLiteral("/www"));
    QStringList arguments{m_root.path() + QStringLiteral("/www"), m_root.path() + QStringLiteral("/requests.log")};
    if (tls)
        arguments << QStringLiteral("--tls") << tls->certificateFile() << tls->keyFile();
    m_server = new ScriptServer(QStringLiteral("http_host.py"), arguments);
}

LocalUpdateHost::~LocalUpdateHost()
{
    delete m_server;
}

QString LocalUpdateHost::url() const
{
    return QStringLiteral("%1://127.0.0.1:%2").arg(QLatin1String(m_tls ? "https" : "http")).arg(m_server->port());
}

void LocalUpdateHost::put(const QString& path, const QByteArray& bytes) const
{
    const QString full = m_root.path() + QStringLiteral("/www/") + path;
    QDir().mkpath(QFileInfo(full).absolutePath());
    TestEnv::writeFile(full, bytes);
}

void LocalUpdateHost::remove(const QString& path) const
{
    QFile::remove(m_root.path() + QStringLiteral("/www/") + path);
}

QByteArray LocalUpdateHost::file(const QString& path) const
{
    return TestEnv::readFile(m_root.path() + QStringLiteral("/www/") + path);
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

ReleaseSigner::ReleaseSigner()
{
    const auto pair = internet::release::generateKeyPair();
    if (pair) {
        m_privateKey = pair->privatePem;
        m_publicKey = pair->publicKey;
    }
}

QByteArray ReleaseSigner::publicKeyText() const
{
    return internet::release::publicKeyText(m_publicKey);
}

bool ReleaseSigner::trustIn(const QString& appFolder) const
{
    return setProductKey(appFolder, QStringLiteral("ReleaseKeys"), QString::fromLatin1(publicKeyText()));
}

QByteArray ReleaseSigner::manifest(const QMap<QString, Image>& images, const QDateTime& issued,
                                   const QDateTime& validUntil) const
{
    internet::release::ReleaseManifest manifest;
    manifest.issued = issued;
    manifest.validUntil = validUntil;
    for (auto image = images.cbegin(); image != images.cend(); ++image) {
        manifest.images << internet::release::ReleaseImage{image.key(), image->version, image->bytes.size(),
                                                           internet::release::sha256(image->bytes)};
    }
    return internet::release::writeManifest(manifest);
}

QByteArray ReleaseSigner::signatureFile(const QByteArray& manifest) const
{
    return internet::release::writeSignatureFile(internet::release::sign(m_privateKey, manifest).value_or(QByteArray()));
}

void ReleaseSigner::publish(const LocalUpdateHost& host, const QMap<QString, Image>& images, const QDateTime& issued,
                            const QDateTime& validUntil) const
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QDateTime from = issued.isValid() ? issued : now.addSecs(-3600);
    const QByteArray text = manifest(images, from.addMSecs(-from.time().msec()),
                                     validUntil.isValid() ? validUntil : from.addDays(30).addMSecs(-from.time().msec()));
    for (auto image = images.cbegin(); image != images.cend(); ++image)
        host.put(QStringLiteral("mainpage/os/Tirk/download/") + image.key(), image->bytes);
    host.put(QStringLiteral("mainpage/os/Tirk/release.manifest"), text);
    host.put(QStringLiteral("mainpage/os/Tirk/release.manifest.sig"), signatureFile(text));
}

HostileRelay::HostileRelay(const QString& mode)
{
    m_server = new ScriptServer(QStringLiteral("hostile_relay.py"), {m_out.path() + QStringLiteral("/received.log"), mode});
}

HostileRelay::~HostileRelay()
{
    delete m_server;
}

QString HostileRelay::address() const
{
    return QStringLiteral("127.0.0.1:%1").arg(m_server->port());
}

QList<QByteArray> HostileRelay::received() const
{
    QList<QByteArray> lines = TestEnv::readFile(m_out.path() + QStringLiteral("/received.log")).split('\n');
    lines.removeAll(QByteArray());
    return lines;
}

namespace {
qint64 statusKiB(const char* field)
{
    const QByteArray status = TestEnv::readFile(QStringLiteral("/proc/self/status"));
    for (const QByteArray& line : status.split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}
}  // namespace

qint64 peakResidentKiB()
{
    return statusKiB("VmHWM:");
}

qint64 residentKiB()
{
    return statusKiB("VmRSS:");
}

bool resetPeakResident()
{
    // "5" in clear_refs resets VmHWM to VmRSS (Linux 4.0 and later).
    QFile file(QStringLiteral("/proc/self/clear_refs"));
    return file.open(QIODevice::WriteOnly) && file.write("5") == 1;
}

WindowThreadProbe::WindowThreadProbe()
{
    m_clock.start();
    QObject::connect(&m_timer, &QTimer::timeout, [this] { m_longest = qMax(m_longest, m_clock.restart()); });
    m_timer.start(20);
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
