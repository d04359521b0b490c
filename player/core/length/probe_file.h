#pragma once
// A regular file opened for reading header bytes at any offset. Reads go
// through one window of the file that is refilled as needed, so that walking
// forward through the file (frame by frame) costs one read per window.

#include "player/core/length/byte_order.h"

#include <QByteArray>

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
    ProbeFile() = default;
    ~ProbeFile();
    ProbeFile(const ProbeFile&) = delete;
    ProbeFile& operator=(const ProbeFile&) = delete;

    // Opens a regular file; directories, devices and pipes are refused.
    bool open(const QByteArray& localPath);
    void close();

    std::int64_t size() const { return m_stamp.size; }
    // The version of the file that is open.
    const FileStamp& stamp() const { return m_stamp; }

    // Up to `length` bytes from `offset`; fewer at the end of the file, none
    // past it or after a read error. The view stays valid until the next call.
    Bytes read(std::int64_t offset, std::int64_t length);

    // Bytes read from disk so far (for the benchmark command).
    std::int64_t bytesLoaded() const { return m_loaded; }

    // The stamp of the file at `localPath`; false when it does not exist or
    // cannot be examined.
    static bool stamp(const QByteArray& localPath, FileStamp& out, bool& isRegular);

private:
    int m_fd = -1;
    FileStamp m_stamp;
    std::vector<std::uint8_t> m_window;
    std::int64_t m_windowStart = 0;
    std::int64_t m_windowLength = 0;
    std::int64_t m_loaded = 0;
};

}  // namespace qpt::length
