#pragma once
// The signed release manifest: what the update host may have installed.
// The version file says what is new; only the manifest says what may be
// installed, and only when its detached Ed25519 signature verifies against
// a trusted release key.
//
// The manifest is ASCII text, every line ending in LF, in exactly this
// order and spelling:
//
//   Quorbel Player Tirk release 1
//   issued 2026-12-07T10:00:00Z
//   valid-until 2027-01-06T10:00:00Z
//   image QuorbelPlayerTirk.exe v1.01 1234567 <SHA-256, 64 lower-case hex digits>
//   image option.dat v1.01 345678 <...>
//
// Times are UTC to the second. There are 1 to 16 image lines, one per file
// name: the name of the file on the host ([A-Za-z0-9._-], not starting with
// "."), its version ("v" and one to four numbers joined by "."), its size
// in bytes and its digest. Anything else, a byte out of place included, is
// not a manifest. The signature file beside it ("release.manifest.sig")
// holds the 64-byte signature of the manifest's exact bytes in base64, with
// or without one LF after it.
//
// Nothing here touches the network, a file or a window: bytes in, verdicts
// out (a fuzzer links this alone).

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

namespace qpt::internet::release {

inline constexpr const char* kManifestHeader = "Quorbel Player Tirk release 1";
inline constexpr qint64 kMaxManifestBytes = 16 * 1024;
inline constexpr qint64 kMaxSignatureFileBytes = 128;
inline constexpr int kMaxImages = 16;
inline constexpr qint64 kMaxImageBytes = qint64(1) << 40;
// A manifest is never good for longer than this after it was issued,
// whatever it says: a host that freezes updates is noticed within it.
inline constexpr int kMaxValidDays = 90;
// How far a manifest may have been issued ahead of this computer's clock
// (clocks drift, time zones are set wrong) before the clock is not believed.
inline constexpr qint64 kClockSlackSecs = 24 * 3600;
// The first release of every program: a program that never recorded its
// version is at least this one.
inline constexpr const char* kFirstRelease = "v1.00";

struct ReleaseImage {
    QString file;
    QString version;
    qint64 size = 0;
    QByteArray sha256;  // 32 raw bytes
};

struct ReleaseManifest {
    QDateTime issued;      // UTC
    QDateTime validUntil;  // UTC, later than issued
    QList<ReleaseImage> images;

    const ReleaseImage* find(const QString& file) const;
};

std::optional<ReleaseManifest> parseManifest(const QByteArray& bytes);
// The one text that parseManifest reads back as this manifest.
QByteArray writeManifest(const ReleaseManifest& manifest);

// The 64 signature bytes of a signature file; none for anything else.
std::optional<QByteArray> parseSignatureFile(const QByteArray& bytes);
QByteArray writeSignatureFile(const QByteArray& signature);

// A time as the manifest writes it ("2026-12-07T10:00:00Z"), and back.
QString manifestTime(const QDateTime& time);
std::optional<QDateTime> parseManifestTime(const QString& text);

// ---------------------------------------------------------------- versions

// "v1.01" -> {1, 1}: "v" and one to four numbers of at most nine digits
// joined by ".". None for anything else.
std::optional<QList<quint32>> versionNumbers(const QString& text);
bool isReleaseVersion(const QString& text);
// Number by number, missing numbers counting as 0 ("v1.1" == "v1.01" ==
// "v1.1.0"; "v1.10" > "v1.9"). Both must be release versions.
int compareVersions(const QList<quint32>& a, const QList<quint32>& b);

// ---------------------------------------------------------------- verdicts

enum class ReleaseStatus {
    Trusted,      // signed by a trusted key, within its validity, not older than one seen
    NotSigned,    // no signature, a damaged one, or none by a trusted key
    Unreadable,   // signed, but not a manifest
    Expired,      // past its valid-until time (or kMaxValidDays after it was issued)
    Superseded,   // issued before a manifest already seen: replayed
    ClockBehind,  // issued more than kClockSlackSecs ahead of the clock: no time can be judged
};

struct ReleaseCheck {
    ReleaseStatus status = ReleaseStatus::NotSigned;
    ReleaseManifest manifest;  // meaningful unless NotSigned or Unreadable
};

// Verifies the signature over the exact manifest bytes first, and reads
// the manifest only then. `latestIssuedSeen` is the latest issue time of a
// trusted manifest seen before (none when none was). Time never runs back
// behind it: a clock that is behind judges expiry by it instead.
ReleaseCheck checkRelease(const QByteArray& manifestBytes, const QByteArray& signatureFileBytes,
                          const QList<QByteArray>& trustedKeys, const QDateTime& now,
                          const std::optional<QDateTime>& latestIssuedSeen);

// Whether a newer program that the version file offers may be installed.
enum class Backing {
    Installable,
    ReleaseRefused,  // the manifest as a whole is not trusted (its status says why)
    NotListed,       // the trusted manifest does not list this very version
    NotNewer,        // the signed version is not newer than the installed one
};

struct OfferCheck {
    Backing backing = Backing::ReleaseRefused;
    ReleaseImage image;  // the manifest's entry when Installable
};

// `installedVersion` that is no release version ("v": the program never
// recorded one) counts as kFirstRelease.
OfferCheck checkOffer(const ReleaseCheck& release, const QString& imageFile, const QString& publishedVersion,
                      const QString& installedVersion);

}  // namespace qpt::internet::release
