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

// The descriptors this process holds its marks on, -1 while it holds none.
int g_running = -1;
int g_ending = -1;

int openLock(const QString& programName, const char* suffix = "lock")
{
    QString safeName = programName;
    safeName.replace(QLatin1Char(' '), QLatin1Char('-'));
    const QString path =
        SingleInstance::lockFolder() + QStringLiteral("/quorbel-%1.%2").arg(safeName, QLatin1String(suffix));
    return ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
}

// Whether some process holds a lock on the file (this one's own hold
// counts too: test only files this process does not hold).
bool isHeld(int fd)
{
    const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);  // closing drops the test lock
    return !free;
}

}  // namespace

bool SingleInstance::isRunning(const QString& programName)
{
    const int fd = openLock(programName);
    return fd >= 0 && isHeld(fd);
}

bool SingleInstance::anotherIsRunning(const QString& programName)
{
    const int fd = openLock(programName);
    if (fd < 0)
        return false;  // cannot tell: behave as the only instance
    const bool alone = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    // Held for the life of the process, or until it lets go (release);
    // shared, so that an instance allowed to run beside another can hold it.
    ::flock(fd, LOCK_SH | LOCK_NB);
    if (g_running >= 0)
        ::close(g_running);
    g_running = fd;
    return !alone;
}

void SingleInstance::markEnding(const QString& programName)
{
    if (g_ending >= 0)
        return;
    g_ending = openLock(programName, "ending");
    if (g_ending >= 0)
        ::flock(g_ending, LOCK_SH | LOCK_NB);
}

bool SingleInstance::isEnding(const QString& programName)
{
    if (g_ending >= 0)
        return true;
    const int fd = openLock(programName, "ending");
    return fd >= 0 && isHeld(fd);
}

// The ending mark goes with it: it only ever says "wait, I am about to
// let go", and a stuck process that did let go must not say it for good.
void SingleInstance::release()
{
    for (int* fd : {&g_running, &g_ending}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

bool SingleInstance::takeOver(const QString& programName)
{
    release();
    return !anotherIsRunning(programName);
}

}  // namespace qpt
