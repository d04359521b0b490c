#include "settings_store.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

namespace qpt {

namespace {

QString configFolder()
{
    // QStandardPaths honours XDG_CONFIG_HOME and falls back to ~/.config.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

QString groupedKey(const QString& key)
{
    return QStringLiteral("%1/%2").arg(QLatin1String(SettingsStore::kSection), key);
}

}  // namespace

QString SettingsStore::filePath()
{
    return configFolder() + QLatin1Char('/') + QLatin1String(kApplication) + QStringLiteral(".ini");
}

QString SettingsStore::read(const QString& key)
{
    // A fresh QSettings per access reads the file as it is now on disk.
    QSettings settings(filePath(), QSettings::IniFormat);
    const QVariant value = settings.value(groupedKey(key));
    return value.isValid() ? value.toString() : QString();
}

void SettingsStore::write(const QString& key, const QString& value)
{
    QDir().mkpath(configFolder());
    QSettings settings(filePath(), QSettings::IniFormat);
    settings.setValue(groupedKey(key), value);
    settings.sync();
}

std::optional<double> SettingsStore::readNumber(const QString& key)
{
    return toNumber(read(key));
}

bool SettingsStore::isOn(const QString& key)
{
    const auto number = readNumber(key);
    return number && *number == 1.0;
}

std::optional<double> toNumber(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    bool ok = false;
    const double value = QLocale::c().toDouble(trimmed, &ok);
    if (!ok)
        return std::nullopt;
    return value;
}

}  // namespace qpt
