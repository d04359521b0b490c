#include "program_image.h"

#include "leftovers.h"
#include "online_files.h"

#include <QFile>

#include <fcntl.h>
#include <unistd.h>

namespace qpt::internet {

ProgramImage::ProgramImage(QString path) : m_path(std::move(path))
{
    leftovers::note(m_path);
}

ProgramImage::~ProgramImage()
{
    if (m_path.isEmpty())
        return;
    ::unlink(QFile::encodeName(m_path).constData());
    leftovers::forget(m_path);
}

bool ProgramImage::keepAs(const QString& path)
{
    if (::rename(QFile::encodeName(m_path).constData(), QFile::encodeName(path).constData()) != 0)
        return false;
    // Handed on: what is kept for the updater outlives this program.
    leftovers::forget(m_path);
    m_path.clear();
    return true;
}

ImageDownload::ImageDownload(QObject* parent) : QObject(parent)
{
    connect(&m_transfer, &Transfer::finished, this, &ImageDownload::transferEnded);
}

ImageDownload::~ImageDownload()
{
    abandon();
}

void ImageDownload::start(const QString& url, const release::ReleaseImage& signedImage, const ImageLimits& limits,
                          Done done)
{
    abandon();
    m_done = std::move(done);
    m_expected = signedImage;
    const QString folder = privateTempFolder();
    QByteArray pattern = QFile::encodeName(folder + QStringLiteral("/image.XXXXXX"));
    m_fd = folder.isEmpty() ? -1 : ::mkostemp(pattern.data(), O_CLOEXEC);
    if (m_fd < 0) {
        FetchedImage refused;
        refused.refusal = ImageRefusal::NoPrivatePlace;
        QMetaObject::invokeMethod(
            this, [done = m_done, refused = std::make_shared<FetchedImage>(std::move(refused))] { done(std::move(*refused)); },
            Qt::QueuedConnection);
        return;
    }
    // From here the file goes away with m_file unless it is accepted.
    m_file = std::make_unique<ProgramImage>(QFile::decodeName(pattern));
    m_digest = std::make_unique<release::Sha256>();
    m_stored = true;
    // The signed size is the most that is ever taken.
    m_transfer.start(url, {signedImage.size, limits.idleMs, limits.deadlineMs}, [this](QByteArrayView bytes) {
        m_digest->add(bytes);
        m_stored = writeFully(m_fd, bytes.data(), bytes.size());
        return m_stored;
    });
}

void ImageDownload::closeFile()
{
    if (m_fd < 0)
        return;
    m_stored = ::fsync(m_fd) == 0 && m_stored;
    m_stored = ::close(m_fd) == 0 && m_stored;
    m_fd = -1;
}

void ImageDownload::abandon()
{
    m_transfer.abandon();
    closeFile();
    m_file.reset();
    m_done = {};
}

void ImageDownload::transferEnded(const Download& download)
{
    closeFile();
    FetchedImage result;
    if (download.end == TransferEnd::Cancelled)
        result.refusal = ImageRefusal::Cancelled;
    else if (download.end == TransferEnd::NotTrusted)
        result.refusal = ImageRefusal::NotTrusted;
    else if (!download.succeeded() || !m_stored)
        result.refusal = ImageRefusal::NotDownloaded;
    else if (download.received != m_expected.size || m_digest->result() != m_expected.sha256)
        result.refusal = ImageRefusal::NotSigned;
    else
        result.image = std::move(m_file);
    m_file.reset();
    const Done done = std::move(m_done);
    m_done = {};
    if (done)
        done(std::move(result));
}

}  // namespace qpt::internet
