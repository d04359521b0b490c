#include "marker_files.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qpt {

bool MarkerFiles::createOrTruncate(const QString& path, const QString& line)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    if (!line.isNull()) {
        const QByteArray bytes = line.toLocal8Bit() + "\r\n";
        if (file.write(bytes) != bytes.size())
            return false;
    }
    return true;
}

bool MarkerFiles::exists(const QString& path)
{
    return QFileInfo::exists(path);
}

void MarkerFiles::remove(const QString& path)
{
    QFile::remove(path);
}

bool MarkerFiles::isOwn(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && st.st_uid == ::geteuid();
}

bool MarkerFiles::existsOwn(const QString& path)
{
    return isOwn(path);
}

void MarkerFiles::removeOwn(const QString& path)
{
    if (isOwn(path))
        remove(path);
}

bool MarkerFiles::copyOver(const QString& source, const QString& destination)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QSaveFile out(destination);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    char buffer[64 * 1024];
    for (;;) {
        const qint64 n = in.read(buffer, sizeof buffer);
        if (n < 0)
            return false;
        if (n == 0)
            break;
        if (out.write(buffer, n) != n)
            return false;
    }
    return out.commit();
}

bool MarkerFiles::writeNoFollow(const QString& path, const QByteArray& bytes)
{
    const QByteArray native = QFile::encodeName(path);
    // O_NONBLOCK: a pipe planted at the name is refused, not waited on.
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
    if (fd < 0)
        return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::ftruncate(fd, 0) != 0) {
        ::close(fd);
        return false;
    }
    qint64 done = 0;
    bool ok = true;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0) {
            ok = false;
            break;
        }
        done += n;
    }
    return ::close(fd) == 0 && ok;
}

bool MarkerFiles::createNoFollow(const QString& path, const QString& line)
{
    return replaceNoFollow(path, line.isNull() ? QByteArray() : line.toLocal8Bit() + "\r\n");
}

bool MarkerFiles::keepNoFollow(const QString& path)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode))
        return true;
    return createNoFollow(path);
}

bool MarkerFiles::replaceNoFollow(const QString& path, const QByteArray& bytes)
{
    const QByteArray native = QFile::encodeName(path);
    // O_NONBLOCK: opening a pipe for writing never waits for a reader.
    const int flags = O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    int fd = ::open(native.constData(), flags | O_CREAT | O_TRUNC, 0666);
    struct stat st {};
    if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
        ::close(fd);
        fd = -1;
        errno = ELOOP;
    }
    if (fd < 0 && (errno == ELOOP || errno == ENXIO)) {
        // Something other than a regular file holds the name: the name is
        // ours to use, what it points to is not.
        if (::unlink(native.constData()) != 0)
            return false;
        fd = ::open(native.constData(), flags | O_CREAT | O_EXCL, 0666);
    }
    if (fd < 0)
        return false;
    bool ok = true;
    qint64 done = 0;
    while (ok && done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        if (ok)
            done += n;
    }
    return ::close(fd) == 0 && ok;
}

}  // namespace qpt
