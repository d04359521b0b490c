#include "online_files.h"

#include "leftovers.h"
#include "release_crypto.h"
#include "release_manifest.h"

#include "common/file_names.h"

#include <QDir>
#include <QStandardPaths>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qpt::internet {

namespace {

// Beside the kept image: the version of the Online System it replaces.
constexpr const char* kKeptReplacedVersion = "osdata.replaces";

QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

// What keeps a folder from being one that only we can use (a real
// directory, not a link, ours, closed to group and others); empty when
// nothing does. The folder is made when missing.
QString privateFolderProblem(const QString& folder)
{
    const QByteArray name = native(folder);
    if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST)
        return QStringLiteral("cannot be made (%1)").arg(QString::fromLocal8Bit(::strerror(errno)));
    struct stat st {};
    if (::lstat(name.constData(), &st) != 0)
        return QStringLiteral("cannot be looked at (%1)").arg(QString::fromLocal8Bit(::strerror(errno)));
    if (!S_ISDIR(st.st_mode))
        return QStringLiteral("is not a folder (a link or a file has its name)");
    if (st.st_uid != ::getuid())
        return QStringLiteral("belongs to another user");
    if ((st.st_mode & 077) != 0)
        return QStringLiteral("is open to other users");
    return QString();
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

PrivateFolder findPrivateFolder()
{
    QStringList places;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        places << runtime + QStringLiteral("/quorbel-player-tirk");
    // Without a runtime folder (su, sudo, cron, some remote logins) the
    // user's own cache folder: a fixed name in the shared temporary folder
    // could be made first by another user, and a fresh random one could
    // not be found again by the updater.
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (!cache.isEmpty())
        places << cache + QStringLiteral("/quorbel-player-tirk");
    PrivateFolder found;
    QStringList problems;
    for (const QString& place : places) {
        // The cache folder itself may not be there yet (the runtime folder is).
        QDir().mkpath(QFileInfo(place).absolutePath());
        const QString problem = privateFolderProblem(place);
        if (problem.isEmpty()) {
            found.path = place;
            return found;
        }
        problems << place + QStringLiteral(" ") + problem;
    }
    found.problem = places.isEmpty() ? QStringLiteral("there is neither a runtime folder nor a cache folder")
                                     : problems.join(QStringLiteral(";\r\n"));
    return found;
}

QString privateTempFolder()
{
    return findPrivateFolder().path;
}

QString programPath(const QString& folder, const char* program)
{
    return folder + QLatin1Char('/') + QLatin1String(program);
}

std::optional<KeptUpdate> keptUpdate()
{
    const QString folder = privateTempFolder();
    if (folder.isEmpty())
        return std::nullopt;
    const auto in = [&folder](const char* name) { return folder + QLatin1Char('/') + QLatin1String(name); };
    return KeptUpdate{in(files::ProgramImage), in(files::ProgramImageManifest), in(files::ProgramImageSignature),
                      in(kKeptReplacedVersion)};
}

void KeptUpdate::remove() const
{
    for (const QString& kept : {image, manifest, signature, replaces})
        ::unlink(native(kept).constData());
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

namespace {

// The bits a new program gets: the read, write and execute bits of the one
// it replaces, executable by whoever may read it.
mode_t programMode(const QString& target)
{
    struct stat old {};
    if (::lstat(native(target).constData(), &old) != 0 || !S_ISREG(old.st_mode))
        return 0755;
    mode_t mode = (old.st_mode & 0777) | S_IXUSR;
    if (mode & S_IRGRP)
        mode |= S_IXGRP;
    if (mode & S_IROTH)
        mode |= S_IXOTH;
    return mode;
}

// Copies what `in` holds into `out`, never more than `limit` bytes: the
// size and digest of what was copied; none when reading or writing failed
// or the source holds more.
std::optional<release::FileDigest> copyDigesting(int in, int out, qint64 limit)
{
    release::FileDigest copied;
    release::Sha256 digest;
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        copied.size += n;
        if (copied.size > limit || !writeFully(out, buffer, n))
            return std::nullopt;
        digest.add(QByteArrayView(buffer, n));
    }
    copied.sha256 = digest.result();
    return copied;
}

// A hidden file beside `target`, named after it.
int createBeside(const QString& target, QByteArray& name)
{
    const QFileInfo info(target);
    name = native(info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".XXXXXX"));
    return ::mkostemp(name.data(), O_CLOEXEC);
}

}  // namespace

StagedProgram::StagedProgram(const QString& target, const QString& source, const release::ReleaseImage* expected)
    : m_target(target)
{
    if (!QFileInfo(QFileInfo(target).absolutePath()).isDir())
        return;
    const int in = ::open(native(source).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (in < 0)
        return;
    QByteArray staged;
    const int out = createBeside(target, staged);
    if (out < 0) {
        ::close(in);
        return;
    }
    leftovers::note(QFile::decodeName(staged));

    // Never more than the signed size: a source that grows is not it.
    const auto copied = copyDigesting(in, out, expected ? expected->size : release::kMaxImageBytes);
    ::close(in);
    // An empty image is never a program.
    bool ok = copied && copied->size > 0;
    if (expected)
        ok = ok && copied->size == expected->size && copied->sha256 == expected->sha256;
    ok = ok && ::fchmod(out, programMode(target)) == 0;
    ok = ok && ::fsync(out) == 0;
    ok = ::close(out) == 0 && ok;
    if (ok) {
        m_staged = QFile::decodeName(staged);
        return;
    }
    ::unlink(staged.constData());
    leftovers::forget(QFile::decodeName(staged));
}

StagedProgram::~StagedProgram()
{
    if (m_staged.isEmpty())
        return;
    ::unlink(native(m_staged).constData());
    leftovers::forget(m_staged);
}

bool StagedProgram::commit()
{
    if (m_staged.isEmpty())
        return false;
    if (::rename(native(m_staged).constData(), native(m_target).constData()) != 0)
        return false;
    leftovers::forget(m_staged);
    m_staged.clear();
    return true;
}

bool replaceFileAtomically(const QString& path, const QByteArray& bytes)
{
    QByteArray name;
    const int fd = createBeside(path, name);
    if (fd < 0)
        return false;
    leftovers::note(QFile::decodeName(name));
    bool ok = ::fchmod(fd, 0644) == 0 && writeFully(fd, bytes.constData(), bytes.size()) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(name.constData(), native(path).constData()) == 0;
    if (!ok)
        ::unlink(name.constData());
    leftovers::forget(QFile::decodeName(name));
    return ok;
}

bool hasRoomFor(const QString& target, qint64 size)
{
    QByteArray name;
    const int fd = createBeside(target, name);
    if (fd < 0)
        return false;
    const bool room = ::posix_fallocate(fd, 0, off_t(size)) == 0;
    ::close(fd);
    ::unlink(name.constData());
    return room;
}

}  // namespace qpt::internet
