#include "tests/support/private_bus.h"

#include "tests/support/test_env.h"

namespace qpt::test {

PrivateBus::PrivateBus(const QString& folder)
{
    m_daemon.start(QStringLiteral("dbus-daemon"),
                   {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                    QStringLiteral("--address=unix:path=") + folder + QStringLiteral("/session-bus"),
                    QStringLiteral("--print-address")});
    if (!m_daemon.waitForStarted(5000))
        return;
    if (waitUntil([this] { return m_daemon.canReadLine(); }, 5000))
        m_address = QString::fromLocal8Bit(m_daemon.readLine()).trimmed();
}

PrivateBus::~PrivateBus()
{
    if (m_daemon.state() == QProcess::NotRunning)
        return;
    m_daemon.terminate();
    if (!m_daemon.waitForFinished(3000)) {
        m_daemon.kill();
        m_daemon.waitForFinished(3000);
    }
}

QProcessEnvironment PrivateBus::environment(QProcessEnvironment base) const
{
    base.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_address);
    return base;
}

}  // namespace qpt::test
