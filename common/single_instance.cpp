#include "single_instance.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace qpt {

QString SingleInstance::lockFolder()
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(QString::fromLocal8Bit(runtime)).exists())
        return QString::fromLocal8Bit(runtime);
    const QString folder = QDir::tempPath() + QStringLiteral("/qpt-%1").arg(::getuid());
    QDir().mkpath(folder);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return folder;
}

namespace {
int openLock(const QString& programName)
{
    QString safeName = programName;
    safeName.replace(QLatin1Char(' '), QLatin1Char('-'));
    const QString path = SingleInstance::lockFolder() + QStringLiteral("/quorbel-%1.lock").arg(safeName);
    return ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
}
}  // namespace

bool SingleInstance::isRunning(const QString& programName)
{
    const int fd = openLock(programName);
    if (fd < 0)
        return false;
    const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);  // closing drops the test lock
    return !free;
}

bool SingleInstance::anotherIsRunning(const QString& programName)
{
    const int fd = openLock(programName);
    if (fd < 0)
        return false;  // cannot tell: behave as the only instance
    const bool alone = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    // Held for the life of the process (the descriptor is never closed);
    // shared, so that an instance allowed to run beside another can hold it.
    ::flock(fd, LOCK_SH | LOCK_NB);
    return !alone;
}

}  // namespace qpt
