#pragma once
// The pictures of a page from the network, fetched and decoded within fixed
// bounds before the page is laid out with them (once, when they are all in
// or their time is up):
//
//   - at most so many bytes each and for the page, and a deadline;
//   - only PNG, JPEG, GIF and BMP, read from their headers first: a picture
//     of more source pixels than maxSourcePixels is not decoded at all;
//   - decoded scaled down to fit maxShown (QImageReader::setScaledSize,
//     before the pixels are read), and no more than pagePixels shown
//     pixels for the whole page;
//   - Qt decodes only sequential JPEG and 8-bit, non-interlaced PNG scaled
//     as it reads them; progressive or CMYK JPEG, interlaced or 16-bit PNG,
//     GIF and BMP are decoded whole first (picture_header.h), so they are
//     decoded only up to maxWholePixels at their source; and a decoder that
//     would allocate more than allocationLimitMb fails;
//   - decoded one at a time on a thread of their own: a large picture
//     takes a moment to decode, and the window thread does not wait for it.

#include "internet/shared/download.h"

#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>
#include <QSize>
#include <QTimer>
#include <QUrl>

#include <atomic>
#include <memory>
#include <vector>

class QNetworkAccessManager;

namespace qpt::internet {

struct PictureLimits {
    qint64 maxBytes = 2 * 1024 * 1024;        // one picture on the wire
    qint64 pageBytes = 16 * 1024 * 1024;      // all of a page's pictures on the wire
    qint64 maxSourcePixels = 16 * 1000 * 1000;
    qint64 maxWholePixels = 2 * 1000 * 1000;  // pictures decoded whole before they are scaled
    int allocationLimitMb = 32;
    QSize maxShown = QSize(1024, 1024);
    qint64 pagePixels = 8 * 1024 * 1024;      // shown pixels of the whole page
    int deadlineMs = 30000;
};

// Decodes a picture within the limits, scaled down to fit maxShown; a null
// image when it is no picture of an allowed kind, too large at its source,
// or when the page has no pixels left (`pixelsLeft` is what the page may
// still show, and goes down by what this one takes).
QImage decodePicture(const QByteArray& bytes, const PictureLimits& limits, qint64& pixelsLeft);

class WebPictures : public QObject {
    Q_OBJECT
public:
    WebPictures(QNetworkAccessManager& network, QObject* parent = nullptr);
    ~WebPictures() override;

    // Fetches a page's pictures; the previous page's are dropped.
    void fetch(const QList<QUrl>& pictures);
    void clear();
    void setLimits(const PictureLimits& limits) { m_limits = limits; }

    // The decoded picture for the address; null when there is none.
    QImage picture(const QUrl& url) const { return m_images.value(url); }
    bool isBusy() const { return m_pending > 0; }

signals:
    // Every picture of the page has come, failed or run out of time; at
    // least one of them can be shown.
    void arrived();

private:
    void pictureArrived(const QUrl& url, const Download& download, QByteArray& body);
    void pictureDecoded(quint64 page, const QUrl& url, const QImage& image);
    void finish();
    void dropTransfers();

    QNetworkAccessManager& m_network;
    PictureLimits m_limits;
    std::vector<std::unique_ptr<Transfer>> m_transfers;
    QHash<QUrl, QImage> m_images;
    QTimer m_deadline;
    // Where the decoding thread's results arrive (on the window thread);
    // it outlives this object while a decoding still needs it.
    std::shared_ptr<class Inbox> m_inbox;
    // The page's own, shared with its decodings: the pixels the decoding
    // thread may still spend, and whether the page is still wanted.
    std::shared_ptr<qint64> m_pixelsLeft;
    std::shared_ptr<std::atomic_bool> m_dropped;
    quint64 m_page = 0;                   // pictures of an earlier page are dropped
    qint64 m_bytesLeft = 0;
    int m_pending = 0;
};

}  // namespace qpt::internet
