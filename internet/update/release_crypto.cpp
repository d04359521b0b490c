#include "release_crypto.h"

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace qpt::internet::release {

namespace {

struct PkeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct MdContextFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
struct PkeyContextFree {
    void operator()(EVP_PKEY_CTX* context) const { EVP_PKEY_CTX_free(context); }
};
struct BioFree {
    void operator()(BIO* bio) const { BIO_free(bio); }
};
using Pkey = std::unique_ptr<EVP_PKEY, PkeyFree>;
using MdContext = std::unique_ptr<EVP_MD_CTX, MdContextFree>;
using Bio = std::unique_ptr<BIO, BioFree>;

const unsigned char* bytesOf(QByteArrayView view)
{
    return reinterpret_cast<const unsigned char*>(view.data());
}

Pkey readPrivateKey(const QByteArray& pem)
{
    Bio bio(BIO_new_mem_buf(pem.constData(), int(pem.size())));
    if (!bio)
        return nullptr;
    Pkey key(PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr));
    if (!key || EVP_PKEY_get_id(key.get()) != EVP_PKEY_ED25519)
        return nullptr;
    return key;
}

std::optional<QByteArray> rawPublicKey(EVP_PKEY* key)
{
    QByteArray raw(kPublicKeyBytes, '\0');
    size_t length = size_t(raw.size());
    if (EVP_PKEY_get_raw_public_key(key, reinterpret_cast<unsigned char*>(raw.data()), &length) != 1
        || length != size_t(kPublicKeyBytes))
        return std::nullopt;
    return raw;
}

}  // namespace

Sha256::Sha256() : m_context(EVP_MD_CTX_new())
{
    m_failed = !m_context || EVP_DigestInit_ex(m_context, EVP_sha256(), nullptr) != 1;
}

Sha256::~Sha256()
{
    EVP_MD_CTX_free(m_context);
}

void Sha256::add(QByteArrayView bytes)
{
    if (!m_failed && !bytes.isEmpty())
        m_failed = EVP_DigestUpdate(m_context, bytes.data(), size_t(bytes.size())) != 1;
}

QByteArray Sha256::result()
{
    QByteArray digest(kDigestBytes, '\0');
    unsigned int length = 0;
    if (m_failed || EVP_DigestFinal_ex(m_context, reinterpret_cast<unsigned char*>(digest.data()), &length) != 1
        || length != unsigned(kDigestBytes)) {
        m_failed = true;
        return QByteArray();
    }
    // The context is spent; a second result() is a failure, not a digest of nothing.
    m_failed = true;
    return digest;
}

QByteArray sha256(QByteArrayView bytes)
{
    Sha256 digest;
    digest.add(bytes);
    return digest.result();
}

std::optional<FileDigest> digestOfFile(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat st {};
    FileDigest result;
    Sha256 digest;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    char buffer[64 * 1024];
    while (ok) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        digest.add(QByteArrayView(buffer, n));
        result.size += n;
    }
    ::close(fd);
    result.sha256 = digest.result();
    if (!ok || result.sha256.isEmpty())
        return std::nullopt;
    return result;
}

bool verifySignature(const QByteArray& publicKey, QByteArrayView message, const QByteArray& signature)
{
    if (publicKey.size() != kPublicKeyBytes || signature.size() != kSignatureBytes)
        return false;
    const Pkey key(EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, bytesOf(publicKey), size_t(publicKey.size())));
    const MdContext context(EVP_MD_CTX_new());
    if (!key || !context)
        return false;
    // Ed25519 signs the message itself: no separate digest.
    if (EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1)
        return false;
    return EVP_DigestVerify(context.get(), bytesOf(signature), size_t(signature.size()), bytesOf(message),
                            size_t(message.size()))
        == 1;
}

std::optional<KeyPair> generateKeyPair()
{
    const std::unique_ptr<EVP_PKEY_CTX, PkeyContextFree> context(EVP_PKEY_CTX_new_id(EVP_PKEY_ED25519, nullptr));
    EVP_PKEY* made = nullptr;
    if (!context || EVP_PKEY_keygen_init(context.get()) != 1 || EVP_PKEY_keygen(context.get(), &made) != 1)
        return std::nullopt;
    const Pkey key(made);
    Bio bio(BIO_new(BIO_s_mem()));
    if (!bio || PEM_write_bio_PrivateKey(bio.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1)
        return std::nullopt;
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio.get(), &data);
    const auto publicKey = rawPublicKey(key.get());
    if (length <= 0 || !publicKey)
        return std::nullopt;
    return KeyPair{QByteArray(data, int(length)), *publicKey};
}

std::optional<QByteArray> publicKeyOf(const QByteArray& privatePem)
{
    const Pkey key = readPrivateKey(privatePem);
    return key ? rawPublicKey(key.get()) : std::nullopt;
}

std::optional<QByteArray> sign(const QByteArray& privatePem, QByteArrayView message)
{
    const Pkey key = readPrivateKey(privatePem);
    const MdContext context(EVP_MD_CTX_new());
    if (!key || !context || EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1)
        return std::nullopt;
    QByteArray signature(kSignatureBytes, '\0');
    size_t length = size_t(signature.size());
    if (EVP_DigestSign(context.get(), reinterpret_cast<unsigned char*>(signature.data()), &length, bytesOf(message),
                       size_t(message.size()))
            != 1
        || length != size_t(kSignatureBytes))
        return std::nullopt;
    return signature;
}

std::optional<QByteArray> decodeBase64Exactly(QByteArrayView text, int bytes)
{
    const QByteArray encoded = text.toByteArray();
    const auto decoded = QByteArray::fromBase64Encoding(encoded, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != bytes)
        return std::nullopt;
    // Only the one text that encodes these bytes: no stray bits in the last
    // character, no missing padding.
    if (decoded.decoded.toBase64() != encoded)
        return std::nullopt;
    return decoded.decoded;
}

QByteArray publicKeyText(const QByteArray& publicKey)
{
    return publicKey.toBase64();
}

std::optional<QByteArray> parsePublicKeyText(QByteArrayView text)
{
    return decodeBase64Exactly(text, kPublicKeyBytes);
}

}  // namespace qpt::internet::release
