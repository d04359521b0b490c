// Audio-CD track files: the 44-byte header whose bytes 42 and 43 (1-based)
// hold the seconds and minutes of the track, read from a file of any
// content and size, and the Length text made of them.

#include "player/core/length/cd_track_file.h"
#include "tests/fuzz/fuzz_support.h"

#include <QFile>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <cstring>

using namespace qpt::length;

namespace {

void checkLengthText(const CdTrackTime& time)
{
    const QString text = cdTrackLengthText(time);
    if (time.minutes == 0 && time.seconds == 0) {
        QPT_FUZZ_CHECK(text == QLatin1String("N/A"));
        return;
    }
    // Minutes ":" two-digit seconds, the seconds below 60.
    const QStringList parts = text.split(QLatin1Char(':'));
    QPT_FUZZ_CHECK(parts.size() == 2);
    bool minutesOk = false;
    bool secondsOk = false;
    const int minutes = parts[0].toInt(&minutesOk);
    const int seconds = parts[1].toInt(&secondsOk);
    QPT_FUZZ_CHECK(minutesOk && secondsOk && parts[1].size() == 2);
    QPT_FUZZ_CHECK(seconds >= 0 && seconds < 60);
    QPT_FUZZ_CHECK(minutes * 60 + seconds == time.minutes * 60 + time.seconds);
}

void checkFileName(qint32 track)
{
    const QString name = cdTrackFileName(track);
    if (track <= 0) {
        QPT_FUZZ_CHECK(name.isEmpty());
        return;
    }
    QPT_FUZZ_CHECK(name.startsWith(QLatin1String("track")) && name.endsWith(QLatin1String(".cda")));
    const QString number = name.mid(5, name.size() - 9);
    QPT_FUZZ_CHECK(number.size() >= 2);
    QPT_FUZZ_CHECK(number.toLongLong() == track);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    qpt::fuzz::ScratchFile& file = qpt::fuzz::scratch();
    file.write(data, size);
    const std::optional<CdTrackTime> time = readCdTrackTime(QFile::decodeName(file.path()));
    QPT_FUZZ_CHECK(time.has_value());
    // Bytes past the end of a short file read as 0.
    QPT_FUZZ_CHECK(time->seconds == (size > 41 ? data[41] : 0));
    QPT_FUZZ_CHECK(time->minutes == (size > 42 ? data[42] : 0));
    checkLengthText(*time);

    // The track number a batch line names, read as any integer.
    if (size >= 4) {
        qint32 track;
        std::memcpy(&track, data, sizeof track);
        checkFileName(track);
    }
    return 0;
}
