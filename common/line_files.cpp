#include "line_files.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qpt {

namespace {
constexpr qsizetype kReadSize = 64 * 1024;
}

LineReader::~LineReader()
{
    close();
}

bool LineReader::open(const NativePath& path, qint64 offset)
{
    close();
    m_failed = false;
    // A pipe under a batch or playlist name must not make the player wait
    // for a writer.
    struct stat st {};
    m_fd = nativepath::openRegularFile(path, st);
    if (m_fd < 0)
        return false;
    m_size = st.st_size;
    if (offset < 0 || offset > m_size)
        offset = 0;
    if (::lseek(m_fd, offset, SEEK_SET) != offset) {
        close();
        return false;
    }
    m_bufferStart = m_lineStart = offset;
    return true;
}

void LineReader::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_buffer.clear();
    m_pos = 0;
    m_skipLf = false;
}

// Reads more of the file behind what is buffered. False at the end.
bool LineReader::fill()
{
    // Drop what has been consumed, keep the line being read.
    const qsizetype keep = qsizetype(m_lineStart - m_bufferStart);
    if (keep > 0) {
        m_buffer.remove(0, keep);
        m_pos -= keep;
        m_bufferStart = m_lineStart;
    }
    const qsizetype old = m_buffer.size();
    m_buffer.resize(old + kReadSize);
    ssize_t n;
    do {
        n = ::read(m_fd, m_buffer.data() + old, size_t(kReadSize));
    } while (n < 0 && errno == EINTR);
    m_buffer.resize(old + (n > 0 ? n : 0));
    if (n < 0)
        m_failed = true;
    return n > 0;
}

bool LineReader::next(QByteArray& line)
{
    if (m_fd < 0)
        return false;
    bool tooLong = false;
    for (;;) {
        if (m_pos >= m_buffer.size() && !fill()) {
            // The end of the file (for now).
            const qsizetype length = m_buffer.size() - qsizetype(m_lineStart - m_bufferStart);
            if (length <= 0 && !tooLong)
                return false;
            line = tooLong ? QByteArray() : m_buffer.mid(qsizetype(m_lineStart - m_bufferStart));
            m_lineStart = m_bufferStart + m_buffer.size();
            if (tooLong)
                return false;
            return true;
        }
        const char c = m_buffer.at(m_pos);
        if (m_skipLf) {
            m_skipLf = false;
            if (c == '\n') {
                ++m_pos;
                m_lineStart = m_bufferStart + m_pos;
                continue;
            }
        }
        if (c == '\r' || c == '\n') {
            const qsizetype begin = qsizetype(m_lineStart - m_bufferStart);
            const bool skip = tooLong;
            if (!skip)
                line = m_buffer.mid(begin, m_pos - begin);
            ++m_pos;
            m_skipLf = c == '\r';
            m_lineStart = m_bufferStart + m_pos;
            if (skip) {
                tooLong = false;
                continue;
            }
            return true;
        }
        ++m_pos;
        if (m_pos - qsizetype(m_lineStart - m_bufferStart) > linefiles::kMaxLineBytes) {
            // Not a path: forget what was gathered and skip to the line end.
            tooLong = true;
            m_buffer.remove(0, m_pos);
            m_bufferStart += m_pos;
            m_pos = 0;
            m_lineStart = m_bufferStart;
        }
    }
}

namespace linefiles {

std::optional<QList<QByteArray>> readAll(const NativePath& path, qint64 maxBytes)
{
    LineReader reader;
    if (!reader.open(path) || reader.size() > maxBytes)
        return std::nullopt;
    QList<QByteArray> lines;
    QByteArray line;
    qint64 total = 0;
    while (reader.next(line)) {
        total += line.size() + 2;
        if (total > maxBytes)
            return std::nullopt;  // it grew while being read
        lines << line;
    }
    if (reader.failed())
        return std::nullopt;
    return lines;
}

PlaylistRead readPlaylist(const NativePath& path, QList<QByteArray>& lines)
{
    LineReader probe;
    if (!probe.open(path))
        return PlaylistRead::Unreadable;
    if (probe.size() > kMaxPlaylistBytes)
        return PlaylistRead::TooLarge;
    probe.close();
    const auto read = readAll(path);
    if (!read)
        return PlaylistRead::Unreadable;
    const NativePath base = nativepath::folder(nativepath::absolute(path));
    lines.clear();
    lines.reserve(read->size());
    for (const QByteArray& line : *read)
        lines << (line.isEmpty() ? line : nativepath::resolvedAgainst(line, base));
    return PlaylistRead::Ok;
}

QByteArray encode(const QList<QByteArray>& lines)
{
    QByteArray bytes;
    qsizetype size = 0;
    for (const QByteArray& line : lines)
        size += line.size() + 2;
    bytes.reserve(size);
    for (const QByteArray& line : lines) {
        // Never split: the routes in refuse such names with a message, and
        // a line that slips through is left out rather than cut in pieces.
        if (nativepath::holdsLineBreak(line))
            continue;
        bytes += line;
        bytes += "\r\n";
    }
    return bytes;
}

bool append(const NativePath& path, const QList<QByteArray>& lines)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644);
    if (fd < 0)
        return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    const QByteArray bytes = encode(lines);
    qsizetype done = 0;
    while (ok && done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            ok = false;
        else
            done += n;
    }
    return ::close(fd) == 0 && ok;
}

QList<QByteArray> split(const QByteArray& bytes)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            lines << bytes.mid(start, i - start);
            if (c == '\r' && i + 1 < n && bytes[i + 1] == '\n')
                ++i;
            start = i + 1;
        }
    }
    if (start < n)
        lines << bytes.mid(start);
    return lines;
}

}  // namespace linefiles
}  // namespace qpt
