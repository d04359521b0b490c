#pragma once
// A session bus of a test's own. Its clients run under a time limit
// (client_run.h): a hang fails one test, never the suite.

#include "tests/support/client_run.h"

#include <QProcess>
#include <QString>
#include <QStringList>

namespace qpt::test {

class PrivateBus {
public:
    // A dbus-daemon listening on a socket in the folder, ended with the
    // object.
    explicit PrivateBus(const QString& folder);
    ~PrivateBus();

    // Empty when the daemon did not start.
    const QString& address() const { return m_address; }
    // The environment with this bus as the session bus.
    QProcessEnvironment environment(QProcessEnvironment base) const;

private:
    QProcess m_daemon;
    QString m_address;
};

}  // namespace qpt::test
