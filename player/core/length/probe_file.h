#pragma once
// A regular file (or a block of memory) opened for reading header bytes at
// any offset. Reads go through a few cached blocks of the file, aligned to
// the block size, so that walking forward through the file and looking a
// little ahead of the walk reads every byte of the file from disk once, in
// few large reads, whatever pattern of offsets the readers ask for.
//
// Plain reads into reused buffers, not a memory map: mapping each file
// measured three to four times slower on the frame walk (a page fault per
// few pages, and unmapping flushes every core's TLB), and a mapped file cut
// short by another program while it is read would kill the player with
// SIGBUS.
//
// How the file is read from disk is a ReadPolicy: most formats need a block
// at the start and one at the end, so the kernel's read-ahead is off until
// the readers walk through the file block after block; then it is on, at
// twice the usual window. A file that was not in memory before it was
// measured is dropped from the page cache when it is closed, so that
// measuring a large library does not push the user's other work out.

#include "player/core/length/byte_order.h"

#include <QByteArray>

#include <array>
#include <memory>
#include <cstdint>
#include <vector>

namespace qpt::length {

// What identifies one version of a file on disk.
struct FileStamp {
    std::int64_t size = 0;
    std::int64_t mtimeNs = 0;
    std::uint64_t inode = 0;
    std::uint64_t device = 0;
    bool operator==(const FileStamp&) const = default;
};

// How a probe reads from disk (see above); the benchmarks compare them.
struct ReadPolicy {
    // No read-ahead for header reads (POSIX_FADV_RANDOM when opened).
    bool headerReadsOnly = true;
    // Blocks loaded one after the other turn read-ahead on, doubled
    // (POSIX_FADV_SEQUENTIAL).
    bool sequentialWalk = true;
    // A file whose first block was not in memory is dropped from the page
    // cache when closed (POSIX_FADV_DONTNEED).
    bool dropWhenDone = true;
};

class ProbeFile {
public:
    static constexpr std::int64_t kBlockSize = 64 * 1024;
    // Blocks loaded in a row, each following one still held, that make a walk.
    static constexpr int kWalkAfter = 2;

    ProbeFile() = default;
    ~ProbeFile();
    ProbeFile(const ProbeFile&) = delete;
    ProbeFile& operator=(const ProbeFile&) = delete;

    // Opens a regular file; directories, devices and pipes are refused
    // without waiting for anything.
    bool open(const QByteArray& localPath, ReadPolicy policy = {});
    // Reads from memory instead (tests, fuzzing). The bytes must outlive
    // the reads.
    void openMemory(Bytes bytes);
    void close();

    std::int64_t size() const { return m_stamp.size; }
    // The version of the file that is open.
    const FileStamp& stamp() const { return m_stamp; }

    // Up to `length` bytes from `offset`; fewer at the end of the file, none
    // past it or after a read error. The view stays valid until the next call.
    Bytes read(std::int64_t offset, std::int64_t length);

    // Bytes read from the file so far (from disk or the page cache).
    std::int64_t bytesLoaded() const { return m_loaded; }
    // True once the readers walk through the file (read-ahead on).
    bool isWalking() const { return m_walking; }

    // The stamp of the file at `localPath`; false when it does not exist or
    // cannot be examined.
    static bool stamp(const QByteArray& localPath, FileStamp& out, bool& isRegular);

private:
    struct Block {
        std::int64_t index = -1;  // block number in the file, -1 when empty
        std::int64_t length = 0;  // bytes held (less than a block at the end)
        std::uint64_t lastUse = 0;
        std::unique_ptr<std::uint8_t[]> data;  // kBlockSize bytes once used
    };
    // The block holding `index`, loaded if needed; nullptr on a read error.
    const Block* block(std::int64_t index);
    // Reads into `into` at `offset`; the first read of a file also finds
    // out whether the file was in memory already.
    std::int64_t load(std::uint8_t* into, std::int64_t want, std::int64_t offset);
    // Before block `index` is loaded: a walk starts here?
    void noteLoad(std::int64_t index);

    int m_fd = -1;
    Bytes m_memory;
    FileStamp m_stamp;
    std::array<Block, 4> m_blocks;
    std::uint64_t m_useClock = 0;
    std::vector<std::uint8_t> m_scratch;  // reads that span blocks
    std::int64_t m_loaded = 0;
    ReadPolicy m_policy;
    int m_forwardLoads = 0;
    bool m_walking = false;
    bool m_firstLoad = true;
    bool m_wasInMemory = false;
};

}  // namespace qpt::length
