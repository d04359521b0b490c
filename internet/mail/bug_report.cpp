#include "bug_report.h"

#include <QStringList>

namespace qpt::internet {

QString bugReportBody(const BugReport& report)
{
    QString description = report.description;
    description.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    description.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    const QStringList lines = {
        QStringLiteral("OS Bug Report From: ") + report.email,
        QString(),
        QStringLiteral("User use ") + report.os + QStringLiteral(" as OS"),
        QStringLiteral("System CPU Speed: ") + report.cpuSpeed,
        QStringLiteral("User is using ") + report.playerVersion,
        QStringLiteral("Option Version: ") + report.optionVersion,
        QStringLiteral("OS Version: ") + report.onlineSystemVersion,
        QStringLiteral("User Have Seen The Bug, ") + report.seen,
        QString(),
        QStringLiteral("Bug Report Description: "),
        description,
        QStringLiteral("Time: ") + report.time.toString(QStringLiteral("HH:mm:ss")) + QStringLiteral(" / Date: ")
            + report.time.toString(QStringLiteral("MM-dd-yyyy")),
    };
    return lines.join(QStringLiteral("\r\n"));
}

}  // namespace qpt::internet
