#include "player/core/length/probe_file.h"

#include "common/native_path.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/resource.h>
#include <unistd.h>

namespace qpt::length {

namespace {

FileStamp stampOf(const struct stat& st)
{
    FileStamp s;
    s.size = st.st_size;
    s.mtimeNs = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    s.inode = st.st_ino;
    s.device = st.st_dev;
    return s;
}

// What this thread has read from block devices, in 512-byte units (the
// kernel counts the read-ahead it starts too).
std::int64_t blocksReadByThisThread()
{
    rusage usage{};
    ::getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_inblock;
}

// Block buffers outlive the files they were read for: one file after the
// other on a thread reuses them, instead of asking the allocator for fresh
// (zeroed, then released to the system) memory per file.
constexpr std::size_t kSpareBlocks = 4;  // as many as one file holds
thread_local std::vector<std::unique_ptr<std::uint8_t[]>> spareBlocks;

std::unique_ptr<std::uint8_t[]> takeBlockBuffer()
{
    if (spareBlocks.empty())
        return std::unique_ptr<std::uint8_t[]>(new std::uint8_t[std::size_t(ProbeFile::kBlockSize)]);
    auto buffer = std::move(spareBlocks.back());
    spareBlocks.pop_back();
    return buffer;
}

void returnBlockBuffer(std::unique_ptr<std::uint8_t[]> buffer)
{
    if (buffer && spareBlocks.size() < kSpareBlocks)
        spareBlocks.push_back(std::move(buffer));
}

}  // namespace

ProbeFile::~ProbeFile()
{
    close();
}

bool ProbeFile::stamp(const QByteArray& localPath, FileStamp& out, bool& isRegular)
{
    struct stat st {};
    if (::stat(localPath.constData(), &st) != 0)
        return false;
    isRegular = S_ISREG(st.st_mode);
    out = stampOf(st);
    return true;
}

bool ProbeFile::open(const QByteArray& localPath, ReadPolicy policy)
{
    close();
    // Should the path have turned into a pipe since it was examined,
    // opening it must not wait for a writer.
    struct stat st {};
    m_fd = nativepath::openRegularFile(localPath, st);
    if (m_fd < 0)
        return false;
    m_stamp = stampOf(st);
    m_policy = policy;
    // Advice is only advice: a file system that takes none reads as before.
    if (m_policy.headerReadsOnly)
        ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_RANDOM);
    return true;
}

void ProbeFile::openMemory(Bytes bytes)
{
    close();
    m_memory = bytes;
    m_stamp.size = std::int64_t(bytes.size());
}

void ProbeFile::close()
{
    if (m_fd >= 0) {
        // What this read in is of no use to anybody else; what was in
        // memory before (a song being played, a file just copied) stays.
        if (m_policy.dropWhenDone && !m_firstLoad && !m_wasInMemory)
            ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_DONTNEED);
        ::close(m_fd);
    }
    m_fd = -1;
    m_forwardLoads = 0;
    m_walking = false;
    m_firstLoad = true;
    m_wasInMemory = false;
    m_memory = {};
    m_stamp = FileStamp();
    for (Block& b : m_blocks) {
        b.index = -1;
        b.length = 0;
        returnBlockBuffer(std::move(b.data));
    }
}

const ProbeFile::Block* ProbeFile::block(std::int64_t index)
{
    Block* victim = &m_blocks[0];
    for (Block& b : m_blocks) {
        if (b.index == index) {
            b.lastUse = ++m_useClock;
            return &b;
        }
        if (b.index < 0 || b.lastUse < victim->lastUse)
            victim = &b;
    }
    noteLoad(index);
    const std::int64_t start = index * kBlockSize;
    const std::int64_t want = std::min(kBlockSize, m_stamp.size - start);
    if (!victim->data)
        victim->data = takeBlockBuffer();
    const std::int64_t got = load(victim->data.get(), want, start);
    m_loaded += got;
    victim->index = got > 0 ? index : -1;
    victim->length = got;
    victim->lastUse = ++m_useClock;
    return got > 0 ? victim : nullptr;
}

void ProbeFile::noteLoad(std::int64_t index)
{
    const bool follows =
        index > 0 && std::any_of(m_blocks.cbegin(), m_blocks.cend(), [&](const Block& b) { return b.index == index - 1; });
    m_forwardLoads = follows ? m_forwardLoads + 1 : 0;
    if (!m_walking && m_forwardLoads >= kWalkAfter && m_policy.sequentialWalk) {
        m_walking = true;
        ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    }
}

std::int64_t ProbeFile::load(std::uint8_t* into, std::int64_t want, std::int64_t offset)
{
    // Whether the file was in memory before it was measured: its first
    // block came without this thread reading from disk. (A read that may
    // not wait would tell too, but it also fails on a page that another
    // thread holds locked, and so would drop files that are in memory.)
    const bool first = std::exchange(m_firstLoad, false) && m_policy.dropWhenDone;
    const std::int64_t before = first ? blocksReadByThisThread() : 0;
    std::int64_t got = 0;
    while (got < want) {
        const ssize_t n = ::pread(m_fd, into + got, std::size_t(want - got), offset + got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += n;
    }
    if (first)
        m_wasInMemory = blocksReadByThisThread() == before;
    return got;
}

Bytes ProbeFile::read(std::int64_t offset, std::int64_t length)
{
    if ((m_fd < 0 && m_memory.empty()) || offset < 0 || length <= 0 || offset >= m_stamp.size)
        return {};
    length = std::min(length, m_stamp.size - offset);
    if (!m_memory.empty())
        return m_memory.subspan(std::size_t(offset), std::size_t(length));

    const std::int64_t first = offset / kBlockSize;
    const std::int64_t last = (offset + length - 1) / kBlockSize;
    if (first == last) {
        const Block* b = block(first);
        if (!b)
            return {};
        const std::int64_t inside = offset - first * kBlockSize;
        return Bytes(b->data.get() + inside, std::size_t(std::clamp<std::int64_t>(b->length - inside, 0, length)));
    }
    // A read across blocks is put together in the scratch buffer.
    m_scratch.resize(std::size_t(length));
    std::int64_t done = 0;
    for (std::int64_t index = first; index <= last && done < length; ++index) {
        const Block* b = block(index);
        if (!b)
            break;
        const std::int64_t inside = offset + done - index * kBlockSize;
        const std::int64_t n = std::min(b->length - inside, length - done);
        if (n <= 0)
            break;
        std::memcpy(m_scratch.data() + done, b->data.get() + inside, std::size_t(n));
        done += n;
    }
    return Bytes(m_scratch.data(), std::size_t(done));
}

}  // namespace qpt::length
