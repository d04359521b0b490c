// Cue sheets from anywhere (a user's file, a tag inside a FLAC file,
// garbage under the name): the text reader, the tracks it makes (spans in
// order, within the caps) and the FLAC metadata walk that finds a sheet
// inside a file. The input is read as a sheet and as a FLAC file.

#include "player/core/cue/cue_album.h"
#include "player/core/cue/cue_sheet.h"
#include "player/core/cue/flac_sheet.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstddef>
#include <cstdint>

using namespace qpt;
using namespace qpt::cue;

namespace {

void checkAlbum(const Album& album, qsizetype sheetTracks)
{
    QPT_FUZZ_CHECK(album.tracks.size() <= sheetTracks);
    int lastPlace = 0;
    for (const AlbumTrack& track : album.tracks) {
        QPT_FUZZ_CHECK(track.place > lastPlace && track.place <= sheetTracks);
        lastPlace = track.place;
        QPT_FUZZ_CHECK(!track.title.isEmpty());
        if (track.playable) {
            QPT_FUZZ_CHECK(track.from >= 0);
            QPT_FUZZ_CHECK(track.to < 0 || track.to > track.from);
            if (const auto ms = track.knownMilliseconds())
                QPT_FUZZ_CHECK(*ms >= 0);
        }
        QPT_FUZZ_CHECK(album.track(track.place) == &track);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    if (const std::optional<Sheet> sheet = parseSheet(bytes)) {
        QPT_FUZZ_CHECK(!sheet->tracks.isEmpty() && sheet->tracks.size() <= kMaxTracks);
        for (const SheetTrack& track : sheet->tracks) {
            QPT_FUZZ_CHECK(track.file >= 0 && track.file < sheet->files.size());
            QPT_FUZZ_CHECK(track.start >= -1 && track.pregap >= -1);
        }
        const FileLookup nothing{[](const NativePath&) { return false; },
                                 [](const NativePath&) { return QList<NativePath>(); }};
        checkAlbum(albumOfSheet(*sheet, "/m/a.cue", nothing), sheet->tracks.size());
    }
    const std::optional<FlacSheet> flac = readFlacSheet([&bytes](qint64 offset, qint64 length) {
        QPT_FUZZ_CHECK(offset >= 0 && length >= 0);
        return bytes.mid(qsizetype(offset), qsizetype(length));
    });
    if (flac) {
        QPT_FUZZ_CHECK(flac->tracks.size() <= kMaxTracks);
        for (const FlacSheetTrack& track : flac->tracks)
            QPT_FUZZ_CHECK(track.start >= -1);
    }
    return 0;
}
