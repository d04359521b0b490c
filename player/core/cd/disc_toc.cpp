#include "player/core/cd/disc_toc.h"

#include <QElapsedTimer>
#include <QHash>

#include <cdio/cdio.h>
#include <cdio/cdtext.h>
#include <cdio/logging.h>

#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <mutex>

namespace qpt::cd {

namespace {

// libcdio writes its warnings to standard error (a missing drive, an
// image's odd line); a player says what matters in its own words.
void quietLog(cdio_log_level_t, const char*) {}

void quietenOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { cdio_log_set_handler(quietLog); });
}

bool isRegularFile(const QByteArray& path)
{
    struct stat st {};
    return ::stat(path.constData(), &st) == 0 && S_ISREG(st.st_mode);
}

QString textOf(const cdtext_t* text, cdtext_field_t field, track_t track)
{
    if (!text)
        return QString();
    const char* value = cdtext_get_const(text, field, track);
    return value ? QString::fromUtf8(value).trimmed() : QString();
}

struct Recent {
    std::mutex mutex;
    QHash<QByteArray, std::pair<DiscToc, QElapsedTimer>> reads;
};

Recent& recent()
{
    static Recent instance;
    return instance;
}

}  // namespace

std::optional<DiscTrack> DiscToc::track(int number) const
{
    for (const DiscTrack& each : tracks) {
        if (each.number == number)
            return each;
    }
    return std::nullopt;
}

QList<DiscTrack> DiscToc::audioTracks() const
{
    QList<DiscTrack> audio;
    for (const DiscTrack& each : tracks) {
        if (each.audio)
            audio << each;
    }
    return audio;
}

DiscToc readDiscToc(const QByteArray& device)
{
    quietenOnce();
    DiscToc toc;
    if (device.isEmpty())
        return toc;
    // An image is read as what it is; a device by the system's driver.
    CdIo_t* cdio = cdio_open(device.constData(), isRegularFile(device) ? DRIVER_UNKNOWN : DRIVER_DEVICE);
    if (!cdio)
        return toc;
    const track_t first = cdio_get_first_track_num(cdio);
    const track_t count = cdio_get_num_tracks(cdio);
    if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || count == 0) {
        cdio_destroy(cdio);
        return toc;
    }
    const cdtext_t* text = cdio_get_cdtext(cdio);
    toc.albumTitle = textOf(text, CDTEXT_FIELD_TITLE, 0);
    bool anyAudio = false;
    for (track_t number = first; number < first + count && number <= CDIO_CD_MAX_TRACKS; ++number) {
        DiscTrack track;
        track.number = number;
        track.audio = cdio_get_track_format(cdio, number) == TRACK_FORMAT_AUDIO;
        track.sectors = cdio_get_track_sec_count(cdio, number);
        track.title = textOf(text, CDTEXT_FIELD_TITLE, number);
        track.performer = textOf(text, CDTEXT_FIELD_PERFORMER, number);
        anyAudio = anyAudio || (track.audio && track.sectors > 0);
        toc.tracks << track;
    }
    cdio_destroy(cdio);
    toc.state = anyAudio ? DiscToc::State::Read : DiscToc::State::NoAudio;
    return toc;
}

DiscToc readDiscTocRecent(const QByteArray& device, int maxAgeMs)
{
    Recent& kept = recent();
    {
        const std::lock_guard lock(kept.mutex);
        const auto found = kept.reads.constFind(device);
        if (found != kept.reads.constEnd() && !found->second.hasExpired(maxAgeMs))
            return found->first;
    }
    // Read without the lock: another drive's read need not wait for this one.
    const DiscToc toc = readDiscToc(device);
    // Only a disc is kept: one put in a moment after an empty look is seen.
    const std::lock_guard lock(kept.mutex);
    if (toc.hasAudio()) {
        QElapsedTimer age;
        age.start();
        kept.reads.insert(device, {toc, age});
    } else {
        kept.reads.remove(device);
    }
    return toc;
}

void forgetRecentReads()
{
    Recent& kept = recent();
    const std::lock_guard lock(kept.mutex);
    kept.reads.clear();
}

bool holdsAudioCd(const QByteArray& device)
{
    if (device.isEmpty())
        return false;
    if (!isRegularFile(device)) {
        // The drive says what it holds without spinning a disc up; a drive
        // that cannot say (or no drive) is not one to offer.
        const int fd = ::open(device.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return false;
        const int status = ::ioctl(fd, CDROM_DISC_STATUS, 0);
        ::close(fd);
        if (status == CDS_AUDIO || status == CDS_MIXED)
            return true;
        if (status == CDS_NO_DISC || status == CDS_TRAY_OPEN || status == CDS_DRIVE_NOT_READY
            || status == CDS_DATA_1 || status == CDS_DATA_2 || status == CDS_XA_2_1 || status == CDS_XA_2_2)
            return false;
        // No answer (not a CD drive, or one that gives no status): the
        // table of contents says.
    }
    return readDiscTocRecent(device).hasAudio();
}

}  // namespace qpt::cd
