#include "player/core/length/length_probe.h"

#include "common/native_path.h"
#include "player/core/length/asf_audio.h"
#include "player/core/length/midi_sequence.h"
#include "player/core/length/mpeg_audio.h"
#include "player/core/length/wav_audio.h"

#include <QFile>
#include <QUrl>

namespace qpt::length {

namespace {

QByteArray localPath(const QByteArray& path)
{
    if (path.toLower().startsWith("file:")) {
        const QUrl url = QUrl::fromEncoded(path);
        if (url.isLocalFile())
            return nativepath::fromLocalFileUrl(url);
    }
    return path;
}

}  // namespace

std::optional<std::int64_t> LengthProbe::measure(const QByteArray& path)
{
    const QByteArray local = localPath(path);
    if (local.isEmpty())
        return std::nullopt;
    const QByteArray& encoded = local;

    FileStamp stamp;
    bool regular = false;
    if (!ProbeFile::stamp(encoded, stamp, regular) || !regular)
        return std::nullopt;
    if (const auto known = m_cache.find(local, stamp))
        return *known;

    ProbeFile file;
    if (!file.open(encoded))
        return std::nullopt;
    const std::optional<std::int64_t> ms = measureFile(file);
    ++m_filesRead;
    m_bytesRead += file.bytesLoaded();
    // Keyed by the version that was read, should the file have changed
    // between the look and the read.
    m_cache.store(local, file.stamp(), ms);
    return ms;
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
    if (const auto mpeg = measureMpegStream(file, 0, file.size(), true))
        return samplesToMs(mpeg->samples, std::uint32_t(mpeg->sampleRate));
    return std::nullopt;
}

}  // namespace qpt::length
