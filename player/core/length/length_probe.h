#pragma once
// Measures the length of a music file: recognises the format by its first
// bytes (WAVE, MIDI, ASF, Ogg, MP4, FLAC, else MPEG audio) and asks the
// matching reader.
// Each file is read once, through a few large reads; nothing is kept
// between files, so every worker thread can have a probe of its own.

#include "player/core/length/probe_file.h"

#include <QByteArray>

#include <cstdint>
#include <optional>

namespace qpt::length {

struct Measurement {
    FileStamp stamp;                      // the version of the file that was read
    std::optional<std::int64_t> ms;       // nullopt: no music this probe knows
};

class LengthProbe {
public:
    explicit LengthProbe(ReadPolicy policy = {}) : m_policy(policy) {}

    // nullopt when the path names nothing that can be read as a file
    // (missing, a folder, a pipe, unreadable). A local "file:" URI stands
    // for its path.
    std::optional<Measurement> measure(const QByteArray& path);

    // The length of what the file holds, read through `file` alone.
    static std::optional<std::int64_t> measureFile(ProbeFile& file);

    // The local path a "file:" URI stands for; other text as it is.
    static QByteArray localPath(const QByteArray& path);

    // Files read so far and bytes read from them (benchmarks, tests).
    std::int64_t filesRead() const { return m_filesRead; }
    std::int64_t bytesRead() const { return m_bytesRead; }

private:
    ReadPolicy m_policy;
    std::int64_t m_filesRead = 0;
    std::int64_t m_bytesRead = 0;
};

}  // namespace qpt::length
