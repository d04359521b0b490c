#pragma once
// Certificate authorities trusted besides the system's own, for tests only:
// QPT_EXTRA_CA_FILE names a PEM file whose certificates join Qt's default
// TLS configuration (the update host, the pages and the mail relay alike).
// Qt 6.4 on Debian reads the system's store itself and does not honour
// OpenSSL's SSL_CERT_FILE or SSL_CERT_DIR, so a test authority has to be
// added this way. Without the variable nothing changes.

namespace qpt::internet {

// Once per process and file, before the first connection.
void trustExtraAuthorities();

}  // namespace qpt::internet
