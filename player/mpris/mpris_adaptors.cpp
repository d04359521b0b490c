#include "player/mpris/mpris_adaptors.h"

#include "common/music_files.h"
#include "player/mpris/mpris_names.h"
#include "player/mpris/mpris_player.h"
#include "player/mpris/mpris_service.h"

#include <QDBusConnection>
#include <QDBusMessage>

namespace qpt {

// ------------------------------------------------------ org.mpris.MediaPlayer2

MprisRootAdaptor::MprisRootAdaptor(MprisService& service, MprisPlayer& player)
    : QDBusAbstractAdaptor(&service), m_player(player)
{
}

QString MprisRootAdaptor::identity() const
{
    return QLatin1String(mpris::Identity);
}

QString MprisRootAdaptor::desktopEntry() const
{
    return QLatin1String(mpris::DesktopEntry);
}

QStringList MprisRootAdaptor::supportedUriSchemes() const
{
    return {QStringLiteral("file"), QStringLiteral("cdda")};
}

QStringList MprisRootAdaptor::supportedMimeTypes() const
{
    // Read from the MIME database when a client first asks, not at start.
    if (!m_mimeTypes)
        m_mimeTypes = music::openedMimeTypes();
    return *m_mimeTypes;
}

void MprisRootAdaptor::Raise()
{
    m_player.raise();
}

void MprisRootAdaptor::Quit()
{
    m_player.quit();
}

// ----------------------------------------------- org.mpris.MediaPlayer2.Player

MprisPlayerAdaptor::MprisPlayerAdaptor(MprisService& service, MprisPlayer& player)
    : QDBusAbstractAdaptor(&service), m_service(service), m_player(player)
{
}

QString MprisPlayerAdaptor::playbackStatus() const
{
    return m_player.playbackStatus();
}

QVariantMap MprisPlayerAdaptor::metadata() const
{
    return m_player.metadata();
}

double MprisPlayerAdaptor::volume() const
{
    return m_player.volume();
}

void MprisPlayerAdaptor::setVolume(double volume)
{
    m_player.setVolume(volume);
}

qlonglong MprisPlayerAdaptor::position() const
{
    return m_player.positionUs();
}

bool MprisPlayerAdaptor::canGoNext() const
{
    return m_player.canGoNext();
}

bool MprisPlayerAdaptor::canGoPrevious() const
{
    return m_player.canGoPrevious();
}

bool MprisPlayerAdaptor::canPlay() const
{
    return m_player.canPlay();
}

bool MprisPlayerAdaptor::canPause() const
{
    return m_player.canPause();
}

bool MprisPlayerAdaptor::canSeek() const
{
    return m_player.canSeek();
}

void MprisPlayerAdaptor::Next()
{
    m_player.next();
}

void MprisPlayerAdaptor::Previous()
{
    m_player.previous();
}

void MprisPlayerAdaptor::Pause()
{
    m_player.pause();
}

void MprisPlayerAdaptor::PlayPause()
{
    m_player.playPause();
}

void MprisPlayerAdaptor::Stop()
{
    m_player.stop();
}

void MprisPlayerAdaptor::Play()
{
    m_player.play();
}

void MprisPlayerAdaptor::Seek(qlonglong Offset)
{
    m_player.seek(Offset);
}

void MprisPlayerAdaptor::SetPosition(const QDBusObjectPath& TrackId, qlonglong Position)
{
    m_player.setPosition(TrackId, Position);
}

void MprisPlayerAdaptor::OpenUri(const QString& Uri)
{
    // Answered once the file is handed over, which happens on a worker: the
    // file may be a playlist on a share that takes its time.
    m_service.setDelayedReply(true);
    const QDBusMessage call = m_service.message();
    QDBusConnection bus = m_service.connection();
    m_player.openUri(Uri, [call, bus, Uri](MprisPlayer::Opened opened) mutable {
        switch (opened) {
        case MprisPlayer::Opened::Appended:
            bus.send(call.createReply());
            return;
        case MprisPlayer::Opened::NotSupported:
            bus.send(call.createErrorReply(QDBusError::NotSupported,
                                           QStringLiteral("Only local music files and playlists can be opened: ") + Uri));
            return;
        case MprisPlayer::Opened::Failed:
            bus.send(call.createErrorReply(QDBusError::Failed,
                                           QStringLiteral("Could not hand the file to the playlist: ") + Uri));
            return;
        }
    });
}

}  // namespace qpt
