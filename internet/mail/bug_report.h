#pragma once
// A bug report as the form collects it, and the text its mail carries.
// The body keeps the line layout the mailbox of the reports is read with.

#include <QDateTime>
#include <QString>

namespace qpt::internet {

struct BugReport {
    QString email;
    QString os;
    QString cpuSpeed;
    QString seen;         // how often the user has seen the problem
    QString description;  // lines ending in LF or CR LF
    QString playerVersion;
    QString optionVersion;
    QString onlineSystemVersion;
    QDateTime time;  // when it was sent
};

// The report's lines joined by CR LF, the description's own line ends made
// CR LF too.
QString bugReportBody(const BugReport& report);

}  // namespace qpt::internet
