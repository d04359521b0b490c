#include "web_address.h"

namespace qpt::internet {

namespace {

int defaultPort(const QUrl& url)
{
    return url.port(url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 ? 443 : 80);
}

}  // namespace

bool isWeb(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

bool isSameSite(const QUrl& from, const QUrl& to)
{
    if (from.host().compare(to.host(), Qt::CaseInsensitive) != 0 || to.host().isEmpty())
        return false;
    const QString fromScheme = from.scheme().toLower();
    const QString toScheme = to.scheme().toLower();
    if (fromScheme == QLatin1String("http") && toScheme == QLatin1String("https"))
        return true;
    return fromScheme == toScheme && isWeb(to) && defaultPort(from) == defaultPort(to);
}

}  // namespace qpt::internet
