#pragma once
// What the Online System makes of a web address: whether it is one, and
// whether another address belongs to the same site (where a transfer may be
// redirected to, and where a page's pictures may come from), and what of a
// mail link is handed to the user's mail program.

#include <QUrl>

namespace qpt::internet {

// An http or https address.
bool isWeb(const QUrl& url);

// The same host and port with the same scheme, or https on the same host
// (any port) where `from` is http: the site's own secure twin.
bool isSameSite(const QUrl& from, const QUrl& to);

// A mailto link with nothing but its addressees and text: the fields to,
// cc, subject and body (in any case of letters) stay as they were, every
// other one goes (attach, and whatever else a mail program might honour
// without the user seeing it), as does a fragment. Not valid for an
// address that is no mailto link.
QUrl plainMailto(const QUrl& url);

}  // namespace qpt::internet
