#pragma once
// The cue sheet inside a FLAC file: a CUESHEET metadata block (offsets in
// samples, no titles) or a CUESHEET tag in the Vorbis comment (a sheet's
// text, titles and all). Read through a function that returns the bytes at
// an offset, so that the metadata walk reads a few small pieces of the file
// however large its pictures are, and can be fed any bytes.

#include "player/core/cue/cue_sheet.h"

#include <QByteArray>
#include <QList>

#include <functional>
#include <optional>

namespace qpt::cue {

struct FlacSheetTrack {
    int number = 0;
    bool audio = true;
    qint64 start = -1;  // INDEX 01, in samples from the file's start; -1: none
};

struct FlacSheet {
    quint32 sampleRate = 0;  // STREAMINFO's rate; 0: not known
    // The sheet of a CUESHEET tag, when there is one (it has the titles).
    std::optional<Sheet> tagged;
    // The tracks of a CUESHEET block (the lead-out left out).
    QList<FlacSheetTrack> tracks;
    bool isEmpty() const { return !tagged && tracks.isEmpty(); }
};

// Up to `size` bytes at `offset`; fewer at the end of the file.
using ReadAt = std::function<QByteArray(qint64 offset, qint64 size)>;

// nullopt when the bytes are no FLAC stream; an empty sheet when the stream
// holds none.
std::optional<FlacSheet> readFlacSheet(const ReadAt& read);

}  // namespace qpt::cue
