#pragma once
// A session bus of a test's own, and the clients a test runs on it. Every
// program runs under a time limit: a hang fails one test, never the suite.

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

struct ClientRun {
    bool finished = false;  // false: killed at the time limit
    int exitCode = -1;
    QString output;         // standard output, trimmed
};

// Runs a program to its end, at most timeoutMs before it is killed. This
// process's events go on meanwhile.
ClientRun runClient(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment,
                    int timeoutMs = 5000);

}  // namespace qpt::test
