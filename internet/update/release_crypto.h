#pragma once
// The cryptography of release signing, all of it through OpenSSL 3's EVP
// interface: SHA-256 digests, Ed25519 key pairs, signatures and their
// verification. Nothing here is hand-written arithmetic.
//
// A public key travels as its one-line form: the 32 raw key bytes in
// base64 (44 characters). A private key is kept as PKCS#8 PEM, the form the
// `openssl` command reads and writes.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

typedef struct evp_md_ctx_st EVP_MD_CTX;

namespace qpt::internet::release {

inline constexpr int kPublicKeyBytes = 32;
inline constexpr int kSignatureBytes = 64;
inline constexpr int kDigestBytes = 32;

// A SHA-256 digest of bytes that arrive in pieces.
class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void add(QByteArrayView bytes);
    // The 32 raw digest bytes; empty when the library failed at any point.
    QByteArray result();

private:
    EVP_MD_CTX* m_context;
    bool m_failed = false;
};

QByteArray sha256(QByteArrayView bytes);

// The size and digest of a regular file, read without following a link at
// its name; none when it cannot be read whole.
struct FileDigest {
    qint64 size = 0;
    QByteArray sha256;
};
std::optional<FileDigest> digestOfFile(const QString& path);

// True only when the signature is a valid Ed25519 signature of exactly
// these bytes by this public key (32 raw bytes).
bool verifySignature(const QByteArray& publicKey, QByteArrayView message, const QByteArray& signature);

struct KeyPair {
    QByteArray privatePem;  // PKCS#8, unencrypted
    QByteArray publicKey;   // 32 raw bytes
};
std::optional<KeyPair> generateKeyPair();
// The public half of a PEM private key; none when it is not an Ed25519 key.
std::optional<QByteArray> publicKeyOf(const QByteArray& privatePem);
// The 64-byte signature of the message; none when the key cannot be used.
std::optional<QByteArray> sign(const QByteArray& privatePem, QByteArrayView message);

// The one-line form of a public key, and back. Only the exact canonical
// text of 32 bytes is accepted (no blanks, no line ends, no other length).
QByteArray publicKeyText(const QByteArray& publicKey);
std::optional<QByteArray> parsePublicKeyText(QByteArrayView text);

// Canonical base64 of exactly `bytes` decoded bytes: no blanks, no line
// ends, the padding it must have and nothing that decodes the same way
// from other text.
std::optional<QByteArray> decodeBase64Exactly(QByteArrayView text, int bytes);

}  // namespace qpt::internet::release
