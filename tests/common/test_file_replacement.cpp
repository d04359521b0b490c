// Replacing a kept file on a disk that fills: the old file stays byte for
// byte, nothing is left beside it, and the cause is known; on room, the
// new content is whole and the old file's permissions and links stay.

#include "common/file_replacement.h"
#include "tests/support/small_disk.h"

#include <QFile>
#include <QTest>

#include <cerrno>
#include <sys/stat.h>

using namespace qpt;
using namespace qpt::test;

namespace {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QByteArray lines(int count, const char* stem)
{
    QByteArray bytes;
    for (int i = 0; i < count; ++i)
        bytes += QByteArray("/music/") + stem + "/song number " + QByteArray::number(i) + ".mp3\r\n";
    return bytes + "\r\n";
}

}  // namespace

class TestFileReplacement : public QObject {
    Q_OBJECT
private slots:
    void fullDiskKeepsTheOldFileWhole_data()
    {
        QTest::addColumn<qint64>("free");
        QTest::addColumn<int>("songs");
        // Under and over the size a buffered writer keeps before it
        // writes; no room at all; room for part of the list.
        QTest::newRow("no room, short list") << qint64(0) << 10;
        QTest::newRow("no room, long list") << qint64(0) << 1000;
        QTest::newRow("8 KB free, 310 songs") << qint64(8192) << 310;
        QTest::newRow("8 KB free, 2000 songs") << qint64(8192) << 2000;
    }
    void fullDiskKeepsTheOldFileWhole()
    {
        QFETCH(qint64, free);
        QFETCH(int, songs);
        SmallDisk disk(64);
        if (!disk.isMounted())
            QSKIP("a small tmpfs cannot be mounted here");
        const QString target = disk.file(QStringLiteral("autosavedlist.aut"));
        const QByteArray old = lines(40, "old");
        QVERIFY(filereplacement::replace(target, old));
        disk.fill(free);

        const filereplacement::Outcome outcome = filereplacement::replace(target, lines(songs, "new"));
        QVERIFY(!outcome.ok);
        QCOMPARE(outcome.error, ENOSPC);
        QVERIFY(outcome.cause().contains(QStringLiteral("space"), Qt::CaseInsensitive));
        QCOMPARE(readFile(target), old);
        QCOMPARE(disk.names(), QStringList{QStringLiteral("autosavedlist.aut")});

        // A new file that cannot be written leaves no file at all.
        const QString fresh = disk.file(QStringLiteral("mine.vyx"));
        QVERIFY(!filereplacement::replace(fresh, lines(songs, "new")));
        QVERIFY(!QFile::exists(fresh));
        QCOMPARE(disk.names(), QStringList{QStringLiteral("autosavedlist.aut")});
    }

    void replacesWholeKeepingModeAndLinks()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("list.vyx"));
        QVERIFY(filereplacement::replace(target, "a\r\n"));
        QCOMPARE(readFile(target), QByteArray("a\r\n"));
        QVERIFY(::chmod(QFile::encodeName(target).constData(), 0640) == 0);
        const QByteArray big = lines(5000, "big");
        QVERIFY(filereplacement::replace(target, big));
        QCOMPARE(readFile(target), big);
        struct stat st {};
        QVERIFY(::stat(QFile::encodeName(target).constData(), &st) == 0);
        QCOMPARE(int(st.st_mode & 0777), 0640);

        // Through a link the file pointed at gets the content; the link stays.
        const QString link = dir.filePath(QStringLiteral("link.vyx"));
        QVERIFY(QFile::link(target, link));
        QVERIFY(filereplacement::replace(link, "b\r\n"));
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(readFile(target), QByteArray("b\r\n"));

        // A folder that is not there: a cause, nothing made.
        const filereplacement::Outcome missing = filereplacement::replace(dir.filePath(QStringLiteral("no/x.vyx")), "c");
        QVERIFY(!missing.ok);
        QCOMPARE(missing.error, ENOENT);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestFileReplacement)
#include "test_file_replacement.moc"
