#pragma once
// Measures the length of a music file: recognises the format by its first
// bytes (WAVE, MIDI, ASF, else MPEG audio) and asks the matching reader.
// Results are cached per file version.

#include "player/core/length/length_cache.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace qpt::length {

class LengthProbe {
public:
    // Milliseconds; nullopt when the path names nothing that can be played
    // (missing, a folder, unreadable, not a recognised music file). A local
    // "file:" URI stands for its path.
    std::optional<std::int64_t> measure(const QByteArray& path);

    void clearCache() { m_cache.clear(); }

    // Files actually read so far (cache misses) and bytes read from them;
    // the benchmark command reports them.
    std::int64_t filesRead() const { return m_filesRead; }
    std::int64_t bytesRead() const { return m_bytesRead; }

    // The length of what the file holds, read through `file` alone.
    static std::optional<std::int64_t> measureFile(ProbeFile& file);

private:
    LengthCache m_cache;
    std::int64_t m_filesRead = 0;
    std::int64_t m_bytesRead = 0;
};

}  // namespace qpt::length
