#include "installation.h"

#include "release_manifest.h"

#include "common/settings_store.h"

#include <QDebug>

namespace qpt::internet {

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

std::optional<QDateTime> latestReleaseSeen()
{
    return release::parseManifestTime(SettingsStore::read(QLatin1String(keys::LatestReleaseIssued)));
}

void noteReleaseSeen(const QDateTime& issued)
{
    const auto seen = latestReleaseSeen();
    if (seen && issued <= *seen)
        return;
    // Without it a replayed older manifest is told apart by its expiry
    // alone; the check goes on, but someone should know.
    if (!SettingsStore::write(QLatin1String(keys::LatestReleaseIssued), release::manifestTime(issued)))
        qWarning() << "cannot remember the latest release information seen (the settings cannot be written)";
}

}  // namespace qpt::internet
