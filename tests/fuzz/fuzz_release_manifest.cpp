// The release manifest and its signature file, as any bytes an update host
// (or whoever answers in its place) can send: either a manifest that reads
// back as exactly these bytes, within its caps, or nothing at all; and the
// verdicts never call an unsigned manifest trusted.

#include "internet/release_manifest.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstddef>
#include <cstdint>

using namespace qpt::internet::release;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    if (const auto manifest = parseManifest(bytes)) {
        QPT_FUZZ_CHECK(size <= std::size_t(kMaxManifestBytes));
        QPT_FUZZ_CHECK(!manifest->images.isEmpty() && manifest->images.size() <= kMaxImages);
        QPT_FUZZ_CHECK(manifest->issued.isValid() && manifest->issued < manifest->validUntil);
        for (const ReleaseImage& image : manifest->images) {
            QPT_FUZZ_CHECK(isReleaseVersion(image.version));
            QPT_FUZZ_CHECK(image.size >= 1 && image.size <= kMaxImageBytes);
            QPT_FUZZ_CHECK(image.sha256.size() == 32);
            QPT_FUZZ_CHECK(!image.file.isEmpty() && !image.file.contains(QLatin1Char('/')) && !image.file.startsWith(QLatin1Char('.')));
            QPT_FUZZ_CHECK(manifest->find(image.file) == &image);
        }
        // One text per manifest: what is read is what was written.
        QPT_FUZZ_CHECK(writeManifest(*manifest) == bytes);
    }
    if (const auto signature = parseSignatureFile(bytes)) {
        QPT_FUZZ_CHECK(signature->size() == 64);
        QPT_FUZZ_CHECK(writeSignatureFile(*signature) == bytes || writeSignatureFile(*signature).chopped(1) == bytes);
    }
    // Without a trusted key nothing is ever trusted, whatever the bytes.
    const std::size_t half = size / 2;
    const ReleaseCheck check = checkRelease(bytes.left(qsizetype(half)), bytes.mid(qsizetype(half)), {},
                                            QDateTime::currentDateTimeUtc(), std::nullopt);
    QPT_FUZZ_CHECK(check.status == ReleaseStatus::NotSigned);
    return 0;
}
