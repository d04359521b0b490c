#pragma once
// The text of a cue sheet, read into its files and tracks: no file is
// touched here, so the reader can be handed any bytes (a user's sheet, a
// tag inside a FLAC file, garbage under a .cue name) on any thread.
//
// Positions are kept as the sheet writes them, in CD frames of 1/75 s
// (MM:SS:FF), so that a track's length is exact arithmetic on them.

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace qpt::cue {

inline constexpr int kFramesPerSecond = 75;
// A sheet is a few kilobytes of text; a larger file under the name is not
// one, and is not read whole.
inline constexpr qsizetype kMaxSheetBytes = 1024 * 1024;
// More than a sheet can mean (a disc holds 99, a long rip a few hundred);
// tracks past it are left out.
inline constexpr int kMaxTracks = 999;

// How the audio of a FILE is stored. WAVE stands for any file the player
// decodes (the sheet's word predates FLAC); BINARY and MOTOROLA are raw CD
// audio, 16-bit stereo at 44.1 kHz, little and big endian.
enum class FileType { Decoded, RawLittleEndian, RawBigEndian };

struct SheetFile {
    QString name;  // as the sheet writes it
    FileType type = FileType::Decoded;
};

struct SheetTrack {
    int number = 0;  // the sheet's TRACK number
    int file = -1;   // index into Sheet::files
    bool audio = true;
    QString title;
    QString performer;
    qint64 pregap = -1;  // INDEX 00 in frames; -1: none
    qint64 start = -1;   // INDEX 01 in frames; -1: missing
};

struct Sheet {
    QString title;
    QString performer;
    QList<SheetFile> files;
    QList<SheetTrack> tracks;
};

// The sheet's bytes as text: a UTF-8 byte order mark is dropped, text
// that is valid UTF-8 is read as UTF-8, anything else as Latin-1 (sheets
// of older rippers).
QString decodeSheetText(const QByteArray& bytes);

// Reads the sheet's commands (CR LF or LF lines, REM and unknown commands
// passed over). nullopt when the bytes hold no track at all (not a sheet).
std::optional<Sheet> parseSheet(const QByteArray& bytes);

// "MM:SS:FF" in frames; nullopt when it is not that (seconds and frames
// out of range included).
std::optional<qint64> parseTime(QStringView text);

}  // namespace qpt::cue
