#include "player/core/length/length_cache.h"

namespace qpt::length {

std::optional<std::optional<std::int64_t>> LengthCache::find(const QByteArray& path, const FileStamp& stamp) const
{
    const auto it = m_entries.constFind(path);
    if (it == m_entries.constEnd() || !(it->stamp == stamp))
        return std::nullopt;
    return it->milliseconds;
}

void LengthCache::store(const QByteArray& path, const FileStamp& stamp, std::optional<std::int64_t> milliseconds)
{
    if (m_entries.size() >= kCapacity && !m_entries.contains(path))
        m_entries.clear();
    m_entries.insert(path, Entry{stamp, milliseconds});
}

}  // namespace qpt::length
