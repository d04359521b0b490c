#include "tests/support/mpris_probe.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QElapsedTimer>

namespace qpt::test {

namespace {

const QString kService = QStringLiteral("org.mpris.MediaPlayer2.quorbel_player_tirk");
const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");

}  // namespace

MprisProbe::MprisProbe(const QString& busAddress)
    : m_connectionName(QStringLiteral("mpris-probe-%1").arg(quintptr(this)))
{
    QDBusConnection::connectToBus(busAddress, m_connectionName);
}

MprisProbe::~MprisProbe()
{
    QDBusConnection::disconnectFromBus(m_connectionName);
}

std::optional<QVariant> MprisProbe::get(const QString& property, int timeoutMs)
{
    QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath,
                                                          QStringLiteral("org.freedesktop.DBus.Properties"),
                                                          QStringLiteral("Get"));
    message << kPlayer << property;
    QElapsedTimer clock;
    clock.start();
    const QDBusMessage reply = QDBusConnection(m_connectionName).call(message, QDBus::Block, timeoutMs);
    m_lastMs = clock.elapsed();
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    return reply.arguments().first().value<QDBusVariant>().variant();
}

QVariantMap MprisProbe::metadata(int timeoutMs)
{
    const auto value = get(QStringLiteral("Metadata"), timeoutMs);
    if (!value)
        return {};
    // A dictionary arrives as a D-Bus argument still to be read.
    if (value->canConvert<QDBusArgument>())
        return qdbus_cast<QVariantMap>(value->value<QDBusArgument>());
    return value->toMap();
}

QString MprisProbe::trackId(const QVariantMap& metadata)
{
    return metadata.value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>().path();
}

bool MprisProbe::call(const QString& method, int timeoutMs)
{
    const QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, kPlayer, method);
    QElapsedTimer clock;
    clock.start();
    const QDBusMessage reply = QDBusConnection(m_connectionName).call(message, QDBus::Block, timeoutMs);
    m_lastMs = clock.elapsed();
    return reply.type() == QDBusMessage::ReplyMessage;
}

bool MprisProbe::playerPresent()
{
    QDBusConnectionInterface* bus = QDBusConnection(m_connectionName).interface();
    return bus && bus->isServiceRegistered(kService).value();
}

}  // namespace qpt::test
