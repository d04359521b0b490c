#include "player/mpris/mpris_service.h"

#include "player/mpris/mpris_adaptors.h"
#include "player/mpris/mpris_names.h"

#include <QDBusMessage>
#include <QLoggingCategory>

#include <unistd.h>

// Quiet unless asked for (QT_LOGGING_RULES="qpt.mpris.debug=true"): a
// desktop without a session bus is no fault.
Q_LOGGING_CATEGORY(lcMpris, "qpt.mpris", QtInfoMsg)

namespace qpt {

MprisService::MprisService(const MprisPlayer::Sources& sources, const QDBusConnection& bus, QObject* parent)
    : QObject(parent), m_bus(bus), m_player(sources)
{
    new MprisRootAdaptor(*this, m_player);
    new MprisPlayerAdaptor(*this, m_player);
    connect(&m_player, &MprisPlayer::propertiesChanged, this, &MprisService::sendPropertiesChanged);
    connect(&m_player, &MprisPlayer::seeked, this, &MprisService::sendSeeked);

    if (!m_bus.registerObject(QLatin1String(mpris::ObjectPath), this, QDBusConnection::ExportAdaptors)) {
        qCDebug(lcMpris) << "object not registered:" << m_bus.lastError().message();
        return;
    }
    const QString name = QLatin1String(mpris::ServiceName);
    const QString instance = name + QLatin1String(mpris::InstanceSuffix) + QString::number(::getpid());
    for (const QString& candidate : {name, instance}) {
        if (m_bus.registerService(candidate)) {
            m_serviceName = candidate;
            return;
        }
    }
    qCDebug(lcMpris) << "no bus name:" << m_bus.lastError().message();
}

MprisService::~MprisService()
{
    withdraw();
}

std::unique_ptr<MprisService> MprisService::startOnSessionBus(const MprisPlayer::Sources& sources)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        qCDebug(lcMpris) << "no session bus:" << bus.lastError().message();
        return nullptr;
    }
    return std::make_unique<MprisService>(sources, bus);
}

void MprisService::sendPropertiesChanged(const QVariantMap& changed)
{
    QDBusMessage signal = QDBusMessage::createSignal(QLatin1String(mpris::ObjectPath),
                                                     QLatin1String(mpris::PropertiesInterface),
                                                     QStringLiteral("PropertiesChanged"));
    signal << QLatin1String(mpris::PlayerInterface) << changed << QStringList();
    m_bus.send(signal);
}

void MprisService::sendSeeked(qint64 positionUs)
{
    QDBusMessage signal = QDBusMessage::createSignal(QLatin1String(mpris::ObjectPath),
                                                     QLatin1String(mpris::PlayerInterface), QStringLiteral("Seeked"));
    signal << qlonglong(positionUs);
    m_bus.send(signal);
}

void MprisService::withdraw()
{
    // Giving the name back waits for the bus, so answers already on their
    // way (to a Quit) go out before the player ends.
    if (!m_serviceName.isEmpty())
        m_bus.unregisterService(m_serviceName);
    m_serviceName.clear();
    m_bus.unregisterObject(QLatin1String(mpris::ObjectPath));
}

}  // namespace qpt
