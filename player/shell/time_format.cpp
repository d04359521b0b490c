#include "player/shell/time_format.h"

#include <QStringList>

#include <algorithm>

namespace qpt {

namespace {
QString twoDigits(int value)
{
    // At least two digits, zero-filled; a negative number keeps its sign.
    if (value < 0)
        return QLatin1Char('-') + QStringLiteral("%1").arg(-value, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}
}  // namespace

QString formatTime(qint16 seconds)
{
    const int s = seconds;
    if (s == -1)
        return QStringLiteral("...");
    if (s < 60)
        return twoDigits(s);
    if (s < 3600) {
        const int minutes = s / 60;
        return twoDigits(minutes) + QLatin1Char(':') + twoDigits(s - 60 * minutes);
    }
    const int hours = s / 3600;
    const int minutes = s / 60 - 60 * hours;
    const int rest = s - 60 * minutes - 3600 * hours;
    return QString::number(hours) + QLatin1Char(':') + twoDigits(minutes) + QLatin1Char(':') + twoDigits(rest);
}

QString spokenDuration(qint64 seconds)
{
    seconds = std::max<qint64>(0, seconds);
    const qint64 hours = seconds / 3600;
    const qint64 minutes = seconds / 60 % 60;
    const qint64 rest = seconds % 60;
    const auto part = [](qint64 count, const char* unit) {
        return QString::number(count) + QLatin1Char(' ') + QLatin1String(unit) + (count == 1 ? "" : "s");
    };
    QStringList parts;
    if (hours)
        parts << part(hours, "hour");
    if (minutes)
        parts << part(minutes, "minute");
    if (rest || parts.isEmpty())
        parts << part(rest, "second");
    return parts.join(QLatin1Char(' '));
}

QString spokenTime(qint64 elapsed, qint64 length, bool remaining)
{
    if (remaining)
        return spokenDuration(length - elapsed) + QStringLiteral(" remaining of ") + spokenDuration(length);
    return spokenDuration(elapsed) + QStringLiteral(" of ") + spokenDuration(length);
}

QString timeDateNotice(const QDateTime& now)
{
    return QStringLiteral("Time: ") + now.toString(QStringLiteral("HH:mm:ss")) + QStringLiteral(" Date: ")
         + now.toString(QStringLiteral("MM-dd-yyyy"));
}

}  // namespace qpt
