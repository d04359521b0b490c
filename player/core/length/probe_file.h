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

class ProbeFile {
public:
    static constexpr std::int64_t kBlockSize = 64 * 1024;

    ProbeFile() = default;
    ~ProbeFile();
    ProbeFile(const ProbeFile&) = delete;
    ProbeFile& operator=(const ProbeFile&) = delete;

    // Opens a regular file; directories, devices and pipes are refused
    // without waiting for anything.
    bool open(const QByteArray& localPath);
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

    // Bytes read from disk so far.
    std::int64_t bytesLoaded() const { return m_loaded; }

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

    int m_fd = -1;
    Bytes m_memory;
    FileStamp m_stamp;
    std::array<Block, 4> m_blocks;
    std::uint64_t m_useClock = 0;
    std::vector<std::uint8_t> m_scratch;  // reads that span blocks
    std::int64_t m_loaded = 0;
};

}  // namespace qpt::length
