#include "product.h"

#include "app_folder.h"

#include <QSettings>

namespace qpt {

namespace {

QVariant fromProductIni(const char* key)
{
    QSettings ini(AppFolder::file(QStringLiteral("product.ini")), QSettings::IniFormat);
    return ini.value(QStringLiteral("Product/%1").arg(QLatin1String(key)));
}

QString configured(const char* environment, const char* iniKey, const char* fallback)
{
    const QString fromEnvironment = qEnvironmentVariable(environment);
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    const QString fromFile = fromProductIni(iniKey).toString();
    if (!fromFile.isEmpty())
        return fromFile;
    return QLatin1String(fallback);
}

QString relay()
{
    return configured("QPT_MAIL_RELAY", "MailRelay", "mail.quorbel-tirk.example:25");
}

}  // namespace

QString Product::website()
{
    return configured("QPT_WEBSITE", "WebSite", "https://www.quorbel-tirk.example");
}

QString Product::updateUrl()
{
    QString url = configured("QPT_UPDATE_URL", "UpdateUrl", "https://update.quorbel-tirk.example");
    while (url.endsWith(QLatin1Char('/')))
        url.chop(1);
    return url;
}

QString Product::mailRelayHost()
{
    const QString value = relay();
    const int colon = value.lastIndexOf(QLatin1Char(':'));
    return colon < 0 ? value : value.left(colon);
}

int Product::mailRelayPort()
{
    const QString value = relay();
    const int colon = value.lastIndexOf(QLatin1Char(':'));
    bool ok = false;
    const int port = colon < 0 ? 25 : value.mid(colon + 1).toInt(&ok);
    return ok && port > 0 ? port : 25;
}

QString Product::bugReportMailbox()
{
    return configured("QPT_MAILBOX", "Mailbox", "bugreport@quorbel-tirk.example");
}

QString Product::mailSender()
{
    return configured("QPT_MAIL_SENDER", "Sender", "onlinesystem@quorbel-tirk.example");
}

QStringList Product::releaseKeys()
{
    // QSettings reads a comma-separated value as a list.
    QStringList keys;
    for (const QString& key : fromProductIni("ReleaseKeys").toStringList()) {
        if (!key.trimmed().isEmpty())
            keys << key.trimmed();
    }
    return keys;
}

}  // namespace qpt

