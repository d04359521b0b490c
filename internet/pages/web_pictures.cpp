#include "web_pictures.h"

#include "inbox.h"
#include "picture_header.h"

#include <QBuffer>
#include <QImageReader>
#include <QThreadPool>

namespace qpt::internet {

namespace {

const QList<QByteArray> kFormats{"png", "jpeg", "jpg", "gif", "bmp"};

// One thread for all pictures: one picture's pixels in memory at a time.
QThreadPool& decodingThread()
{
    static QThreadPool pool;
    [[maybe_unused]] static const bool single = (pool.setMaxThreadCount(1), true);
    return pool;
}

}  // namespace

QImage decodePicture(const QByteArray& bytes, const PictureLimits& limits, qint64& pixelsLeft)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    // Whatever a decoder would allocate past this fails instead.
    reader.setAllocationLimit(limits.allocationLimitMb);
    const QByteArray format = reader.format().toLower();
    if (!kFormats.contains(format))
        return QImage();
    // The header's size decides, before a single pixel is decoded.
    const QSize source = reader.size();
    const qint64 maxPixels = decodesScaled(format, bytes) ? limits.maxSourcePixels : limits.maxWholePixels;
    if (!source.isValid() || source.isEmpty() || qint64(source.width()) * source.height() > maxPixels)
        return QImage();
    const QSize shown = source.boundedTo(limits.maxShown) == source
                          ? source
                          : source.scaled(limits.maxShown, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    const qint64 pixels = qint64(shown.width()) * shown.height();
    if (pixels > pixelsLeft)
        return QImage();
    reader.setScaledSize(shown);
    QImage image = reader.read();
    if (image.isNull() || image.size() != shown)
        return QImage();
    pixelsLeft -= pixels;
    return image;
}

WebPictures::WebPictures(QNetworkAccessManager& network, QObject* parent)
    : QObject(parent),
      m_network(network),
      m_inbox(Inbox::make()),
      m_dropped(std::make_shared<std::atomic_bool>(false))
{
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, &WebPictures::finish);
}

WebPictures::~WebPictures()
{
    // A decoding under way finishes without anyone to tell (and without
    // this thread waiting for it).
    m_inbox->close();
    *m_dropped = true;
}

void WebPictures::dropTransfers()
{
    // Perhaps from within one of their own signals: they go once it is done.
    for (auto& transfer : m_transfers) {
        transfer->abandon();
        transfer.release()->deleteLater();
    }
    m_transfers.clear();
}

void WebPictures::clear()
{
    ++m_page;
    m_deadline.stop();
    dropTransfers();
    // Pictures of this page not yet decoded are not decoded at all.
    *m_dropped = true;
    m_dropped = std::make_shared<std::atomic_bool>(false);
    m_images.clear();
    m_pending = 0;
}

void WebPictures::fetch(const QList<QUrl>& pictures)
{
    clear();
    m_bytesLeft = m_limits.pageBytes;
    m_pixelsLeft = std::make_shared<qint64>(m_limits.pagePixels);
    for (const QUrl& url : pictures) {
        auto transfer = std::make_unique<Transfer>(this, &m_network);
        const auto body = std::make_shared<QByteArray>();
        connect(transfer.get(), &Transfer::finished, this,
                [this, url, body](const Download& download) { pictureArrived(url, download, *body); });
        // What the page's pictures may still bring counts as they arrive.
        transfer->start(url.toString(), {m_limits.maxBytes, m_limits.deadlineMs, m_limits.deadlineMs},
                        [this, body](QByteArrayView bytes) {
                            m_bytesLeft -= bytes.size();
                            body->append(bytes);
                            return m_bytesLeft >= 0;
                        });
        m_transfers.push_back(std::move(transfer));
        ++m_pending;
    }
    if (m_pending > 0)
        m_deadline.start(m_limits.deadlineMs);
}

void WebPictures::pictureArrived(const QUrl& url, const Download& download, QByteArray& body)
{
    if (m_pending == 0)
        return;
    if (!download.succeeded()) {
        pictureDecoded(m_page, url, QImage());
        return;
    }
    decodingThread().start([this, inbox = m_inbox, page = m_page, url, bytes = std::move(body), limits = m_limits,
                            pixelsLeft = m_pixelsLeft, dropped = m_dropped] {
        const QImage image = *dropped ? QImage() : decodePicture(bytes, limits, *pixelsLeft);
        // Delivered only while this object is there (its inbox is open).
        Inbox::post(inbox, [this, page, url, image] { pictureDecoded(page, url, image); });
    });
    body = QByteArray();
}

void WebPictures::pictureDecoded(quint64 page, const QUrl& url, const QImage& image)
{
    if (page != m_page || m_pending == 0)
        return;
    if (!image.isNull())
        m_images.insert(url, image);
    if (--m_pending == 0)
        finish();
}

void WebPictures::finish()
{
    m_deadline.stop();
    m_pending = 0;
    // Nothing more comes for this page; what is on its way is dropped.
    dropTransfers();
    if (!m_images.isEmpty())
        emit arrived();
}

}  // namespace qpt::internet
