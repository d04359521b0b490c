// Batch files, playlists and the autosave file: one path per line, split at
// CR LF, lone CR or lone LF. The reader reads a regular file by path in
// 64 KiB reads and skips lines longer than any path; each line is then
// classified as a song, a CD track, an audio-CD address or nothing and
// given its title.
//
// The bytes are read as they are, and (chosen by the first byte) behind a
// long first line that puts them across the reader's first read boundary (a
// CR LF can be cut there), so that short inputs reach the code that joins
// two reads.

#include "common/cd_address.h"
#include "common/line_files.h"
#include "common/native_path.h"
#include "common/music_files.h"
#include "player/core/song_title.h"
#include "tests/fuzz/fuzz_support.h"

#include <QList>

#include <cstddef>
#include <cstdint>

using namespace qpt;

namespace {

// The reader's read size (line_files.cpp).
constexpr qsizetype kReadSize = 64 * 1024;

QList<QByteArray> nonEmpty(const QList<QByteArray>& lines)
{
    QList<QByteArray> out;
    for (const QByteArray& line : lines) {
        if (!line.isEmpty())
            out << line;
    }
    return out;
}

void checkSongLine(const QByteArray& line)
{
    const QByteArray ext = music::extensionOf(line);
    QPT_FUZZ_CHECK(ext.size() <= line.size());
    QPT_FUZZ_CHECK(line.endsWith(ext));
    const music::Kind kind = music::kindOf(line);
    if (const auto cd = cd::parse(line)) {
        // An audio-CD address, whatever it ends in; the line a row keeps
        // for it reads back as the same track.
        QPT_FUZZ_CHECK(kind == music::Kind::CdAudio);
        QPT_FUZZ_CHECK(cd->track >= 0 && cd->track <= 99);
        const QByteArray kept = cd->isWholeDisc() ? cd::discLine(cd->device) : cd::trackLine(cd->device, cd->track);
        const auto again = cd::parse(kept);
        QPT_FUZZ_CHECK(again && *again == *cd);
        return;
    }
    QPT_FUZZ_CHECK((kind == music::Kind::CdTrack) == (ext.toLower() == "cda"));
    QPT_FUZZ_CHECK((kind == music::Kind::Playlist) == (ext.toLower() == "vyx"));
    if (kind == music::Kind::Song)
        QPT_FUZZ_CHECK(music::songExtensions().contains(ext.toLower()));

    const QString title = songTitle(line);
    QPT_FUZZ_CHECK(title.size() <= nativepath::displayText(nativepath::fileName(line)).size());
    QPT_FUZZ_CHECK(!title.contains(QLatin1Char('/')));
}

// Reads the file line by line, noting where each line starts.
QList<QByteArray> readLines(const NativePath& path, qint64 offset, QList<qint64>* starts, qint64* endOffset)
{
    LineReader reader;
    QPT_FUZZ_CHECK(reader.open(path, offset));
    QList<QByteArray> lines;
    QByteArray line;
    for (;;) {
        const qint64 start = reader.offsetOfNextLine();
        QPT_FUZZ_CHECK(start >= offset && start <= reader.size());
        if (!reader.next(line))
            break;
        if (starts)
            *starts << start;
        lines << line;
    }
    QPT_FUZZ_CHECK(!reader.failed());
    if (endOffset)
        *endOffset = reader.offsetOfNextLine();
    return lines;
}

// The lines of the file must be `expected`, and end where the bytes do.
QList<QByteArray> checkLines(const NativePath& path, const QList<QByteArray>& expected, qsizetype size,
                             QList<qint64>& starts, qint64& endOffset)
{
    const QList<QByteArray> lines = readLines(path, 0, &starts, &endOffset);
    QPT_FUZZ_CHECK(lines == expected);
    QPT_FUZZ_CHECK(endOffset == size);
    for (qsizetype i = 1; i < starts.size(); ++i)
        QPT_FUZZ_CHECK(starts[i] > starts[i - 1]);
    return lines;
}

QList<QByteArray> expectedLines(const QByteArray& bytes)
{
    const QList<QByteArray> split = linefiles::split(bytes);
    QList<QByteArray> expected;
    for (const QByteArray& line : split) {
        QPT_FUZZ_CHECK(!line.contains('\r') && !line.contains('\n'));
        if (line.size() <= linefiles::kMaxLineBytes)
            expected << line;
    }
    return expected;
}

// Every way the programs read a line file, on the same bytes.
void checkFile(const QByteArray& bytes)
{
    qpt::fuzz::ScratchFile& file = qpt::fuzz::scratch();
    file.write(bytes);
    const NativePath& path = file.path();

    // What the reader must give: the lines of the splitter that can be paths.
    const QList<QByteArray> expected = expectedLines(bytes);
    QList<qint64> starts;
    qint64 endOffset = 0;
    const QList<QByteArray> lines = checkLines(path, expected, bytes.size(), starts, endOffset);
    // Written back with CR LF, the lines read the same.
    const QList<QByteArray> split = linefiles::split(bytes);
    QPT_FUZZ_CHECK(linefiles::split(linefiles::encode(split)) == split);

    const auto all = linefiles::readAll(path);
    QPT_FUZZ_CHECK(all && *all == expected);
    if (!bytes.isEmpty())
        QPT_FUZZ_CHECK(!linefiles::readAll(path, bytes.size() - 1));

    // A batch file resumes where its first unread line starts. Reopened
    // right behind a CR, the LF of its CR LF reads as an empty line, which
    // the loader passes over like every empty line.
    for (const qsizetype k : {starts.size() / 2, qsizetype(bytes.size()) % (starts.size() + 1)}) {
        const qint64 offset = k < starts.size() ? starts[k] : endOffset;
        QPT_FUZZ_CHECK(nonEmpty(readLines(path, offset, nullptr, nullptr)) == nonEmpty(lines.mid(k)));
    }

    // A playlist: relative paths resolved against its folder.
    QList<QByteArray> playlist;
    QPT_FUZZ_CHECK(linefiles::readPlaylist(path, playlist) == linefiles::PlaylistRead::Ok);
    QPT_FUZZ_CHECK(playlist.size() == expected.size());
    for (qsizetype i = 0; i < playlist.size(); ++i) {
        QPT_FUZZ_CHECK(playlist[i].isEmpty() == expected[i].isEmpty());
        if (nativepath::isAbsoluteOrUri(expected[i]))
            QPT_FUZZ_CHECK(playlist[i] == expected[i]);
        else if (!expected[i].isEmpty())
            QPT_FUZZ_CHECK(playlist[i].startsWith('/'));
    }

    for (const QByteArray& line : lines)
        checkSongLine(line);
}

// `rest` behind a line too long to be a path that ends in `lineEnd` and
// puts `rest` `before` bytes before the reader's first read boundary: only
// the reading itself (every byte of the long line is looked at, which is
// slow).
void checkShifted(const QByteArray& rest, qsizetype before, char lineEnd)
{
    QByteArray bytes;
    bytes.reserve(kReadSize + rest.size());
    bytes.fill('x', kReadSize - before - 1);
    bytes += lineEnd;
    bytes += rest;
    qpt::fuzz::ScratchFile& file = qpt::fuzz::scratch();
    file.write(bytes);
    // The long line is skipped; an LF right behind its CR ends it too.
    const bool crLf = lineEnd == '\r' && rest.startsWith('\n');
    const QList<QByteArray> expected = expectedLines(crLf ? rest.mid(1) : rest);
    QList<qint64> starts;
    qint64 endOffset = 0;
    checkLines(file.path(), expected, bytes.size(), starts, endOffset);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    checkFile(bytes);

    // A first byte with its top bit set places the rest across the first
    // read boundary (for half the inputs: it is the slow part).
    if (size > 0 && (data[0] & 0x80))
        checkShifted(bytes.mid(1), data[0] & 0x3F, (data[0] & 0x40) ? '\r' : '\n');
    return 0;
}
