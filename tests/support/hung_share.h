#pragma once
// A share that stops answering: a FUSE file system (hung_share.py) that
// mirrors a folder read-only and, on demand, lets reads or stats hang for
// good. A test mounts it in Pass, lets the player see the files, switches
// the mode, checks that the player still answers, and ends it with
// release() (or the destructor), which kills the file system with SIGKILL:
// that alone frees every call waiting on it. Declare it after the folders
// it lives in, so that it is gone before they are removed.
//
// Nothing here ever looks inside the mount: whether it is mounted is read
// from /proc/self/mountinfo, so the test's own thread never hangs on it.

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <memory>

namespace qpt::test {

class HungShare {
public:
    enum class Mode {
        Pass,        // a plain mirror
        BlockReads,  // open and read of files never answer; stat and listing do
        BlockStat,   // stat, lookup, open, read and listing never answer, the
                     // root's listing too; only the root's own stat and
                     // statfs answer (mounting and unmounting need them)
        SlowReads,   // every read answers after 2 s
        StallMidFile,  // a file's first half reads, the rest never
                       // answers (a share that hangs mid-song)
    };

    // Mirrors `source` at `mountPoint` (made when missing, and then removed
    // again) and waits up to 5 s for the mount. The file system ends itself
    // when this process dies, and after `lifetimeS` in any case.
    HungShare(const QString& source, const QString& mountPoint, Mode mode = Mode::Pass, int lifetimeS = 600);
    ~HungShare();
    HungShare(const HungShare&) = delete;
    HungShare& operator=(const HungShare&) = delete;

    bool available() const { return m_why.isEmpty(); }
    // Why there is no mount (for QSKIP); empty when there is one.
    QString whyUnavailable() const { return m_why; }
    // The mount point.
    QString path() const { return m_mountPoint; }
    QString filePath(const QString& name) const { return m_mountPoint + QLatin1Char('/') + name; }

    // Takes effect with the next call that reaches the file system; calls
    // that already hang keep hanging until release().
    bool setMode(Mode mode);
    static QString modeName(Mode mode);

    // Kills the file system (SIGKILL: every waiting call then fails with
    // ENOTCONN) and unmounts lazily, each step under a time limit. True when
    // no mount is left. Safe to call more than once.
    bool release();

    // Why no share can be made on this machine at all; empty when one can.
    static QString whatIsMissing();
    // Whether something is mounted at `path`, from /proc/self/mountinfo.
    static bool isMounted(const QString& path);

private:
    QString m_mountPoint;
    bool m_madeMountPoint = false;
    QTemporaryDir m_controlDir;
    QProcess m_process;
    QString m_why;
};

// A call that may hang, run on a detached thread. If it hangs on a share,
// the thread stays until the share is released; it may outlive the Probe and
// the test function, so the call must own what it uses (capture by value).
class Probe {
public:
    explicit Probe(std::function<void()> call);
    // Waits up to `ms` for the call to return; true once it has.
    bool finishedWithin(int ms) const;

private:
    struct State;
    std::shared_ptr<State> m_state;
};

// Whether `call`, run on its own thread, returns within `ms`.
bool finishesWithin(std::function<void()> call, int ms);

}  // namespace qpt::test
