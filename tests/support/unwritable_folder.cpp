#include "tests/support/unwritable_folder.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qpt::test {

namespace {

const uid_t kNobody = 65534;
const char* const kSetpriv = "/usr/bin/setpriv";

bool giveToNobody(const QString& path)
{
    if (::chown(QFile::encodeName(path).constData(), kNobody, kNobody) != 0)
        return false;
    QDirIterator entries(path, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
    while (entries.hasNext()) {
        if (::lchown(QFile::encodeName(entries.next()).constData(), kNobody, kNobody) != 0)
            return false;
    }
    return true;
}

}  // namespace

UnwritableFolder::UnwritableFolder(TestEnv& env) : m_env(env)
{
    m_home = env.root() + QStringLiteral("/home");
    m_writable = env.root() + QStringLiteral("/writable");
    QDir().mkpath(m_home);
    QDir().mkpath(m_writable);
    if (::geteuid() != 0) {
        // An ordinary user cannot write a read-only folder of their own.
        ::chmod(QFile::encodeName(env.appDir()).constData(), 0555);
        return;
    }
    if (!QFileInfo(QLatin1String(kSetpriv)).isExecutable()) {
        m_unavailable = QStringLiteral("running as root without setpriv to become another user");
        return;
    }
    if (::getpwuid(kNobody) == nullptr) {
        m_unavailable = QStringLiteral("running as root and there is no user 65534");
        return;
    }
    m_asNobody = true;
    // Everything the program reads must be reachable for that user; the
    // application folder stays root's, so that user cannot write it.
    ::chmod(QFile::encodeName(env.root()).constData(), 0755);
    ::chmod(QFile::encodeName(env.appDir()).constData(), 0755);
    if (!QFile::exists(env.dialogLog()))
        TestEnv::writeFile(env.dialogLog(), QByteArray());
    for (const QString& path : {env.configDir(), env.dataDir(), env.runtimeDir(), m_home, m_writable, env.dialogLog()}) {
        if (!giveToNobody(path))
            m_unavailable = QStringLiteral("cannot hand %1 to user 65534").arg(path);
    }
}

UnwritableFolder::~UnwritableFolder()
{
    ::chmod(QFile::encodeName(m_env.appDir()).constData(), 0755);
}

bool UnwritableFolder::makeRunnable(const QString& path)
{
    return ::chmod(QFile::encodeName(path).constData(), 0755) == 0;
}

std::unique_ptr<QProcess> UnwritableFolder::start(const QString& program, const QStringList& arguments,
                                                  const QProcessEnvironment& extra) const
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment environment = m_env.processEnvironment();
    environment.insert(QStringLiteral("HOME"), m_home);
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), m_home + QStringLiteral("/.cache"));
    environment.insert(extra);
    process->setProcessEnvironment(environment);
    process->setWorkingDirectory(m_env.appDir());
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    const QString path = m_env.app(program);
    if (m_asNobody) {
        process->start(QLatin1String(kSetpriv), QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                                                            QStringLiteral("--clear-groups"), QStringLiteral("--"), path}
                                                    + arguments);
    } else {
        process->start(path, arguments);
    }
    process->waitForStarted(10000);
    return process;
}

}  // namespace qpt::test
