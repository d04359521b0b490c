#pragma once
// What this machine knows about its installation: the versions of the
// programs as they recorded them, and the latest release information seen,
// against which a replayed older manifest is told apart.
//
// The latest issue time seen and the versions the Online System installed
// are kept twice: in the user's settings, and beside the installation in
// "inet-release.inf" (replaced whole in one rename, never through a link).
// A new user, a reset settings file or a store that cannot be written
// forgets nothing the installation itself remembers: the later time of the
// two counts, and where the settings hold no version of a program, the one
// the installation remembers installing.

#include <QDateTime>
#include <QMap>
#include <QString>

#include <optional>

namespace qpt::internet {

// The Online System's own version, built into it (and into its updater).
inline constexpr const char* kOnlineSystemVersion = "v1.00";

// The record beside the installation, in its application folder.
inline constexpr const char* kInstalledReleaseFile = "inet-release.inf";

// "Quorbel Player Tirk v1.00" -> "v1.00"; empty -> "v": everything up to
// the last "v" goes, and a "v" comes in front.
QString normalisePlayerVersion(const QString& stored);
// The player's version as it recorded it ("PlayerVer"), normalised.
QString installedPlayerVersion();
// The Option program's version as it recorded it ("Option").
QString installedOptionVersion();

// What the installation remembers beside its programs:
//
//   issued 2026-12-07T10:00:00Z
//   installed option.dat v1.02
//
// (the image names of the manifest); lines it does not know are ignored.
struct InstalledRelease {
    std::optional<QDateTime> latestIssued;
    QMap<QString, QString> versions;  // image name -> version installed

    static InstalledRelease parse(const QByteArray& bytes);
    QByteArray text() const;
};
InstalledRelease readInstalledRelease();

// The version to judge an offer against: the one the program recorded of
// itself; where it recorded none (a fresh or unwritable settings store),
// the one the installation remembers installing for its image.
QString versionToJudge(const QString& imageName, const QString& recorded);

// The latest issue time of a trusted manifest seen on this machine (by the
// settings or by the installation).
std::optional<QDateTime> latestReleaseSeen();
// Remembers the issue time in both places where it is later than the one
// remembered there. False when neither place could keep it.
bool noteReleaseSeen(const QDateTime& issued);
// Remembers beside the installation that a program image was installed at
// this version. False when it could not be written.
bool noteInstalled(const QString& imageName, const QString& version);

}  // namespace qpt::internet
