#include "release_manifest.h"

#include "release_crypto.h"

#include <QRegularExpression>
#include <QSet>

namespace qpt::internet::release {

namespace {

constexpr int kMaxVersionNumbers = 4;
constexpr int kMaxNumberDigits = 9;
constexpr int kMaxFileName = 64;

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool isFileName(const QString& name)
{
    if (name.isEmpty() || name.size() > kMaxFileName || name.startsWith(QLatin1Char('.')))
        return false;
    for (const QChar c : name) {
        const bool allowed = isDigit(c) || (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
                          || (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || c == QLatin1Char('.')
                          || c == QLatin1Char('_') || c == QLatin1Char('-');
        if (!allowed)
            return false;
    }
    return true;
}

// A byte count as written: digits without a leading zero, 1 to 2^40.
std::optional<qint64> parseSize(const QString& text)
{
    if (text.isEmpty() || text.size() > 13 || text.startsWith(QLatin1Char('0')))
        return std::nullopt;
    for (const QChar c : text) {
        if (!isDigit(c))
            return std::nullopt;
    }
    const qint64 size = text.toLongLong();
    if (size < 1 || size > kMaxImageBytes)
        return std::nullopt;
    return size;
}

std::optional<QByteArray> parseDigest(const QString& text)
{
    if (text.size() != 2 * kDigestBytes)
        return std::nullopt;
    for (const QChar c : text) {
        if (!isDigit(c) && !(c >= QLatin1Char('a') && c <= QLatin1Char('f')))
            return std::nullopt;
    }
    return QByteArray::fromHex(text.toLatin1());
}

std::optional<ReleaseImage> parseImageLine(const QString& line)
{
    const QStringList fields = line.split(QLatin1Char(' '));
    if (fields.size() != 5 || fields[0] != QLatin1String("image"))
        return std::nullopt;
    const auto size = parseSize(fields[3]);
    const auto digest = parseDigest(fields[4]);
    if (!isFileName(fields[1]) || !isReleaseVersion(fields[2]) || !size || !digest)
        return std::nullopt;
    return ReleaseImage{fields[1], fields[2], *size, *digest};
}

// "<key> <time>"
std::optional<QDateTime> parseTimeLine(const QString& line, const char* key)
{
    const QString prefix = QLatin1String(key) + QLatin1Char(' ');
    if (!line.startsWith(prefix))
        return std::nullopt;
    return parseManifestTime(line.mid(prefix.size()));
}

}  // namespace

const ReleaseImage* ReleaseManifest::find(const QString& file) const
{
    for (const ReleaseImage& image : images) {
        if (image.file == file)
            return &image;
    }
    return nullptr;
}

QString manifestTime(const QDateTime& time)
{
    return time.toUTC().toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss'Z'"));
}

std::optional<QDateTime> parseManifestTime(const QString& text)
{
    static const QRegularExpression shape(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ$"));
    if (!shape.match(text).hasMatch())
        return std::nullopt;
    const QDate date = QDate::fromString(text.left(10), QStringLiteral("yyyy-MM-dd"));
    const QTime clock = QTime::fromString(text.mid(11, 8), QStringLiteral("HH:mm:ss"));
    const QDateTime time(date, clock, Qt::UTC);
    if (!time.isValid())
        return std::nullopt;
    // Only a real time reads back as itself (no 24:00, no 31 April).
    if (manifestTime(time) != text)
        return std::nullopt;
    return time;
}

std::optional<ReleaseManifest> parseManifest(const QByteArray& bytes)
{
    if (bytes.size() > kMaxManifestBytes || !bytes.endsWith('\n'))
        return std::nullopt;
    for (const char c : bytes) {
        if (c != '\n' && (c < 0x20 || c > 0x7e))
            return std::nullopt;
    }
    QStringList lines = QString::fromLatin1(bytes).split(QLatin1Char('\n'));
    lines.removeLast();  // after the last line end
    if (lines.size() < 4 || lines.size() > 3 + kMaxImages || lines[0] != QLatin1String(kManifestHeader))
        return std::nullopt;

    ReleaseManifest manifest;
    const auto issued = parseTimeLine(lines[1], "issued");
    const auto validUntil = parseTimeLine(lines[2], "valid-until");
    if (!issued || !validUntil || *validUntil <= *issued)
        return std::nullopt;
    manifest.issued = *issued;
    manifest.validUntil = *validUntil;

    QSet<QString> names;
    for (qsizetype i = 3; i < lines.size(); ++i) {
        const auto image = parseImageLine(lines[i]);
        if (!image || names.contains(image->file))
            return std::nullopt;
        names.insert(image->file);
        manifest.images << *image;
    }
    return manifest;
}

QByteArray writeManifest(const ReleaseManifest& manifest)
{
    QByteArray text = QByteArray(kManifestHeader) + '\n';
    text += "issued " + manifestTime(manifest.issued).toLatin1() + '\n';
    text += "valid-until " + manifestTime(manifest.validUntil).toLatin1() + '\n';
    for (const ReleaseImage& image : manifest.images) {
        text += "image " + image.file.toLatin1() + ' ' + image.version.toLatin1() + ' '
              + QByteArray::number(image.size) + ' ' + image.sha256.toHex() + '\n';
    }
    return text;
}

std::optional<QByteArray> parseSignatureFile(const QByteArray& bytes)
{
    if (bytes.size() > kMaxSignatureFileBytes)
        return std::nullopt;
    const QByteArrayView text = bytes.endsWith('\n') ? QByteArrayView(bytes).chopped(1) : QByteArrayView(bytes);
    return decodeBase64Exactly(text, kSignatureBytes);
}

QByteArray writeSignatureFile(const QByteArray& signature)
{
    return signature.toBase64() + '\n';
}

// ---------------------------------------------------------------- versions

std::optional<QList<quint32>> versionNumbers(const QString& text)
{
    if (!text.startsWith(QLatin1Char('v')))
        return std::nullopt;
    const QStringList parts = text.mid(1).split(QLatin1Char('.'));
    if (parts.size() > kMaxVersionNumbers)
        return std::nullopt;
    QList<quint32> numbers;
    for (const QString& part : parts) {
        if (part.isEmpty() || part.size() > kMaxNumberDigits)
            return std::nullopt;
        for (const QChar c : part) {
            if (!isDigit(c))
                return std::nullopt;
        }
        numbers << part.toUInt();
    }
    return numbers;
}

bool isReleaseVersion(const QString& text)
{
    return versionNumbers(text).has_value();
}

int compareVersions(const QList<quint32>& a, const QList<quint32>& b)
{
    for (qsizetype i = 0; i < qMax(a.size(), b.size()); ++i) {
        const quint32 left = a.value(i, 0);
        const quint32 right = b.value(i, 0);
        if (left != right)
            return left < right ? -1 : 1;
    }
    return 0;
}

// ---------------------------------------------------------------- verdicts

ReleaseCheck checkRelease(const QByteArray& manifestBytes, const QByteArray& signatureFileBytes,
                          const QList<QByteArray>& trustedKeys, const QDateTime& now,
                          const std::optional<QDateTime>& latestIssuedSeen)
{
    ReleaseCheck check;
    const auto signature = parseSignatureFile(signatureFileBytes);
    if (!signature || manifestBytes.size() > kMaxManifestBytes)
        return check;
    bool signedByTrustedKey = false;
    for (const QByteArray& key : trustedKeys)
        signedByTrustedKey = signedByTrustedKey || verifySignature(key, manifestBytes, *signature);
    if (!signedByTrustedKey)
        return check;

    const auto manifest = parseManifest(manifestBytes);
    if (!manifest) {
        check.status = ReleaseStatus::Unreadable;
        return check;
    }
    check.manifest = *manifest;
    // A trusted manifest seen before was issued in the past: whatever the
    // clock says now, it is not earlier than that.
    const QDateTime effectiveNow = latestIssuedSeen && *latestIssuedSeen > now ? *latestIssuedSeen : now;
    const QDateTime expires = qMin(manifest->validUntil, manifest->issued.addDays(kMaxValidDays));
    if (manifest->issued > now.addSecs(kClockSlackSecs))
        check.status = ReleaseStatus::ClockBehind;
    else if (effectiveNow > expires)
        check.status = ReleaseStatus::Expired;
    else if (latestIssuedSeen && manifest->issued < *latestIssuedSeen)
        check.status = ReleaseStatus::Superseded;
    else
        check.status = ReleaseStatus::Trusted;
    return check;
}

OfferCheck checkOffer(const ReleaseCheck& release, const QString& imageFile, const QString& publishedVersion,
                      const QString& installedVersion)
{
    OfferCheck offer;
    if (release.status != ReleaseStatus::Trusted) {
        offer.backing = Backing::ReleaseRefused;
        return offer;
    }
    const ReleaseImage* image = release.manifest.find(imageFile);
    // The version file and the manifest must speak of the same release.
    if (!image || image->version != publishedVersion) {
        offer.backing = Backing::NotListed;
        return offer;
    }
    // A program that never recorded its version cannot be older than the
    // first release: a replayed manifest never takes it below that.
    const auto installed = versionNumbers(installedVersion).value_or(*versionNumbers(QLatin1String(kFirstRelease)));
    if (compareVersions(*versionNumbers(image->version), installed) <= 0) {
        offer.backing = Backing::NotNewer;
        return offer;
    }
    offer.backing = Backing::Installable;
    offer.image = *image;
    return offer;
}

}  // namespace qpt::internet::release
