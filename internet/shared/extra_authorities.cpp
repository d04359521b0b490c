#include "extra_authorities.h"

#include "online_log.h"

#include "common/app_folder.h"

#include <QSet>
#include <QSettings>
#include <QSslConfiguration>

namespace qpt::internet {

void trustExtraAuthorities()
{
    static QSet<QString> added;
    const QSettings productIni(AppFolder::file(QStringLiteral("product.ini")), QSettings::IniFormat);
    const QString file = productIni.value(QStringLiteral("Product/CertificateAuthorities")).toString();
    if (file.isEmpty() || added.contains(file))
        return;
    added.insert(file);
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    if (!configuration.addCaCertificates(file, QSsl::Pem))
        qCWarning(lcOnline) << "product.ini: no certificates in" << file;
    QSslConfiguration::setDefaultConfiguration(configuration);
}

}  // namespace qpt::internet
