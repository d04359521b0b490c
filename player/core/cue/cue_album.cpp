#include "player/core/cue/cue_album.h"

#include "common/cue_track_lines.h"
#include "common/music_files.h"
#include "player/core/cue/flac_sheet.h"
#include "player/core/song_title.h"

#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

namespace qpt::cue {

std::optional<qint64> AlbumTrack::knownMilliseconds() const
{
    if (to < 0 || perSecond <= 0)
        return std::nullopt;
    return ((to - from) * 1000 + perSecond / 2) / perSecond;
}

qint64 AlbumTrack::fromMilliseconds() const
{
    return perSecond > 0 ? (from * 1000 + perSecond / 2) / perSecond : 0;
}

const AlbumTrack* Album::track(int place) const
{
    for (const AlbumTrack& track : tracks) {
        if (track.place == place)
            return &track;
    }
    return nullptr;
}

FileLookup FileLookup::disk()
{
    return {[](const NativePath& path) { return nativepath::isRegularFile(path); },
            [](const NativePath& folder) { return nativepath::listFolder(folder); }};
}

namespace {

NativePath baseOf(const NativePath& name)
{
    const qsizetype dot = name.lastIndexOf('.');
    return dot <= 0 ? name : name.left(dot);
}

QString titleOf(const SheetTrack& track, const Sheet& sheet, const NativePath& sheetPath)
{
    if (!track.title.trimmed().isEmpty()) {
        const QString performer = track.performer.trimmed();
        if (!performer.isEmpty() && performer != sheet.performer.trimmed())
            return performer + QStringLiteral(" - ") + track.title.trimmed();
        return track.title.trimmed();
    }
    return songTitle(sheetPath) + QStringLiteral(" %1").arg(track.number, 2, 10, QLatin1Char('0'));
}

}  // namespace

NativePath findAudioFile(const QString& named, const NativePath& sheetPath, const FileLookup& files, bool* found)
{
    QString name = named;
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const NativePath folder = nativepath::folder(sheetPath);
    // "C:/Rips/Album.wav" written on another machine: the name alone.
    if (name.size() > 2 && name.at(1) == QLatin1Char(':'))
        name = name.mid(name.lastIndexOf(QLatin1Char('/')) + 1);
    QList<NativePath> candidates;
    for (const NativePath& bytes : {QFile::encodeName(name), name.toLatin1()}) {
        if (bytes.isEmpty())
            continue;
        candidates << (bytes.startsWith('/') ? bytes : folder + '/' + bytes);
        if (bytes.startsWith('/'))
            candidates << folder + '/' + nativepath::fileName(bytes);
    }
    for (const NativePath& candidate : std::as_const(candidates)) {
        if (files.isFile(candidate)) {
            *found = true;
            return candidate;
        }
    }
    *found = false;
    if (candidates.isEmpty())
        return folder + '/';
    // Re-encoded: the same base name, another song extension.
    const NativePath wanted = candidates.first();
    const NativePath where = nativepath::folder(wanted);
    const NativePath base = baseOf(nativepath::fileName(wanted));
    NativePath caseless;
    for (const NativePath& other : files.namesIn(where)) {
        if (music::kindOfExtension(music::extensionOf(other)) != music::Kind::Song || !other.contains('.'))
            continue;
        const NativePath otherBase = baseOf(other);
        if (otherBase == base && files.isFile(where + '/' + other)) {
            *found = true;
            return where + '/' + other;
        }
        if (caseless.isEmpty() && otherBase.toLower() == base.toLower())
            caseless = other;
    }
    if (!caseless.isEmpty() && files.isFile(where + '/' + caseless)) {
        *found = true;
        return where + '/' + caseless;
    }
    return wanted;
}

Album albumOfSheet(const Sheet& sheet, const NativePath& sheetPath, const FileLookup& files)
{
    QList<NativePath> paths;
    QList<bool> found;
    for (const SheetFile& file : sheet.files) {
        bool ok = false;
        paths << findAudioFile(file.name, sheetPath, files, &ok);
        found << ok;
    }
    Album album;
    for (qsizetype i = 0; i < sheet.tracks.size(); ++i) {
        const SheetTrack& sheetTrack = sheet.tracks[i];
        if (!sheetTrack.audio)
            continue;
        AlbumTrack track;
        track.place = int(i) + 1;
        track.number = sheetTrack.number;
        track.title = titleOf(sheetTrack, sheet, sheetPath);
        track.file = paths.value(sheetTrack.file);
        track.fileFound = found.value(sheetTrack.file);
        track.type = sheet.files.value(sheetTrack.file).type;
        track.from = sheetTrack.start;
        track.playable = sheetTrack.start >= 0;
        // Up to the next track's start in the same file.
        for (qsizetype j = i + 1; j < sheet.tracks.size(); ++j) {
            const SheetTrack& next = sheet.tracks[j];
            if (next.file != sheetTrack.file)
                break;
            if (next.start < 0)
                continue;
            track.to = next.start;
            track.playable = track.playable && next.start > sheetTrack.start;
            break;
        }
        album.tracks << track;
    }
    return album;
}

namespace {

std::optional<QByteArray> readSmallFile(const NativePath& path, qint64 limit)
{
    struct stat st {};
    const int fd = nativepath::openRegularFile(path, st);
    if (fd < 0)
        return std::nullopt;
    std::optional<QByteArray> bytes;
    if (st.st_size <= limit) {
        QByteArray data(qsizetype(st.st_size), Qt::Uninitialized);
        qint64 done = 0;
        while (done < st.st_size) {
            const ssize_t got = ::pread(fd, data.data() + done, size_t(st.st_size - done), done);
            if (got <= 0)
                break;
            done += got;
        }
        data.truncate(qsizetype(done));
        bytes = data;
    }
    ::close(fd);
    return bytes;
}

std::optional<Album> readFlacAlbum(const NativePath& path)
{
    struct stat st {};
    const int fd = nativepath::openRegularFile(path, st);
    if (fd < 0)
        return std::nullopt;
    const ReadAt read = [fd](qint64 offset, qint64 size) {
        QByteArray data;
        if (offset < 0 || size <= 0 || size > 16 * 1024 * 1024)
            return data;
        data.resize(qsizetype(size));
        const ssize_t got = ::pread(fd, data.data(), size_t(size), offset);
        data.resize(got > 0 ? qsizetype(got) : 0);
        return data;
    };
    const std::optional<FlacSheet> sheet = readFlacSheet(read);
    ::close(fd);
    if (!sheet || sheet->isEmpty())
        return std::nullopt;
    Album album;
    if (sheet->tagged) {
        // The sheet's FILE lines name what the tag is in: this file.
        album = albumOfSheet(*sheet->tagged, path, FileLookup{[](const NativePath&) { return true; },
                                                              [](const NativePath&) { return QList<NativePath>(); }});
        for (qsizetype i = 0; i < album.tracks.size(); ++i) {
            AlbumTrack& track = album.tracks[i];
            track.file = path;
            track.fileFound = true;
            track.type = FileType::Decoded;
            // Several FILE lines in one file: the track ends at the next start.
            if (track.to < 0 && i + 1 < album.tracks.size() && album.tracks[i + 1].from > track.from)
                track.to = album.tracks[i + 1].from;
        }
        return album;
    }
    for (qsizetype i = 0; i < sheet->tracks.size(); ++i) {
        const FlacSheetTrack& block = sheet->tracks[i];
        if (!block.audio)
            continue;
        AlbumTrack track;
        track.place = int(i) + 1;
        track.number = block.number;
        track.title = songTitle(path) + QStringLiteral(" %1").arg(block.number, 2, 10, QLatin1Char('0'));
        track.file = path;
        track.fileFound = true;
        track.perSecond = int(sheet->sampleRate);
        track.from = block.start;
        track.playable = block.start >= 0 && sheet->sampleRate > 0;
        for (qsizetype j = i + 1; j < sheet->tracks.size(); ++j) {
            if (sheet->tracks[j].start < 0)
                continue;
            track.to = sheet->tracks[j].start;
            track.playable = track.playable && track.to > track.from;
            break;
        }
        album.tracks << track;
    }
    return album;
}

}  // namespace

std::optional<Album> readAlbum(const NativePath& path)
{
    if (!cuelines::isSheetPath(path))
        return readFlacAlbum(path);
    const std::optional<QByteArray> bytes = readSmallFile(path, kMaxSheetBytes);
    if (!bytes)
        return std::nullopt;
    const std::optional<Sheet> sheet = parseSheet(*bytes);
    if (!sheet)
        return std::nullopt;
    return albumOfSheet(*sheet, path, FileLookup::disk());
}

}  // namespace qpt::cue
