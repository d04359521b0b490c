#pragma once
// Product constants, kept in one place. Each can be overridden by an
// optional "product.ini" in the application folder ([Product] group) and,
// for tests, by environment variables.

#include <QString>
#include <QStringList>

namespace qpt {

class Product {
public:
    // The product web site ("Visit: ...", the web link, the not-found boxes).
    static QString website();           // QPT_WEBSITE, product.ini WebSite
    // Base address of the update host; paths below it start with
    // "/mainpage/os/Tirk/".
    static QString updateUrl();         // QPT_UPDATE_URL, product.ini UpdateUrl
    // Mail relay as host:port.
    static QString mailRelayHost();     // QPT_MAIL_RELAY (host:port), product.ini MailRelay
    static int mailRelayPort();
    static QString bugReportMailbox();  // QPT_MAILBOX, product.ini Mailbox
    static QString mailSender();        // QPT_MAIL_SENDER, product.ini Sender
    // Release keys trusted besides the one built into the programs, in their
    // one-line form, comma-separated (product.ini ReleaseKeys only: whoever
    // may write the application folder owns the programs anyway, while an
    // environment variable could come from anywhere).
    static QStringList releaseKeys();
};

}  // namespace qpt
