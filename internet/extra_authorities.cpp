#include "extra_authorities.h"

#include "online_log.h"

#include <QSet>
#include <QSslConfiguration>

namespace qpt::internet {

void trustExtraAuthorities()
{
    static QSet<QString> added;
    const QString file = qEnvironmentVariable("QPT_EXTRA_CA_FILE");
    if (file.isEmpty() || added.contains(file))
        return;
    added.insert(file);
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    if (!configuration.addCaCertificates(file, QSsl::Pem))
        qCWarning(lcOnline) << "QPT_EXTRA_CA_FILE: no certificates in" << file;
    QSslConfiguration::setDefaultConfiguration(configuration);
}

}  // namespace qpt::internet
