#pragma once
// Texts of times: the time display, and the time-and-date notice that the
// transport operations write into the playlist window's status line.

#include <QDateTime>
#include <QString>

namespace qpt {

// Whole seconds as the time display shows them: "..." for -1, "07" below a
// minute, "01:05" below an hour, "1:00:00" from an hour on.
QString formatTime(qint16 seconds);

// "Time: hh:mm:ss Date: mm-dd-yyyy" (24-hour time).
QString timeDateNotice(const QDateTime& now = QDateTime::currentDateTime());

}  // namespace qpt
