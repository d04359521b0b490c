#include "online_files.h"

#include "release_crypto.h"
#include "release_manifest.h"

#include "common/file_names.h"

#include <QDir>
#include <QStandardPaths>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qpt::internet {

namespace {

QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

// A folder that only we can use: a real directory (not a link), ours, and
// closed to group and others.
bool isPrivateFolder(const QString& folder)
{
    struct stat st {};
    if (::lstat(native(folder).constData(), &st) != 0)
        return false;
    return S_ISDIR(st.st_mode) && st.st_uid == ::getuid() && (st.st_mode & 077) == 0;
}

}  // namespace

bool writeFully(int fd, const char* data, qint64 size)
{
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size_t(size - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

QString systemFolder()
{
    const QString configured = qEnvironmentVariable("QPT_SYSTEM_DIR");
    if (!configured.isEmpty())
        return QDir::cleanPath(configured);
    // The machine-wide folder when this user may write there (an installer
    // can create it); otherwise the user's own data folder, so that "Don't
    // Show This Message Again" works for everyone.
    const QString machine = QStringLiteral("/var/lib/quorbel-player-tirk");
    QDir().mkpath(machine);
    const QFileInfo machineInfo(machine);
    if (machineInfo.isDir() && machineInfo.isWritable())
        return machine;
    const QString user = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                       + QStringLiteral("/quorbel-player-tirk");
    QDir().mkpath(user);
    return user;
}

QString privateTempFolder()
{
    QString folder;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        folder = runtime + QStringLiteral("/quorbel-player-tirk");
    else
        folder = QDir::tempPath() + QStringLiteral("/quorbel-player-tirk-%1").arg(::getuid());
    if (::mkdir(native(folder).constData(), 0700) != 0 && errno != EEXIST)
        return QString();
    return isPrivateFolder(folder) ? folder : QString();
}

QString imagePath()
{
    const QString folder = privateTempFolder();
    return folder.isEmpty() ? QString() : folder + QLatin1Char('/') + QLatin1String(files::ProgramImage);
}

QString imageManifestPath()
{
    const QString folder = privateTempFolder();
    return folder.isEmpty() ? QString() : folder + QLatin1Char('/') + QLatin1String(files::ProgramImageManifest);
}

QString imageSignaturePath()
{
    const QString folder = privateTempFolder();
    return folder.isEmpty() ? QString() : folder + QLatin1Char('/') + QLatin1String(files::ProgramImageSignature);
}

void removeKeptImage()
{
    for (const QString& kept : {imagePath(), imageManifestPath(), imageSignaturePath()}) {
        if (!kept.isEmpty())
            ::unlink(native(kept).constData());
    }
}

std::optional<QByteArray> readSmallFile(const QString& path, qint64 limit)
{
    const int fd = ::open(native(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat st {};
    QByteArray bytes;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= limit;
    if (ok) {
        bytes.resize(qsizetype(st.st_size));
        qint64 done = 0;
        while (ok && done < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + done, size_t(bytes.size() - done));
            if (n < 0 && errno == EINTR)
                continue;
            ok = n > 0;
            done += qMax<ssize_t>(n, 0);
        }
    }
    ::close(fd);
    if (!ok)
        return std::nullopt;
    return bytes;
}

StagedProgram::StagedProgram(const QString& target, const QString& source, const release::ReleaseImage* expected)
    : m_target(target)
{
    const QFileInfo targetInfo(target);
    const QString folder = targetInfo.absolutePath();
    if (!QFileInfo(folder).isDir())
        return;

    mode_t mode = 0755;
    struct stat old {};
    if (::lstat(native(target).constData(), &old) == 0 && S_ISREG(old.st_mode)) {
        mode = old.st_mode & 07777;
        // A program must be executable by whoever may read it.
        mode |= S_IXUSR;
        if (mode & S_IRGRP)
            mode |= S_IXGRP;
        if (mode & S_IROTH)
            mode |= S_IXOTH;
    }

    const int in = ::open(native(source).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (in < 0)
        return;

    QByteArray pattern = native(folder + QStringLiteral("/.") + targetInfo.fileName() + QStringLiteral(".XXXXXX"));
    const int out = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (out < 0) {
        ::close(in);
        return;
    }

    bool ok = true;
    qint64 copied = 0;
    release::Sha256 digest;
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ok = false;
            break;
        }
        if (n == 0)
            break;
        copied += n;
        // Never more than the signed size: a source that grows is not it.
        if ((expected && copied > expected->size) || !writeFully(out, buffer, n)) {
            ok = false;
            break;
        }
        digest.add(QByteArrayView(buffer, n));
    }
    ::close(in);
    // An empty image is never a program.
    ok = ok && copied > 0;
    if (expected)
        ok = ok && copied == expected->size && digest.result() == expected->sha256;
    ok = ok && ::fchmod(out, mode) == 0;
    ok = ok && ::fsync(out) == 0;
    ok = ::close(out) == 0 && ok;
    if (ok)
        m_staged = QFile::decodeName(pattern);
    else
        ::unlink(pattern.constData());
}

StagedProgram::~StagedProgram()
{
    if (!m_staged.isEmpty())
        ::unlink(native(m_staged).constData());
}

bool StagedProgram::commit()
{
    if (m_staged.isEmpty())
        return false;
    if (::rename(native(m_staged).constData(), native(m_target).constData()) != 0)
        return false;
    m_staged.clear();
    return true;
}

bool replaceProgram(const QString& target, const QString& source)
{
    StagedProgram staged(target, source);
    return staged.isReady() && staged.commit();
}

}  // namespace qpt::internet
