#include "release_tool.h"

#include "internet/update/release_crypto.h"
#include "internet/update/release_manifest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>
#include <QTextStream>

#include <fcntl.h>
#include <unistd.h>

namespace qpt::release_tool {

using namespace qpt::internet::release;

namespace {

constexpr int kDefaultValidDays = 30;

struct Failure {
    QString message;
};

// Reads a small file whole; a larger one is not what this tool reads.
QByteArray readSmall(const QString& path, qint64 limit)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure{QStringLiteral("cannot read %1").arg(path)};
    const QByteArray bytes = file.read(limit + 1);
    if (bytes.size() > limit)
        throw Failure{QStringLiteral("%1 is larger than %2 bytes").arg(path).arg(limit)};
    return bytes;
}

// Creates a new file; an existing one is never overwritten (a key pair is
// made once, and a private key must not replace another by mistake).
void writeNew(const QString& path, const QByteArray& bytes, mode_t mode)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0)
        throw Failure{QStringLiteral("cannot create %1 (it must not exist yet)").arg(path)};
    const bool written = ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    if (::close(fd) != 0 || !written)
        throw Failure{QStringLiteral("cannot write %1").arg(path)};
}

void writeReplacing(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size() || !file.flush())
        throw Failure{QStringLiteral("cannot write %1").arg(path)};
}

QByteArray publicKeyFromFile(const QString& path)
{
    const QByteArray text = readSmall(path, 256).trimmed();
    const auto key = parsePublicKeyText(text);
    if (!key)
        throw Failure{QStringLiteral("%1 holds no public release key").arg(path)};
    return *key;
}

// The value after an option ("--valid-days 30"), taking both from the list.
QString takeOption(QStringList& arguments, const QString& name)
{
    const qsizetype at = arguments.indexOf(name);
    if (at < 0)
        return QString();
    if (at + 1 >= arguments.size())
        throw Failure{QStringLiteral("%1 needs a value").arg(name)};
    const QString value = arguments.at(at + 1);
    arguments.remove(at, 2);
    return value;
}

QStringList takeAll(QStringList& arguments, const QString& name)
{
    QStringList values;
    for (QString value = takeOption(arguments, name); !value.isNull(); value = takeOption(arguments, name))
        values << value;
    return values;
}

void expectCount(const QStringList& arguments, int count, const char* usage)
{
    if (arguments.size() != count)
        throw Failure{QStringLiteral("usage: qpt-release %1").arg(QLatin1String(usage))};
}

void printManifest(const ReleaseManifest& manifest, QTextStream& out)
{
    out << "issued " << manifestTime(manifest.issued) << "\nvalid-until " << manifestTime(manifest.validUntil) << '\n';
    for (const ReleaseImage& image : manifest.images)
        out << image.file << ' ' << image.version << ' ' << image.size << " bytes\n";
}

// ---------------------------------------------------------------- commands

int keygen(QStringList arguments, QTextStream& out, QTextStream&)
{
    expectCount(arguments, 2, "keygen PRIVATE_KEY PUBLIC_KEY");
    const auto pair = generateKeyPair();
    if (!pair)
        throw Failure{QStringLiteral("OpenSSL could not make a key pair")};
    writeNew(arguments[0], pair->privatePem, 0600);
    writeNew(arguments[1], publicKeyText(pair->publicKey) + '\n', 0644);
    out << "private key: " << arguments[0] << " (keep it secret, never in the repository)\n"
        << "public key:  " << arguments[1] << ' ' << publicKeyText(pair->publicKey) << '\n';
    return 0;
}

// The one spelling a version is published in, as the programs write their
// own: "v", a number, and one to three parts of two digits ("v1.01",
// "v2.10.03"). The programs compare number by number, so "v1.1" would equal
// "v1.01" and fall short of "v1.10": such a version is never signed.
bool isCanonicalVersion(const QString& version)
{
    static const QRegularExpression canonical(QStringLiteral("^v(0|[1-9][0-9]{0,8})(\\.[0-9]{2}){1,3}$"));
    return canonical.match(version).hasMatch() && isReleaseVersion(version);
}

// FILE=VERSION pairs of the --version options.
QMap<QString, QString> versionsOf(const QStringList& options)
{
    QMap<QString, QString> versions;
    for (const QString& option : options) {
        const qsizetype equals = option.indexOf(QLatin1Char('='));
        const QString file = option.left(equals);
        const QString version = option.mid(equals + 1);
        if (equals <= 0 || !isCanonicalVersion(version))
            throw Failure{QStringLiteral("--version wants FILE=vN.NN (two digits after each dot, as in v1.01), not %1")
                              .arg(option)};
        if (versions.contains(file))
            throw Failure{QStringLiteral("two versions for %1").arg(file)};
        versions.insert(file, version);
    }
    return versions;
}

