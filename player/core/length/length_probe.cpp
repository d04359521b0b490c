#include "player/core/length/length_probe.h"

#include "common/native_path.h"
#include "player/core/length/asf_audio.h"
#include "player/core/length/flac_audio.h"
#include "player/core/length/midi_sequence.h"
#include "player/core/length/mp4_audio.h"
#include "player/core/length/mpeg_audio.h"
#include "player/core/length/ogg_audio.h"
#include "player/core/length/wav_audio.h"

#include <QFile>
#include <QUrl>

namespace qpt::length {

QByteArray LengthProbe::localPath(const QByteArray& path)
{
    if (path.toLower().startsWith("file:")) {
        const QUrl url = QUrl::fromEncoded(path);
        if (url.isLocalFile())
            return nativepath::fromLocalFileUrl(url);
    }
    return path;
}

std::optional<Measurement> LengthProbe::measure(const QByteArray& path)
{
    const QByteArray local = localPath(path);
    if (local.isEmpty())
        return std::nullopt;
    ProbeFile file;
    if (!file.open(local, m_policy))
        return std::nullopt;
    Measurement measurement;
    measurement.ms = measureFile(file);
    measurement.stamp = file.stamp();
    ++m_filesRead;
    m_bytesRead += file.bytesLoaded();
    return measurement;
}

std::optional<std::int64_t> LengthProbe::measureFile(ProbeFile& file)
{
    const Bytes start = file.read(0, 16);
    if (start.size() < 4)
        return std::nullopt;
    if (looksLikeWav(start))
        return wavLengthMs(file);
    if (looksLikeMidi(start))
        return midiLengthMs(file);
    if (looksLikeAsf(start))
        return asfLengthMs(file);
    if (looksLikeOgg(start))
        return oggLengthMs(file);
    if (looksLikeMp4(start))
        return mp4LengthMs(file);
    // Also behind ID3v2 tags, which some taggers put before FLAC too.
    if (flacMarkerOffset(file) >= 0)
        return flacLengthMs(file);
    if (const auto mpeg = measureMpegStream(file, 0, file.size(), true))
        return samplesToMs(mpeg->samples, std::uint32_t(mpeg->sampleRate));
    return std::nullopt;
}

}  // namespace qpt::length
