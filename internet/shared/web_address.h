#pragma once
// What the Online System makes of a web address: whether it is one, and
// whether another address belongs to the same site (where a transfer may be
// redirected to, and where a page's pictures may come from).

#include <QUrl>

namespace qpt::internet {

// An http or https address.
bool isWeb(const QUrl& url);

// The same host and port with the same scheme, or https on the same host
// (any port) where `from` is http: the site's own secure twin.
bool isSameSite(const QUrl& from, const QUrl& to);

}  // namespace qpt::internet
