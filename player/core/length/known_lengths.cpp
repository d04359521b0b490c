#include "player/core/length/known_lengths.h"

#include "common/native_path.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>

#include <algorithm>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace qpt::length {

namespace {

// File layout, little-endian: the magic line, the entry count, the entries
// (path length, path bytes, size, modification time in ns, length in ms),
// and a 64-bit FNV-1a sum of everything before it. The version in the magic
// line goes up whenever the readers come to measure some files otherwise,
// so that lengths kept from before are measured again.
constexpr char kMagic[] = "QPTLEN\x02\n";
constexpr qsizetype kMagicSize = sizeof(kMagic) - 1;
constexpr qint64 kMaxFileSize = 64 * 1024 * 1024;
constexpr quint32 kMaxPathLength = 64 * 1024;

std::uint64_t fnv1a(const char* data, qsizetype size)
{
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (qsizetype i = 0; i < size; ++i) {
        hash ^= std::uint8_t(data[i]);
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

template <typename T>
void put(QByteArray& out, T value)
{
    char bytes[sizeof(T)];
    qToLittleEndian(value, bytes);
    out.append(bytes, sizeof(T));
}

// Reads fixed-size numbers off the front of a byte range; once anything is
// missing every later read fails too.
class Reader {
public:
    Reader(const char* data, qsizetype size) : m_data(data), m_left(size) {}
    template <typename T>
    bool take(T& value)
    {
        if (m_left < qsizetype(sizeof(T)))
            return false;
        value = qFromLittleEndian<T>(m_data);
        m_data += sizeof(T);
        m_left -= sizeof(T);
        return true;
    }
    bool take(QByteArray& bytes, quint32 length)
    {
        if (m_left < qsizetype(length))
            return false;
        bytes = QByteArray(m_data, length);
        m_data += length;
        m_left -= length;
        return true;
    }
    qsizetype left() const { return m_left; }

private:
    const char* m_data;
    qsizetype m_left;
};

}  // namespace

std::optional<std::int64_t> KnownLengths::find(const QByteArray& path, std::int64_t size, std::int64_t mtimeNs)
{
    const std::lock_guard lock(m_mutex);
    auto it = m_entries.find(path);
    if (it == m_entries.end() || it->size != size || it->mtimeNs != mtimeNs)
        return std::nullopt;
    it->lastUse = ++m_useClock;
    const std::int64_t ms = it->ms;
    if (it.key().constData() != path.constData()) {
        // The key was read from the cache file: hold the caller's copy
        // instead, which the playlist row shares.
        const Entry entry = *it;
        m_entries.erase(it);
        m_entries.insert(path, entry);
    }
    return ms;
}

bool KnownLengths::knows(const QByteArray& path) const
{
    const std::lock_guard lock(m_mutex);
    return m_entries.contains(path);
}

void KnownLengths::store(const QByteArray& path, std::int64_t size, std::int64_t mtimeNs, std::int64_t ms)
{
    const std::lock_guard lock(m_mutex);
    m_entries.insert(path, Entry{size, mtimeNs, ms, ++m_useClock});
    m_changed = true;
}

int KnownLengths::count() const
{
    const std::lock_guard lock(m_mutex);
    return int(m_entries.size());
}

bool KnownLengths::isChanged() const
{
    const std::lock_guard lock(m_mutex);
    return m_changed;
}

KnownLengths::Load KnownLengths::load(const QString& fileName)
{
    QFile file;
    {
        // Opened once and examined open: a pipe put in its place between a
        // look and the open is never waited on.
        struct stat st {};
        const int fd = nativepath::openRegularFile(QFile::encodeName(fileName), st);
        if (fd < 0)
            return QFile::exists(fileName) ? Load::Rejected : Load::Missing;
        if (st.st_size > kMaxFileSize || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
            ::close(fd);
            return Load::Rejected;
        }
    }
    const QByteArray bytes = file.read(kMaxFileSize + 1);
    constexpr qsizetype kSumSize = sizeof(std::uint64_t);
    if (bytes.size() < kMagicSize + 4 + kSumSize || !bytes.startsWith(QByteArray(kMagic, kMagicSize)))
        return Load::Rejected;
    const qsizetype bodyEnd = bytes.size() - kSumSize;
    if (qFromLittleEndian<std::uint64_t>(bytes.constData() + bodyEnd) != fnv1a(bytes.constData(), bodyEnd))
        return Load::Rejected;

    Reader reader(bytes.constData() + kMagicSize, bodyEnd - kMagicSize);
    quint32 count = 0;
    if (!reader.take(count) || count > quint32(kMaxSaved))
        return Load::Rejected;
    std::vector<std::pair<QByteArray, Entry>> read;
    read.reserve(count);
    for (quint32 i = 0; i < count; ++i) {
        quint32 length = 0;
        QByteArray path;
        Entry entry;
        if (!reader.take(length) || length == 0 || length > kMaxPathLength || !reader.take(path, length)
            || !reader.take(entry.size) || !reader.take(entry.mtimeNs) || !reader.take(entry.ms))
            return Load::Rejected;
        if (entry.size < 0 || entry.ms < kNoMusic)
            return Load::Rejected;
        read.emplace_back(std::move(path), entry);
    }
    if (reader.left() != 0)
        return Load::Rejected;

    const std::lock_guard lock(m_mutex);
    // Saved oldest first: their order is their recency.
    for (auto& [path, entry] : read) {
        if (m_entries.contains(path))
            continue;
        entry.lastUse = ++m_useClock;
        m_entries.insert(path, entry);
    }
    m_entries.squeeze();
    return Load::Loaded;
}

bool KnownLengths::save(const QString& fileName)
{
    std::vector<std::pair<QByteArray, Entry>> entries;
    {
        const std::lock_guard lock(m_mutex);
        entries.reserve(m_entries.size());
        for (auto it = m_entries.cbegin(); it != m_entries.cend(); ++it)
            entries.emplace_back(it.key(), it.value());
    }
    std::erase_if(entries, [](const auto& e) { return e.first.size() > qsizetype(kMaxPathLength); });
    std::sort(entries.begin(), entries.end(),
              [](const auto& a, const auto& b) { return a.second.lastUse < b.second.lastUse; });
    if (entries.size() > size_t(kMaxSaved))
        entries.erase(entries.begin(), entries.end() - kMaxSaved);

    QByteArray out(kMagic, kMagicSize);
    put<quint32>(out, quint32(entries.size()));
    for (const auto& [path, entry] : entries) {
        put<quint32>(out, quint32(path.size()));
        out += path;
        put<std::int64_t>(out, entry.size);
        put<std::int64_t>(out, entry.mtimeNs);
        put<std::int64_t>(out, entry.ms);
    }
    put<std::uint64_t>(out, fnv1a(out.constData(), out.size()));

    QDir().mkpath(QFileInfo(fileName).path());
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(out) != out.size() || !file.commit())
        return false;
    const std::lock_guard lock(m_mutex);
    m_changed = false;
    return true;
}

}  // namespace qpt::length
