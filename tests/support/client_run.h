#pragma once
// Runs a program a test needs (a bus daemon's client, fusermount, umount)
// to its end under a time limit: a hang fails one test, never the suite.

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace qpt::test {

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
