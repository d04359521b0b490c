#pragma once
// Certificate authorities trusted besides the system's own: the
// application folder's product.ini may name a PEM file of them
// ([Product] CertificateAuthorities), whose certificates then join Qt's
// default TLS configuration (the update host, the pages and the mail relay
// alike). Only product.ini names it, as it alone names further release
// keys: whoever may write the application folder owns the programs anyway,
// while an environment variable could come from anywhere. (Qt 6.4 on
// Debian reads the system's store itself and does not honour OpenSSL's
// SSL_CERT_FILE or SSL_CERT_DIR; tests trust their own authority this way.)
// Without the key nothing changes.

namespace qpt::internet {

// Once per process and file, before the first connection.
void trustExtraAuthorities();

}  // namespace qpt::internet
