#pragma once
// A new program image fetched from the update host and checked before
// anything installed is touched.
//
// The image goes straight into a private temporary file (never into
// memory as a whole) and is accepted only when
//   - the response was 2xx and arrived whole: its length was announced and
//     every byte came, or its chunked body ended and the host publishes
//     the image's digest (the end of a chunked body alone cannot be
//     trusted, see Download::chunkedClaimsWhole());
//   - it is no larger than the limit;
//   - it starts like a program of this platform (an ELF header, or "#!");
//   - where the host publishes "<image>.sha256" beside it, it matches that
//     digest.
// A refused image leaves nothing behind.

#include "download.h"

#include <QString>

#include <memory>
#include <optional>

namespace qpt::internet {

enum class ImageRefusal {
    None,
    NoPrivatePlace,       // no private folder to receive it
    NotDownloaded,        // no connection, an error status, cancelled, too slow
    NotWhole,             // cut short, or its end cannot be told from a cut
    TooLarge,
    NotAProgram,          // an HTML page, an empty body, anything else
    ChecksumMismatch,
    ChecksumUnreadable,   // a published digest that cannot be read
};

struct ImageLimits {
    qint64 maxBytes = 256LL * 1024 * 1024;
    int idleMs = 30000;
};

// An accepted image in a private temporary file. The file goes with this
// object unless it is moved elsewhere by keepAs().
class ProgramImage {
public:
    explicit ProgramImage(QString path) : m_path(std::move(path)) {}
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

// Fetches the image at the URL (and its digest at URL + ".sha256").
FetchedImage fetchProgramImage(Downloader& downloader, const QString& url, const ImageLimits& limits);

// An ELF header or "#!".
bool startsLikeProgram(const QByteArray& head);

// The digest of a "<image>.sha256" file as "sha256sum" writes it: 64 hex
// digits first, then optionally blanks and a file name. Lower case; empty
// when the text is not such a file.
QByteArray digestOfChecksumFile(const QByteArray& text);

}  // namespace qpt::internet