int signFolder(QStringList arguments, QTextStream& out, QTextStream& err)
{
    QMap<QString, QString> versions = versionsOf(takeAll(arguments, QStringLiteral("--version")));
    const QString validDays = takeOption(arguments, QStringLiteral("--valid-days"));
    const QString issuedText = takeOption(arguments, QStringLiteral("--issued"));
    expectCount(arguments, 3, "sign PRIVATE_KEY FOLDER MANIFEST --version FILE=vN.NN ... [--valid-days N] [--issued TIME]");
    const QString folder = arguments[1];
    const QString manifestPath = arguments[2];

    bool daysOk = true;
    const int days = validDays.isEmpty() ? kDefaultValidDays : validDays.toInt(&daysOk);
    if (!daysOk || days < 1 || days > kMaxValidDays)
        throw Failure{QStringLiteral("--valid-days wants 1 to %1 (the programs take no manifest for longer)")
                          .arg(kMaxValidDays)};
    ReleaseManifest manifest;
    if (issuedText.isEmpty()) {
        const QDateTime now = QDateTime::currentDateTimeUtc();
        manifest.issued = now.addMSecs(-now.time().msec());
    } else if (const auto issued = parseManifestTime(issuedText)) {
        manifest.issued = *issued;
    } else {
        throw Failure{QStringLiteral("--issued wants YYYY-MM-DDTHH:MM:SSZ")};
    }
    manifest.validUntil = manifest.issued.addDays(days);

    const QFileInfoList entries =
        QDir(folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    if (entries.isEmpty())
        throw Failure{QStringLiteral("%1 holds no images").arg(folder)};
    for (const QFileInfo& entry : entries) {
        if (entry.isSymLink() || !versions.contains(entry.fileName()))
            throw Failure{QStringLiteral("%1 is no image with a --version").arg(entry.filePath())};
        const auto digest = digestOfFile(entry.filePath());
        if (!digest || digest->size < 1)
            throw Failure{QStringLiteral("cannot read %1, or it is empty").arg(entry.filePath())};
        manifest.images << ReleaseImage{entry.fileName(), versions.take(entry.fileName()), digest->size, digest->sha256};
    }
    if (!versions.isEmpty())
        throw Failure{QStringLiteral("no image in %1 for %2").arg(folder, versions.keys().join(QStringLiteral(", ")))};
    if (manifest.images.size() > kMaxImages)
        throw Failure{QStringLiteral("at most %1 images").arg(kMaxImages)};

    const QByteArray text = writeManifest(manifest);
    if (!parseManifest(text))
        throw Failure{QStringLiteral("the images do not make a manifest (file names?)")};
    const QByteArray key = readSmall(arguments[0], 16 * 1024);
    const auto signature = sign(key, text);
    const auto publicKey = publicKeyOf(key);
    if (!signature || !publicKey)
        throw Failure{QStringLiteral("%1 is no Ed25519 private key").arg(arguments[0])};
    // What is published must verify as the programs will verify it.
    if (!verifySignature(*publicKey, text, *signature))
        throw Failure{QStringLiteral("the signature does not verify")};
    writeReplacing(manifestPath, text);
    writeReplacing(manifestPath + QStringLiteral(".sig"), writeSignatureFile(*signature));
    out << "signed " << manifestPath << " with key " << publicKeyText(*publicKey) << '\n';
    printManifest(manifest, out);
    Q_UNUSED(err);
    return 0;
}

int verify(QStringList arguments, QTextStream& out, QTextStream& err)
{
    const QString folder = takeOption(arguments, QStringLiteral("--folder"));
    expectCount(arguments, 2, "verify PUBLIC_KEY MANIFEST [--folder FOLDER]");
    const QByteArray key = publicKeyFromFile(arguments[0]);
    const QByteArray manifestBytes = readSmall(arguments[1], kMaxManifestBytes);
    const QByteArray signature = readSmall(arguments[1] + QStringLiteral(".sig"), kMaxSignatureFileBytes);
    const ReleaseCheck check =
        checkRelease(manifestBytes, signature, {key}, QDateTime::currentDateTimeUtc(), std::nullopt);
    switch (check.status) {
    case ReleaseStatus::NotSigned: throw Failure{QStringLiteral("not signed by this key")};
    case ReleaseStatus::Unreadable: throw Failure{QStringLiteral("signed, but not a manifest")};
    case ReleaseStatus::Trusted:
    case ReleaseStatus::Superseded: break;
    case ReleaseStatus::Expired: err << "expired: the programs will say the update information is out of date\n"; break;
    case ReleaseStatus::ClockBehind: err << "issued more than a day from now: the programs will not take it yet\n";
    }
    printManifest(check.manifest, out);
    bool imagesMatch = true;
    if (!folder.isEmpty()) {
        for (const ReleaseImage& image : check.manifest.images) {
            const auto digest = digestOfFile(folder + QLatin1Char('/') + image.file);
            const bool same = digest && digest->size == image.size && digest->sha256 == image.sha256;
            out << image.file << (same ? ": matches\n" : ": DOES NOT MATCH\n");
            imagesMatch = imagesMatch && same;
        }
    }
    return check.status == ReleaseStatus::Trusted && imagesMatch ? 0 : 1;
}

struct Command {
    const char* name;
    int (*run)(QStringList arguments, QTextStream& out, QTextStream& err);
};
constexpr Command kCommands[] = {
    {"keygen", keygen},
    {"sign", signFolder},
    {"verify", verify},
};

}  // namespace

int run(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    for (const Command& command : kCommands) {
        if (arguments.value(0) != QLatin1String(command.name))
            continue;
        try {
            return command.run(arguments.mid(1), out, err);
        } catch (const Failure& failure) {
            err << "qpt-release " << command.name << ": " << failure.message << '\n';
            return 2;
        }
    }
    err << "usage: qpt-release keygen | sign | verify (see tools/release/release_tool.h)\n";
    return 2;
}

}  // namespace qpt::release_tool
