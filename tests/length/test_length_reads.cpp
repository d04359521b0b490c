// How the length probe reads from disk: a file whose headers hold its
// length is not walked, one that must be read whole is (with read-ahead);
// a file read in from disk leaves the page cache again when measured, one
// that was in memory before (a song being played) stays; the workers read
// with the process's I/O class, or the idle one when told.

#include "player/core/length/length_probe.h"
#include "player/core/length/length_workers.h"
#include "tests/support/wav_bytes.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <linux/ioprio.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

using namespace qpt;
using namespace qpt::length;

namespace {

// MPEG-1 Layer III, 128 kbit/s, 44.1 kHz, no Xing header: 417-byte frames
// that only a walk over all of them counts.
QByteArray mpegStream(int frames)
{
    QByteArray frame(417, '\0');
    frame[0] = char(0xFF), frame[1] = char(0xFB), frame[2] = char(0x90), frame[3] = char(0x00);
    QByteArray out;
    for (int i = 0; i < frames; ++i)
        out += frame;
    return out;
}

// 16-bit stereo PCM at 44.1 kHz: the header holds the length.
QByteArray wav(int dataBytes)
{
    return qpt::test::pcmWav(44100, 2, 16, QByteArray(dataBytes, '\1'));
}

QByteArray write(const QTemporaryDir& dir, const char* name, const QByteArray& bytes)
{
    const QByteArray path = QFile::encodeName(dir.filePath(QLatin1String(name)));
    QFile file(QString::fromLocal8Bit(path));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    file.close();
    return path;
}

// Whether any page of the file is in the page cache (mincore: looking
// reads nothing in, where a read that may not wait would start one).
bool inMemory(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    ::fstat(fd, &st);
    void* map = ::mmap(nullptr, std::size_t(st.st_size), PROT_READ, MAP_SHARED, fd, 0);
    ::close(fd);
    if (map == MAP_FAILED)
        return false;
    const std::size_t page = std::size_t(::sysconf(_SC_PAGESIZE));
    std::vector<unsigned char> pages((std::size_t(st.st_size) + page - 1) / page);
    const bool looked = ::mincore(map, std::size_t(st.st_size), pages.data()) == 0;
    ::munmap(map, std::size_t(st.st_size));
    return looked && std::any_of(pages.cbegin(), pages.cend(), [](unsigned char p) { return p & 1; });
}

// Writes the file to disk and drops it from the page cache; false where the
// file system keeps its pages anyway (tmpfs).
bool outOfMemory(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    ::fsync(fd);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
    return !inMemory(path);
}

void readWhole(const QByteArray& path)
{
    QFile file(QString::fromLocal8Bit(path));
    if (file.open(QIODevice::ReadOnly))
        file.readAll();
}

int ioClassOfThisThread()
{
    return IOPRIO_PRIO_CLASS(::syscall(SYS_ioprio_get, IOPRIO_WHO_PROCESS, 0));
}

}  // namespace

class TestLengthReads : public QObject {
    Q_OBJECT

private slots:
    void headersAreReadWhereTheyAre_aFrameWalkReadsAhead()
    {
        QTemporaryDir dir;
        const QByteArray song = write(dir, "walked.mp3", mpegStream(2500));
        const QByteArray pcm = write(dir, "header.wav", wav(2 * 1024 * 1024));
        QVERIFY(!song.isEmpty() && !pcm.isEmpty());

        ProbeFile walked;
        QVERIFY(walked.open(song));
        QCOMPARE(LengthProbe::measureFile(walked).value_or(-1), std::int64_t(2500) * 1152 * 1000 / 44100);
        QVERIFY(walked.isWalking());
        QVERIFY(walked.bytesLoaded() >= walked.size());

        ProbeFile header;
        QVERIFY(header.open(pcm));
        QVERIFY(LengthProbe::measureFile(header).has_value());
        QVERIFY(!header.isWalking());
        QVERIFY(header.bytesLoaded() <= 2 * ProbeFile::kBlockSize);

        // Reading the blocks of the start and the end, and the start again,
        // is no walk either.
        ProbeFile jumps;
        QVERIFY(jumps.open(song));
        for (const std::int64_t at : {std::int64_t(0), jumps.size() - 10, std::int64_t(ProbeFile::kBlockSize)})
            QVERIFY(!jumps.read(at, 4).empty());
        QVERIFY(!jumps.isWalking());
        QVERIFY(!jumps.read(2 * ProbeFile::kBlockSize, 4).empty());
        QVERIFY(jumps.isWalking());
    }

    void aFileReadFromDiskLeavesMemory_oneThatWasThereStays()
    {
        QTemporaryDir dir;
        const QByteArray fromDisk = write(dir, "from disk.mp3", mpegStream(1000));
        const QByteArray playing = write(dir, "playing.mp3", mpegStream(1000));
        const QByteArray kept = write(dir, "kept.mp3", mpegStream(1000));
        QVERIFY(!fromDisk.isEmpty() && !playing.isEmpty() && !kept.isEmpty());
        if (!outOfMemory(fromDisk) || !outOfMemory(playing) || !outOfMemory(kept))
            QSKIP("the temporary folder's file system keeps files in memory");

        LengthProbe probe;
        QVERIFY(probe.measure(fromDisk).has_value());
        QVERIFY(!inMemory(fromDisk));

        readWhole(playing);  // a song being played is in memory already
        QVERIFY(probe.measure(playing).has_value());
        QVERIFY(inMemory(playing));

        ReadPolicy keep;
        keep.dropWhenDone = false;
        QVERIFY(LengthProbe(keep).measure(kept).has_value());
        QVERIFY(inMemory(kept));
    }

    void workersReadWithTheIdleClassOnlyWhenTold()
    {
        for (const bool idle : {true, false}) {
            auto seen = std::make_shared<std::atomic<int>>(-1);
            LengthWorkers workers(
                1,
                [seen](const LengthJob& job) {
                    seen->store(ioClassOfThisThread());
                    LengthResult result;
                    result.entry = job.entry;
                    return result;
                },
                nullptr, {});
            workers.setIdleIo(idle);
            LengthJob job;
            job.entry = 1;
            workers.submit({job});
            QTRY_VERIFY_WITH_TIMEOUT(seen->load() >= 0, 5000);
            QCOMPARE(seen->load() == IOPRIO_CLASS_IDLE, idle);
        }
    }
};

QTEST_GUILESS_MAIN(TestLengthReads)
#include "test_length_reads.moc"
