#include "player/core/length/probe_file.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qpt::length {

namespace {

// Large enough that a short song is read in one go and a long one in few
// reads; small enough that header-only formats do not pay for it.
constexpr std::int64_t kWindow = 64 * 1024;

FileStamp stampOf(const struct stat& st)
{
    FileStamp s;
    s.size = st.st_size;
    s.mtimeNs = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    s.inode = st.st_ino;
    s.device = st.st_dev;
    return s;
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

bool ProbeFile::open(const QByteArray& localPath)
{
    close();
    // O_NONBLOCK: should the path have turned into a pipe since it was
    // examined, opening it must not wait for a writer.
    m_fd = ::open(localPath.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (m_fd < 0)
        return false;
    struct stat st {};
    if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close();
        return false;
    }
    m_stamp = stampOf(st);
    return true;
}

void ProbeFile::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_stamp = FileStamp();
    m_windowStart = 0;
    m_windowLength = 0;
}

Bytes ProbeFile::read(std::int64_t offset, std::int64_t length)
{
    if (m_fd < 0 || offset < 0 || length <= 0 || offset >= m_stamp.size)
        return {};
    length = std::min(length, m_stamp.size - offset);
    if (offset >= m_windowStart && offset + length <= m_windowStart + m_windowLength)
        return Bytes(m_window.data() + (offset - m_windowStart), std::size_t(length));

    const std::int64_t want = std::min(std::max(length, kWindow), m_stamp.size - offset);
    if (std::int64_t(m_window.size()) < want)
        m_window.resize(std::size_t(want));
    std::int64_t got = 0;
    while (got < want) {
        const ssize_t n = ::pread(m_fd, m_window.data() + got, std::size_t(want - got), offset + got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += n;
    }
    m_loaded += got;
    m_windowStart = offset;
    m_windowLength = got;
    return Bytes(m_window.data(), std::size_t(std::min(got, length)));
}

}  // namespace qpt::length
