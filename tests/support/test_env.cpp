#include "tests/support/test_env.h"

#include "common/app_folder.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <unistd.h>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>
#include <QThread>

#include <vector>

namespace qpt::test {

namespace {

// GStreamer's plugin registry where the user's programs keep it: the tests'
// own cache folder would make every test program build a fresh one.
QString gstRegistry()
{
    static const QString registry = [] {
        if (qEnvironmentVariableIsSet("GST_REGISTRY"))
            return qEnvironmentVariable("GST_REGISTRY");
        const QString cache = qEnvironmentVariable("XDG_CACHE_HOME", QDir::homePath() + QStringLiteral("/.cache"));
        return cache + QStringLiteral("/gstreamer-1.0/registry.") + QSysInfo::currentCpuArchitecture()
             + QStringLiteral(".bin");
    }();
    return registry;
}

std::vector<void (*)()>& worldSteps()
{
    static std::vector<void (*)()> steps;
    return steps;
}

}  // namespace

void TestEnv::addWorldStep(void (*step)())
{
    worldSteps().push_back(step);
}

TestEnv::TestEnv()
{
    for (const QString& dir : {appDir(), configDir(), dataDir(), cacheDir(), runtimeDir()})
        QDir().mkpath(dir);
    QFile::setPermissions(runtimeDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_CONFIG_HOME", configDir().toLocal8Bit());
    qputenv("XDG_DATA_HOME", dataDir().toLocal8Bit());
    qputenv("GST_REGISTRY", gstRegistry().toLocal8Bit());
    qputenv("XDG_CACHE_HOME", cacheDir().toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", runtimeDir().toLocal8Bit());
    qputenv("QPT_DIALOG_LOG", dialogLog().toLocal8Bit());
    qputenv("DBUS_SESSION_BUS_ADDRESS", noSessionBus().toLocal8Bit());
    AppFolder::overrideForTests(appDir());
    for (void (*step)() : worldSteps())
        step();
}

TestEnv::~TestEnv()
{
    AppFolder::overrideForTests(QString());
}

bool TestEnv::installProgram(const QString& fileName) const
{
    const QString source = QStringLiteral(QPT_APP_BUILD_DIR) + QLatin1Char('/') + fileName;
    QFile::remove(app(fileName));
    return QFile::copy(source, app(fileName));
}

bool TestEnv::installStandIn(const QString& fileName) const
{
    const QString record = app(fileName + QStringLiteral(".args"));
    const QByteArray script = "#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" + record.toLocal8Bit() + "'\n";
    if (!writeFile(app(fileName), script))
        return false;
    return QFile::setPermissions(app(fileName), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QStringList TestEnv::standInCalls(const QString& fileName) const
{
    const QByteArray bytes = readFile(app(fileName + QStringLiteral(".args")));
    QStringList lines = QString::fromLocal8Bit(bytes).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QProcessEnvironment TestEnv::processEnvironment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configDir());
    environment.insert(QStringLiteral("XDG_DATA_HOME"), dataDir());
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), cacheDir());
    environment.insert(QStringLiteral("GST_REGISTRY"), gstRegistry());
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir());
    environment.insert(QStringLiteral("QPT_DIALOG_LOG"), dialogLog());
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), noSessionBus());
    if (!environment.contains(QStringLiteral("QT_QPA_PLATFORM")))
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    if (!environment.contains(QStringLiteral("QPT_AUDIO_SINK")))
        environment.insert(QStringLiteral("QPT_AUDIO_SINK"), QStringLiteral("fakesink sync=true"));
    return environment;
}

bool TestEnv::writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(bytes) == bytes.size();
}

QByteArray TestEnv::readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

QStringList TestEnv::dialogTitles() const
{
    QStringList titles;
    const QList<QByteArray> lines = readFile(dialogLog()).split('\n');
    for (const QByteArray& line : lines) {
        if (line.trimmed().isEmpty())
            continue;
        titles << QJsonDocument::fromJson(line).object().value(QStringLiteral("title")).toString();
    }
    return titles;
}

bool waitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

QString testDataDir()
{
    return QStringLiteral(QPT_TEST_DATA_DIR);
}

bool TestEnv::writeNative(const QByteArray& path, const QByteArray& bytes)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    return ::close(fd) == 0 && ok;
}

QList<QByteArray> native(const QStringList& paths)
{
    QList<QByteArray> bytes;
    for (const QString& path : paths)
        bytes << QFile::encodeName(path);
    return bytes;
}

}  // namespace qpt::test
