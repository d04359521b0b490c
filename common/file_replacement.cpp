#include "file_replacement.h"

#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qpt::filereplacement {

namespace {

bool writeAll(int fd, const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0) {
            errno = EIO;
            return false;
        }
        done += n;
    }
    return true;
}

// The rename itself lives in the folder: synced too, so that after a power
// cut the name points at the new content, not at nothing. Some file
// systems cannot sync a folder; that is no failure of the save.
void syncFolderOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray folder = slash > 0 ? path.left(slash) : QByteArray(slash == 0 ? "/" : ".");
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

Outcome failed(int error)
{
    return Outcome{false, error ? error : EIO};
}

}  // namespace

QString Outcome::cause() const
{
    return ok ? QString() : QString::fromLocal8Bit(::strerror(error));
}

Outcome replace(const QString& path, const QByteArray& bytes)
{
    QByteArray target = QFile::encodeName(path);
    // A link keeps pointing at the user's file, which gets the new content.
    char resolved[PATH_MAX];
    struct stat old {};
    const bool exists = ::stat(target.constData(), &old) == 0;
    if (exists && ::realpath(target.constData(), resolved))
        target = resolved;

    QByteArray temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        // A name no reader takes up: not a batch or playlist name.
        temporary = target + ".save-" + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd < 0 && errno != EEXIST)
            return failed(errno);
    }
    if (fd < 0)
        return failed(EEXIST);

    bool ok = writeAll(fd, bytes);
    int error = ok ? 0 : errno;
    if (ok && exists && S_ISREG(old.st_mode))
        ::fchmod(fd, old.st_mode & 07777);
    if (ok && ::fsync(fd) != 0) {
        ok = false;
        error = errno;
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && ::rename(temporary.constData(), target.constData()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlink(temporary.constData());
        return failed(error);
    }
    syncFolderOf(target);
    return {};
}

}  // namespace qpt::filereplacement
