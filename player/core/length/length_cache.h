#pragma once
// Remembers measured lengths by path and file version (size, modification
// time, inode), so that measuring an unchanged file again, as the playback
// supervision does on every status tick, costs one stat() and no reading.

#include "player/core/length/probe_file.h"

#include <QHash>
#include <QString>

#include <cstdint>
#include <optional>

namespace qpt::length {

class LengthCache {
public:
    // The measurement of this version of the file: an outer nullopt when it
    // is not known, an inner one when the file could not be measured.
    std::optional<std::optional<std::int64_t>> find(const QByteArray& path, const FileStamp& stamp) const;
    void store(const QByteArray& path, const FileStamp& stamp, std::optional<std::int64_t> milliseconds);
    void clear() { m_entries.clear(); }
    qsizetype size() const { return m_entries.size(); }

    // Beyond this many files the cache starts over; a playlist holds at
    // most 30000 songs.
    static constexpr qsizetype kCapacity = 40000;

private:
    struct Entry {
        FileStamp stamp;
        std::optional<std::int64_t> milliseconds;
    };
    QHash<QByteArray, Entry> m_entries;
};

}  // namespace qpt::length
