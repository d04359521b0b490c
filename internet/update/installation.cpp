#include "installation.h"

#include "online_files.h"
#include "release_manifest.h"

#include "common/app_folder.h"
#include "common/settings_store.h"

#include <QDebug>
#include <QList>

namespace qpt::internet {

namespace {

// A few lines; anything longer is not ours.
constexpr qint64 kMaxRecordBytes = 4096;

QString recordPath()
{
    return AppFolder::file(QLatin1String(kInstalledReleaseFile));
}

bool writeInstalledRelease(const InstalledRelease& record)
{
    return replaceFileAtomically(recordPath(), record.text());
}

}  // namespace

QString normalisePlayerVersion(const QString& stored)
{
    return QLatin1Char('v') + stored.mid(stored.lastIndexOf(QLatin1Char('v')) + 1);
}

QString installedPlayerVersion()
{
    return normalisePlayerVersion(SettingsStore::read(QLatin1String(keys::PlayerVer)));
}

QString installedOptionVersion()
{
    return SettingsStore::read(QLatin1String(keys::Option));
}

InstalledRelease InstalledRelease::parse(const QByteArray& bytes)
{
    InstalledRelease record;
    for (const QByteArray& line : bytes.split('\n')) {
        const QList<QByteArray> words = line.trimmed().split(' ');
        if (words.size() == 2 && words[0] == "issued")
            record.latestIssued = release::parseManifestTime(QString::fromLatin1(words[1]));
        else if (words.size() == 3 && words[0] == "installed" && release::isReleaseVersion(QString::fromLatin1(words[2])))
            record.versions.insert(QString::fromLatin1(words[1]), QString::fromLatin1(words[2]));
    }
    return record;
}

QByteArray InstalledRelease::text() const
{
    QByteArray text;
    if (latestIssued)
        text += "issued " + release::manifestTime(*latestIssued).toLatin1() + '\n';
    for (auto it = versions.cbegin(); it != versions.cend(); ++it)
        text += "installed " + it.key().toLatin1() + ' ' + it.value().toLatin1() + '\n';
    return text;
}

InstalledRelease readInstalledRelease()
{
    const std::optional<QByteArray> bytes = readSmallFile(recordPath(), kMaxRecordBytes);
    return bytes ? InstalledRelease::parse(*bytes) : InstalledRelease{};
}

QString versionToJudge(const QString& imageName, const QString& recorded)
{
    if (release::isReleaseVersion(recorded))
        return recorded;
    const QString remembered = readInstalledRelease().versions.value(imageName);
    return remembered.isEmpty() ? recorded : remembered;
}

std::optional<QDateTime> latestReleaseSeen()
{
    const auto inSettings = release::parseManifestTime(SettingsStore::read(QLatin1String(keys::LatestReleaseIssued)));
    const auto beside = readInstalledRelease().latestIssued;
    if (!inSettings || !beside)
        return inSettings ? inSettings : beside;
    return qMax(*inSettings, *beside);
}

bool noteReleaseSeen(const QDateTime& issued)
{
    const auto inSettings = release::parseManifestTime(SettingsStore::read(QLatin1String(keys::LatestReleaseIssued)));
    const bool settingsKeep = (inSettings && issued <= *inSettings)
                           || SettingsStore::write(QLatin1String(keys::LatestReleaseIssued), release::manifestTime(issued));
    InstalledRelease record = readInstalledRelease();
    bool besideKeeps = record.latestIssued && issued <= *record.latestIssued;
    if (!besideKeeps) {
        record.latestIssued = issued;
        besideKeeps = writeInstalledRelease(record);
    }
    if (!settingsKeep)
        qWarning() << "the settings cannot remember the latest release information seen";
    if (!besideKeeps)
        qWarning() << "the installation cannot remember the latest release information seen:" << recordPath();
    return settingsKeep || besideKeeps;
}

bool noteInstalled(const QString& imageName, const QString& version)
{
    InstalledRelease record = readInstalledRelease();
    record.versions.insert(imageName, version);
    if (writeInstalledRelease(record))
        return true;
    qWarning() << "the installation cannot remember the version installed:" << recordPath();
    return false;
}

}  // namespace qpt::internet
