#include "program_image.h"

#include "online_files.h"

#include <QCryptographicHash>
#include <QFile>

#include <fcntl.h>
#include <unistd.h>

namespace qpt::internet {

namespace {

// A published digest file is a line; a host's page for a missing one may
// be longer, but it is never kept whole.
constexpr qint64 kChecksumFileLimit = 64 * 1024;

ImageRefusal refusalOf(const Download& download)
{
    switch (download.end) {
    case TransferEnd::TooLarge: return ImageRefusal::TooLarge;
    case TransferEnd::CutShort: return ImageRefusal::NotWhole;
    case TransferEnd::Complete: break;
    case TransferEnd::Failed:
    case TransferEnd::Stalled:
    case TransferEnd::Cancelled:
    case TransferEnd::NotStored: return ImageRefusal::NotDownloaded;
    }
    if (!download.succeeded())
        return ImageRefusal::NotDownloaded;
    if (!download.arrivedWhole() && !download.chunkedClaimsWhole())
        return ImageRefusal::NotWhole;
    return ImageRefusal::None;
}

// The host's word on the image's digest: none published, a digest, or
// something that cannot be trusted either way.
struct PublishedDigest {
    bool published = false;
    QByteArray digest;
};

std::optional<PublishedDigest> publishedDigest(Downloader& downloader, const QString& imageUrl, int idleMs)
{
    const Download answer = downloader.fetch(imageUrl + QStringLiteral(".sha256"), {kChecksumFileLimit, idleMs});
    // Only a clear "not here" means the host publishes no digest.
    if (answer.status == 404 || answer.status == 410)
        return PublishedDigest{};
    if (!answer.succeeded())
        return std::nullopt;
    const QByteArray digest = digestOfChecksumFile(answer.body);
    if (digest.isEmpty())
        return std::nullopt;
    return PublishedDigest{true, digest};
}

}  // namespace

ProgramImage::~ProgramImage()
{
    if (!m_path.isEmpty())
        ::unlink(QFile::encodeName(m_path).constData());
}

bool ProgramImage::keepAs(const QString& path)
{
    if (::rename(QFile::encodeName(m_path).constData(), QFile::encodeName(path).constData()) != 0)
        return false;
    m_path.clear();
    return true;
}

bool startsLikeProgram(const QByteArray& head)
{
    return head.startsWith("\x7f" "ELF") || head.startsWith("#!");
}

QByteArray digestOfChecksumFile(const QByteArray& text)
{
    const QByteArray first = text.trimmed().split('\n').value(0).simplified().split(' ').value(0).toLower();
    if (first.size() != 64)
        return QByteArray();
    for (const char c : first) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return QByteArray();
    }
    return first;
}

FetchedImage fetchProgramImage(Downloader& downloader, const QString& url, const ImageLimits& limits)
{
    FetchedImage result;
    const QString folder = privateTempFolder();
    if (folder.isEmpty()) {
        result.refusal = ImageRefusal::NoPrivatePlace;
        return result;
    }
    QByteArray pattern = QFile::encodeName(folder + QStringLiteral("/image.XXXXXX"));
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        result.refusal = ImageRefusal::NoPrivatePlace;
        return result;
    }
    // From here the file goes away with `image` unless it is accepted.
    auto image = std::make_unique<ProgramImage>(QFile::decodeName(pattern));

    QCryptographicHash hash(QCryptographicHash::Sha256);
    QByteArray head;
    const Download download = downloader.fetchInto(url, {limits.maxBytes, limits.idleMs},
                                                   [&](const char* data, qint64 size) {
        if (head.size() < 4)
            head.append(data, qMin<qint64>(size, 4 - head.size()));
        hash.addData(QByteArrayView(data, size));
        return writeFully(fd, data, size);
    });
    const bool stored = ::fsync(fd) == 0;
    ::close(fd);

    result.refusal = refusalOf(download);
    if (result.refusal == ImageRefusal::None && !stored)
        result.refusal = ImageRefusal::NotDownloaded;
    if (result.refusal == ImageRefusal::None && !startsLikeProgram(head))
        result.refusal = ImageRefusal::NotAProgram;
    if (result.refusal == ImageRefusal::None) {
        const auto published = publishedDigest(downloader, url, limits.idleMs);
        if (!published)
            result.refusal = ImageRefusal::ChecksumUnreadable;
        else if (published->published && published->digest != hash.result().toHex())
            result.refusal = ImageRefusal::ChecksumMismatch;
        else if (!published->published && !download.arrivedWhole())
            result.refusal = ImageRefusal::NotWhole;  // a chunked end with nothing to back it
    }
    if (result.refusal == ImageRefusal::None)
        result.image = std::move(image);
    return result;
}

}  // namespace qpt::internet
