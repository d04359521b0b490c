#pragma once
// Recordings of songs that each hold one constant level (16-bit stereo, as
// a file sink writes them), read as runs of one level: which song was
// heard, for how many frames, and whether silence came between. Header
// only, like wav_bytes.h.

#include <QByteArray>
#include <QList>
#include <QStringList>

namespace qpt::test {

struct LevelRun {
    qint16 value;
    quint32 frames;
    bool operator==(const LevelRun&) const = default;
};

// The left channel's runs; silence is a run of zeros unless left out.
inline QList<LevelRun> levelRuns(const QByteArray& raw, bool keepSilence = true)
{
    QList<LevelRun> runs;
    for (qsizetype at = 0; at + 4 <= raw.size(); at += 4) {
        const auto value = qint16(quint8(raw[at]) | (quint8(raw[at + 1]) << 8));
        if (value == 0 && !keepSilence)
            continue;
        if (runs.isEmpty() || runs.last().value != value)
            runs.append({value, 0});
        ++runs.last().frames;
    }
    return runs;
}

// "1000x44100 0x12 2000x44100", for a failure message.
inline QString describeRuns(const QList<LevelRun>& runs)
{
    QStringList parts;
    for (const LevelRun& run : runs)
        parts << QStringLiteral("%1x%2").arg(run.value).arg(run.frames);
    return parts.join(QLatin1Char(' '));
}

}  // namespace qpt::test
