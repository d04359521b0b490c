#include "player/playlist/song_line.h"

#include "common/native_path.h"

namespace qpt::songline {

QByteArray extension(const QByteArray& line)
{
    const qsizetype dot = line.lastIndexOf('.');
    return (dot < 0 ? line : line.mid(dot + 1)).toUpper();
}

SongKind classify(const QByteArray& line)
{
    const QByteArray ext = extension(line);
    if (ext == "MP1" || ext == "MP2" || ext == "MP3" || ext == "WAV" || ext == "WMA" || ext == "MID"
        || ext == "VYX")
        return SongKind::Music;
    if (ext == "CDA")
        return SongKind::CdTrack;
    return SongKind::Ignored;
}

QString title(const QByteArray& line)
{
    const QString name = nativepath::displayText(nativepath::fileName(line));
    return name.left(qMax(0, int(name.size()) - 4));
}

int cdTrackNumber(const QString& title)
{
    // Read as an integer like a lenient numeric conversion: leading digits
    // count, anything else ends the number.
    const QString rest = title.mid(5).trimmed();
    int value = 0;
    for (const QChar c : rest) {
        if (!c.isDigit())
            break;
        value = value * 10 + c.digitValue();
        if (value > 99999)
            break;
    }
    return value;
}

bool isMusicExtension(const QByteArray& e)
{
    return e == "CDA" || e == "MID" || e == "MP1" || e == "MP2" || e == "MP3" || e == "WAV" || e == "WMA";
}

}  // namespace qpt::songline
