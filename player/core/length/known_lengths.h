#pragma once
// The lengths measured so far, by file: path bytes, size and modification
// time. A file whose size or time changed is unknown again. Shared by the
// measuring threads and the main thread, and kept across runs in a cache
// file that is written whole and atomically; a cache file that is damaged,
// foreign or of another version is ignored, never trusted.

#include <QByteArray>
#include <QHash>
#include <QString>

#include <cstdint>
#include <mutex>
#include <optional>

namespace qpt::length {

class KnownLengths {
public:
    // At most this many files are kept in the cache file, the most
    // recently used ones.
    static constexpr int kMaxSaved = 100000;
    // The length of a file that holds no music this player can measure.
    static constexpr std::int64_t kNoMusic = -1;

    // The length of this version of the file, or kNoMusic; nullopt when
    // the version is not known. A hit lets the stored path share the
    // caller's bytes, so that a path held by a playlist row is held once.
    std::optional<std::int64_t> find(const QByteArray& path, std::int64_t size, std::int64_t mtimeNs);
    // Whether any version of the file is known (no stamp needed to ask).
    bool knows(const QByteArray& path) const;
    void store(const QByteArray& path, std::int64_t size, std::int64_t mtimeNs, std::int64_t ms);

    int count() const;
    // True when something was stored since the last load or save.
    bool isChanged() const;

    enum class Load { Loaded, Missing, Rejected };
    // Adds the cache file's entries to what is known (known ones win).
    Load load(const QString& file);
    // Writes the cache file whole (atomically), creating its folder.
    bool save(const QString& file);

private:
    struct Entry {
        std::int64_t size = 0;
        std::int64_t mtimeNs = 0;
        std::int64_t ms = kNoMusic;
        std::uint64_t lastUse = 0;
    };

    mutable std::mutex m_mutex;
    QHash<QByteArray, Entry> m_entries;
    std::uint64_t m_useClock = 0;
    bool m_changed = false;
};

}  // namespace qpt::length
