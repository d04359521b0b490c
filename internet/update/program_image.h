#pragma once
// A new program image fetched from the update host and checked before
// anything installed is touched.
//
// The image goes straight into a private temporary file (never into memory
// as a whole), and is accepted only when the response was 2xx, ended as
// the server meant it to, and the bytes have exactly the size and SHA-256
// of the image's entry in the signed manifest. Whatever else the host says
// about the image (a published digest beside it, a length it announces)
// proves nothing: the host can say anything. A refused image, or one whose
// download is stopped, leaves nothing behind.

#include "release_crypto.h"
#include "release_manifest.h"

#include "internet/shared/download.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace qpt::internet {

enum class ImageRefusal {
    None,
    NoPrivatePlace,  // no private folder to receive it
    NotDownloaded,   // no connection, an error status, too slow, cut short
    NotTrusted,      // the host could not prove its identity
    Cancelled,       // the user's own Cancel
    NotSigned,       // not the bytes the manifest signs (size or digest differ)
};

struct ImageLimits {
    int idleMs = 30000;
    int deadlineMs = 30 * 60 * 1000;
};

// An accepted image in a private temporary file. The file goes with this
// object unless it is moved elsewhere by keepAs() (a leftover until then).
class ProgramImage {
public:
    explicit ProgramImage(QString path);
    ~ProgramImage();
    ProgramImage(const ProgramImage&) = delete;
    ProgramImage& operator=(const ProgramImage&) = delete;

    QString path() const { return m_path; }
    // Moves the image to another name in the same private folder (the place
    // where the updater looks for it); a link at that name is replaced, not
    // followed.
    bool keepAs(const QString& path);

private:
    QString m_path;
};

struct FetchedImage {
    std::unique_ptr<ProgramImage> image;  // set when accepted
    ImageRefusal refusal = ImageRefusal::None;
};

// One image download at a time.
class ImageDownload : public QObject {
    Q_OBJECT
public:
    using Done = std::function<void(FetchedImage&& fetched)>;

    explicit ImageDownload(QObject* parent = nullptr);
    ~ImageDownload() override;

    // Fetches the image at the URL; `done` is called from the event loop
    // with what came of it.
    void start(const QString& url, const release::ReleaseImage& signedImage, const ImageLimits& limits, Done done);
    void cancel() { m_transfer.cancel(); }
    bool isBusy() const { return m_transfer.isBusy(); }
    // The partial file goes at once, and `done` is not called.
    void abandon();

private:
    void transferEnded(const Download& download);
    void closeFile();

    Transfer m_transfer;
    std::unique_ptr<ProgramImage> m_file;
    int m_fd = -1;
    bool m_stored = true;
    release::ReleaseImage m_expected;
    std::unique_ptr<release::Sha256> m_digest;
    Done m_done;
};

}  // namespace qpt::internet
