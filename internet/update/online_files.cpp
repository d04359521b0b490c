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
