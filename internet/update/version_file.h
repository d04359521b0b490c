#pragma once
// The version file of the update host, read from its bytes alone: no file,
// no network, no window. A body that is not a version file (an error page,
// a captive portal's HTML, half a file) gives no value at all, so that it
// can never lead to an update offer.
//
// The file is text, one entry per line (CR LF, lone CR or lone LF), each
// line behind a fixed-length prefix whose content is not looked at:
//
//   line  prefix  rest of the line
//   1     8       latest player version, "v" + number; empty = not published
//   2     8       latest Option program version, "v" + number
//   3     4       latest Online System version, "v" + number, or "N/A"
//   4     7       date of the latest online update (free text, shown in the
//                 window's caption: kept to one short line without format
//                 characters such as a right-to-left override); when line 3
//                 says "N/A" the line is still required but not read

#include <QByteArray>
#include <QString>

#include <optional>

namespace qpt::internet {

// What line 3 says when the host publishes no Online System.
inline constexpr const char* kNotPublished = "N/A";

struct VersionFile {
    QString player;        // may be empty: the host publishes no player version
    QString option;
    QString onlineSystem;  // a version or "N/A"
    QString date;          // "N/A" when onlineSystem is "N/A"; at most kMaxDateText characters
};

// How much of the date line the caption shows.
inline constexpr int kMaxDateText = 40;

// A longer body is not a version file (and is not kept in memory).
inline constexpr qint64 kMaxVersionFileBytes = 64 * 1024;

std::optional<VersionFile> parseVersionFile(const QByteArray& bytes);

// "v" followed by a version number ("v1.00", "v2.1b"): what the host
// publishes for a program.
bool isVersionText(const QString& text);

}  // namespace qpt::internet
