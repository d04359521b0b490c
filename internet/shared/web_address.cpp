#include "web_address.h"

#include <QUrlQuery>

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

QUrl plainMailto(const QUrl& url)
{
    if (url.scheme().compare(QLatin1String("mailto"), Qt::CaseInsensitive) != 0 || !url.isValid())
        return QUrl();
    static const QStringList kKept{QStringLiteral("to"), QStringLiteral("cc"), QStringLiteral("subject"),
                                   QStringLiteral("body")};
    QUrlQuery kept;
    const QList<std::pair<QString, QString>> fields = QUrlQuery(url).queryItems(QUrl::FullyEncoded);
    for (const auto& [name, value] : fields) {
        if (kKept.contains(name.toLower()))
            kept.addQueryItem(name, value);
    }
    QUrl plain(url);
    plain.setFragment(QString());
    // A null query leaves no "?" behind.
    plain.setQuery(kept.isEmpty() ? QString() : kept.query(QUrl::FullyEncoded), QUrl::StrictMode);
    return plain;
}

}  // namespace qpt::internet
