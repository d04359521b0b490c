#pragma once
// What this machine knows about its installation: the versions of the
// programs as they recorded them, and the latest release information seen,
// against which a replayed older manifest is told apart.

#include <QDateTime>
#include <QString>

#include <optional>

namespace qpt::internet {

// The Online System's own version, built into it (and into its updater).
inline constexpr const char* kOnlineSystemVersion = "v1.00";

// "Quorbel Player Tirk v1.00" -> "v1.00"; empty -> "v": everything up to
// the last "v" goes, and a "v" comes in front.
QString normalisePlayerVersion(const QString& stored);
// The player's version as it recorded it ("PlayerVer"), normalised.
QString installedPlayerVersion();
// The Option program's version as it recorded it ("Option").
QString installedOptionVersion();

// The latest issue time of a trusted manifest seen on this machine.
std::optional<QDateTime> latestReleaseSeen();
// Remembers the issue time when it is later than the one remembered.
void noteReleaseSeen(const QDateTime& issued);

}  // namespace qpt::internet
