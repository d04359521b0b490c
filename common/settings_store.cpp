#include "settings_store.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSettings>
#include <QStandardPaths>

#include <mutex>

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

// Values that could not be written, kept for this process. Read from any
// thread (an exit on a signal reads the options), written on one.
QHash<QString, QString>& unsaved()
{
    static QHash<QString, QString> values;
    return values;
}
std::mutex g_unsavedLock;

}  // namespace

QString SettingsStore::filePath()
{
    return configFolder() + QLatin1Char('/') + QLatin1String(kApplication) + QStringLiteral(".ini");
}

QString SettingsStore::read(const QString& key)
{
    {
        const std::lock_guard lock(g_unsavedLock);
        const auto kept = unsaved().constFind(key);
        if (kept != unsaved().constEnd())
            return *kept;
    }
    // A fresh QSettings per access reads the file as it is now on disk.
    QSettings settings(filePath(), QSettings::IniFormat);
    const QVariant value = settings.value(groupedKey(key));
    return value.isValid() ? value.toString() : QString();
}

bool SettingsStore::write(const QString& key, const QString& value)
{
    bool saved = QDir().mkpath(configFolder()) && !QFileInfo(filePath()).isDir();
    if (saved) {
        QSettings settings(filePath(), QSettings::IniFormat);
        settings.setValue(groupedKey(key), value);
        settings.sync();
        saved = settings.status() == QSettings::NoError;
    }
    const std::lock_guard lock(g_unsavedLock);
    if (saved)
        unsaved().remove(key);
    else
        unsaved().insert(key, value);
    return saved;
}

void SettingsStore::useDefaultOptionsForThisRun()
{
    const std::lock_guard lock(g_unsavedLock);
    for (const OptionDefault& option : kOptionDefaults)
        unsaved().insert(QLatin1String(option.key), option.on ? QStringLiteral("1") : QStringLiteral("2"));
}

std::optional<double> SettingsStore::readNumber(const QString& key)
{
    return toNumber(read(key));
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
