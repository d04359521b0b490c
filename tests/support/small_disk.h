#pragma once
// A file system of a few kilobytes (tmpfs) mounted on a temporary folder,
// to see what writers do when the disk fills. Mounting needs root; where
// it is refused the test skips. mount and umount run under a time limit.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStorageInfo>
#include <QTemporaryDir>

namespace qpt::test {

class SmallDisk {
public:
    explicit SmallDisk(int kilobytes = 64)
    {
        if (!m_dir.isValid())
            return;
        m_mounted = run({QStringLiteral("mount"), QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                         QStringLiteral("size=%1k").arg(kilobytes), QStringLiteral("qpt-small-disk"), m_dir.path()});
    }
    ~SmallDisk()
    {
        if (m_mounted)
            run({QStringLiteral("umount"), QStringLiteral("-l"), m_dir.path()});
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool isMounted() const { return m_mounted; }
    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const { return m_dir.path() + QLatin1Char('/') + name; }

    // Takes all but `leaveBytes` of the free space with a file of its own.
    void fill(qint64 leaveBytes = 0)
    {
        QFile filler(file(QStringLiteral("filler")));
        filler.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
        const QByteArray block(4096, 'x');
        for (;;) {
            const qint64 free = QStorageInfo(m_dir.path()).bytesAvailable();
            if (free <= leaveBytes || filler.write(block.left(int(std::min<qint64>(4096, free - leaveBytes)))) <= 0)
                break;
        }
    }
    // The names in the folder but the filler.
    QStringList names() const
    {
        QStringList all = QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        all.removeAll(QStringLiteral("filler"));
        return all;
    }

private:
    static bool run(const QStringList& command)
    {
        QProcess process;
        process.start(QStringLiteral("timeout"), QStringList{QStringLiteral("10")} + command);
        return process.waitForFinished(15000) && process.exitStatus() == QProcess::NormalExit
            && process.exitCode() == 0;
    }

    QTemporaryDir m_dir;
    bool m_mounted = false;
};

}  // namespace qpt::test
