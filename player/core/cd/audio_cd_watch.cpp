#include "player/core/cd/audio_cd_watch.h"

#include "common/cd_address.h"
#include "player/core/cd/disc_toc.h"

#include <sys/stat.h>

#include <thread>

namespace qpt {

AudioCdWatch::AudioCdWatch(QObject* parent) : QObject(parent), m_check(&cd::holdsAudioCd) {}

AudioCdWatch::~AudioCdWatch()
{
    m_replies->close();
}

QList<QByteArray> AudioCdWatch::drives()
{
    const QByteArray chosen = qgetenv("QPT_CD_DEVICE");
    if (!chosen.isEmpty())
        return {chosen};
    QList<QByteArray> found;
    for (const char* candidate : {"/dev/cdrom", "/dev/sr0", "/dev/sr1", "/dev/sr2", "/dev/sr3"}) {
        struct stat st {};
        if (::stat(candidate, &st) == 0)
            found << candidate;
    }
    return found;
}

void AudioCdWatch::look()
{
    if (std::exchange(m_looking, true))
        return;
    // The thread uses nothing of this watch but the channel: its reply goes
    // nowhere once the watch is gone.
    std::thread([check = m_check, replies = m_replies, this] {
        QByteArray holding;
        for (const QByteArray& drive : drives()) {
            if (check(drive)) {
                holding = drive;
                break;
            }
        }
        replies->reply([this, holding] { answered(holding); });
    }).detach();
}

void AudioCdWatch::answered(const QByteArray& drive)
{
    m_looking = false;
    const bool before = holdsAudioCd();
    m_drive = drive;
    if (before != holdsAudioCd())
        emit changed(holdsAudioCd());
}

}  // namespace qpt
