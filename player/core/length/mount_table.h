#pragma once
// Which mounted file system a path lies on, from the kernel's mount table
// (/proc/self/mountinfo). Reading that table never touches the file systems
// themselves, so it answers at once even while a share hangs. The table is
// read again at most once a second.

#include <QByteArray>

namespace qpt::length {

// The mount point under which `path` (absolute, as written: links are not
// followed) lies; empty for a relative path or where the table cannot be
// read. Safe from any thread.
QByteArray mountPointOf(const QByteArray& path);

// The mount points of a mountinfo text, escapes (\040 for a blank) undone.
QList<QByteArray> mountPointsIn(const QByteArray& mountinfo);

// The longest of `mountPoints` that holds `path`.
QByteArray longestHolding(const QList<QByteArray>& mountPoints, const QByteArray& path);

}  // namespace qpt::length
