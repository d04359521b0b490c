#pragma once
// The player on the session bus as a media player the desktop controls:
// media keys, the sound menu, phones paired with the desktop, playerctl.
// One object at /org/mpris/MediaPlayer2 with the two interfaces, under the
// bus name org.mpris.MediaPlayer2.quorbel_player_tirk (".instance<pid>"
// appended when another player holds it). It sends PropertiesChanged for
// every change of what can be read, and Seeked after every jump.
//
// Where there is no bus the player runs as before: nothing is offered,
// nothing is said but a debug line.

#include "player/mpris/mpris_player.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>

#include <memory>

namespace qpt {

class MprisService : public QObject, public QDBusContext {
    Q_OBJECT
public:
    MprisService(const MprisPlayer::Sources& sources, const QDBusConnection& bus, QObject* parent = nullptr);
    ~MprisService() override;

    // The service on the session bus; nullptr where there is none.
    static std::unique_ptr<MprisService> startOnSessionBus(const MprisPlayer::Sources& sources);

    // Gives the name and the object back (the player is ending).
    void withdraw();

    // The name taken on the bus; empty when none could be.
    const QString& serviceName() const { return m_serviceName; }
    MprisPlayer& player() { return m_player; }

private:
    void sendPropertiesChanged(const QVariantMap& changed);
    void sendSeeked(qint64 positionUs);

    QDBusConnection m_bus;
    MprisPlayer m_player;
    QString m_serviceName;
};

}  // namespace qpt
