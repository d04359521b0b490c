#include "player/playlist/song_line.h"

#include <QRegularExpression>

namespace qpt::songline {

QString extension(const QString& line)
{
    const int dot = line.lastIndexOf(QLatin1Char('.'));
    return (dot < 0 ? line : line.mid(dot + 1)).toUpper();
}

SongKind classify(const QString& line)
{
    static const QStringList music = {QStringLiteral("MP1"), QStringLiteral("MP2"), QStringLiteral("MP3"),
                                      QStringLiteral("WAV"), QStringLiteral("WMA"), QStringLiteral("MID"),
                                      QStringLiteral("VYX")};
    const QString ext = extension(line);
    if (music.contains(ext))
        return SongKind::Music;
    if (ext == QLatin1String("CDA"))
        return SongKind::CdTrack;
    return SongKind::Ignored;
}

QString title(const QString& line)
{
    const int slash = line.lastIndexOf(QLatin1Char('/'));
    const QString name = line.mid(slash + 1);
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

bool isMusicExtension(const QString& upperExtension)
{
    static const QStringList set = {QStringLiteral("CDA"), QStringLiteral("MID"), QStringLiteral("MP1"),
                                    QStringLiteral("MP2"), QStringLiteral("MP3"), QStringLiteral("WAV"),
                                    QStringLiteral("WMA")};
    return set.contains(upperExtension);
}

}  // namespace qpt::songline
