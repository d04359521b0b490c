#pragma once
// PCM WAV files made in memory, for tests and benchmarks that need songs of
// an exact length or with samples of their own. Header-only, so that the
// benchmarks use it without linking the test support.

#include <QByteArray>
#include <QtGlobal>

#include <optional>

namespace qpt::test {

// `value` as `bytes` bytes, least significant first.
inline QByteArray littleEndian(quint32 value, int bytes)
{
    QByteArray out;
    for (int i = 0; i < bytes; ++i)
        out += char(value >> (8 * i));
    return out;
}

// A RIFF WAVE file of integer PCM holding `samples` as they are. The data
// chunk's header says `declaredDataBytes` where given (a file whose header
// promises more or less than it holds), else the real size.
inline QByteArray pcmWav(int rate, int channels, int bits, const QByteArray& samples,
                         std::optional<quint32> declaredDataBytes = std::nullopt)
{
    const int frameBytes = channels * bits / 8;
    const QByteArray format = littleEndian(1, 2) + littleEndian(quint32(channels), 2) + littleEndian(quint32(rate), 4)
                            + littleEndian(quint32(rate * frameBytes), 4) + littleEndian(quint32(frameBytes), 2)
                            + littleEndian(quint32(bits), 2);
    const quint32 dataBytes = declaredDataBytes.value_or(quint32(samples.size()));
    const QByteArray body = "WAVEfmt " + littleEndian(16, 4) + format + "data" + littleEndian(dataBytes, 4) + samples;
    return "RIFF" + littleEndian(quint32(body.size()), 4) + body;
}

}  // namespace qpt::test
