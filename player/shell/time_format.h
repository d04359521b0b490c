#pragma once
// Texts of times: the time display, and the time-and-date notice that the
// transport operations write into the playlist window's status line.

#include <QDateTime>
#include <QString>

namespace qpt {

// Whole seconds as the time display shows them: "..." for -1, "07" below a
// minute, "01:05" below an hour, "1:00:00" from an hour on.
QString formatTime(qint16 seconds);

// Whole seconds as words for a screen reader: "1 hour 2 minutes 5 seconds",
// "45 seconds", "0 seconds".
QString spokenDuration(qint64 seconds);
// What the time display shows, as a screen reader says it: "1 minute 5
// seconds of 3 minutes", or "2 minutes remaining of 3 minutes".
QString spokenTime(qint64 elapsed, qint64 length, bool remaining);

// "Time: hh:mm:ss Date: mm-dd-yyyy" (24-hour time).
QString timeDateNotice(const QDateTime& now = QDateTime::currentDateTime());

}  // namespace qpt
