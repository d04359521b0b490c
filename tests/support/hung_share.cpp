#include "tests/support/hung_share.h"

#include "tests/support/client_run.h"
#include "tests/support/test_env.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <condition_variable>
#include <mutex>
#include <thread>

#include <unistd.h>

namespace qpt::test {

namespace {

const char* const kPython = "/usr/bin/python3";  // Debian's fusepy belongs to this one
const int kMountWaitMs = 5000;
const int kStepMs = 3000;

// /proc/self/mountinfo writes space, tab, line break and backslash in octal.
QByteArray unescapeMountPath(const QByteArray& field)
{
    QByteArray out;
    for (int i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            out += char(field.mid(i + 1, 3).toInt(nullptr, 8));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

QString oneLine(const QString& file)
{
    return QString::fromUtf8(TestEnv::readFile(file)).simplified();
}

}  // namespace

HungShare::HungShare(const QString& source, const QString& mountPoint, Mode mode, int lifetimeS)
{
    // The mount point's own folder is resolved (it is outside the mount) so
    // that the path matches what mountinfo shows.
    const QFileInfo given(QDir::cleanPath(mountPoint));
    m_madeMountPoint = !given.exists();
    if (m_madeMountPoint)
        QDir().mkpath(given.absoluteFilePath());
    m_mountPoint = QFileInfo(given.absolutePath()).canonicalFilePath() + QLatin1Char('/') + given.fileName();

    m_why = whatIsMissing();
    if (m_why.isEmpty() && (!m_controlDir.isValid() || !setMode(mode)))
        m_why = QStringLiteral("cannot write the mode file");
    if (!m_why.isEmpty())
        return;

    // Output goes to a file: a pipe nobody reads could fill and stall it.
    const QString log = m_controlDir.filePath(QStringLiteral("log"));
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setStandardOutputFile(log);
    m_process.setStandardInputFile(QProcess::nullDevice());
    m_process.start(QLatin1String(kPython),
                    {QStringLiteral(QPT_SOURCE_DIR "/tests/support/hung_share.py"), source, m_mountPoint,
                     m_controlDir.filePath(QStringLiteral("mode")), QStringLiteral("--with-parent"),
                     QStringLiteral("--lifetime"), QString::number(lifetimeS)});
    const bool mounted =
        waitUntil([this] { return isMounted(m_mountPoint) || m_process.state() == QProcess::NotRunning; },
                  kMountWaitMs)
        && isMounted(m_mountPoint);
    if (!mounted) {
        m_why = QStringLiteral("the file system did not mount at %1 within %2 ms: %3")
                    .arg(m_mountPoint)
                    .arg(kMountWaitMs)
                    .arg(oneLine(log));
        release();
    }
}

QString HungShare::whatIsMissing()
{
    if (::access("/dev/fuse", R_OK | W_OK) != 0)
        return QStringLiteral("no usable /dev/fuse (FUSE is not available here)");
    if (QStandardPaths::findExecutable(QStringLiteral("fusermount3")).isEmpty())
        return QStringLiteral("no fusermount3 (install fuse3)");
    if (!QFileInfo(QLatin1String(kPython)).isExecutable())
        return QStringLiteral("no %1").arg(QLatin1String(kPython));
    return {};  // fusepy itself is missing only when the script says so
}

HungShare::~HungShare()
{
    release();
}

QString HungShare::modeName(Mode mode)
{
    static const char* const names[] = {"pass", "block-reads", "block-stat", "slow-reads", "stall-mid"};
    return QLatin1String(names[int(mode)]);
}

bool HungShare::setMode(Mode mode)
{
    // Replaced whole by a rename: the file system never reads half a word.
    QSaveFile file(m_controlDir.filePath(QStringLiteral("mode")));
    return file.open(QIODevice::WriteOnly) && file.write(modeName(mode).toLatin1() + '\n') > 0 && file.commit();
}

bool HungShare::release()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(kStepMs);
    }
    // Killed, the file system leaves a mount whose calls fail at once;
    // it goes lazily so that a folder still open inside cannot keep it.
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (isMounted(m_mountPoint))
        runClient(QStringLiteral("fusermount3"), {QStringLiteral("-uz"), m_mountPoint}, environment, kStepMs);
    if (isMounted(m_mountPoint) && ::geteuid() == 0)
        runClient(QStringLiteral("umount"), {QStringLiteral("-l"), m_mountPoint}, environment, kStepMs);
    const bool unmounted = !isMounted(m_mountPoint);
    if (unmounted && m_madeMountPoint) {
        QDir().rmdir(m_mountPoint);
        m_madeMountPoint = false;
    }
    return unmounted;
}

bool HungShare::isMounted(const QString& path)
{
    QFile mountinfo(QStringLiteral("/proc/self/mountinfo"));
    if (path.isEmpty() || !mountinfo.open(QIODevice::ReadOnly))
        return false;
    const QByteArray wanted = QFile::encodeName(path);
    // Read whole: /proc files have no size, so line reads may stop early.
    for (const QByteArray& line : mountinfo.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() > 4 && unescapeMountPath(fields[4]) == wanted)
            return true;
    }
    return false;
}

struct Probe::State {
    std::mutex mutex;
    std::condition_variable returned;
    bool done = false;
};

Probe::Probe(std::function<void()> call) : m_state(std::make_shared<State>())
{
    std::thread([state = m_state, call = std::move(call)] {
        try {
            call();
        } catch (...) {
            // A call that throws has returned too.
        }
        const std::lock_guard<std::mutex> lock(state->mutex);
        state->done = true;
        state->returned.notify_all();
    }).detach();
}

bool Probe::finishedWithin(int ms) const
{
    std::unique_lock<std::mutex> lock(m_state->mutex);
    return m_state->returned.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_state->done; });
}

bool finishesWithin(std::function<void()> call, int ms)
{
    return Probe(std::move(call)).finishedWithin(ms);
}

}  // namespace qpt::test
