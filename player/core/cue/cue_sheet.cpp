#include "player/core/cue/cue_sheet.h"

#include <QStringConverter>

namespace qpt::cue {

namespace {

// The words of a command line: spaces and tabs separate, a double quote
// holds spaces in (an unclosed quote runs to the end of the line).
QList<QString> wordsOf(QStringView line)
{
    QList<QString> words;
    qsizetype i = 0;
    const qsizetype n = line.size();
    while (i < n) {
        while (i < n && (line[i] == QLatin1Char(' ') || line[i] == QLatin1Char('\t')))
            ++i;
        if (i >= n)
            break;
        QString word;
        if (line[i] == QLatin1Char('"')) {
            ++i;
            while (i < n && line[i] != QLatin1Char('"'))
                word += line[i++];
            ++i;
        } else {
            while (i < n && line[i] != QLatin1Char(' ') && line[i] != QLatin1Char('\t'))
                word += line[i++];
        }
        words << word;
    }
    return words;
}

FileType fileTypeOf(const QString& word)
{
    if (word.compare(QLatin1String("BINARY"), Qt::CaseInsensitive) == 0)
        return FileType::RawLittleEndian;
    if (word.compare(QLatin1String("MOTOROLA"), Qt::CaseInsensitive) == 0)
        return FileType::RawBigEndian;
    return FileType::Decoded;  // WAVE, MP3, AIFF, FLAC, or nothing said
}

bool isWord(const QString& word, const char* command)
{
    return word.compare(QLatin1String(command), Qt::CaseInsensitive) == 0;
}

}  // namespace

QString decodeSheetText(const QByteArray& bytes)
{
    QByteArrayView view(bytes);
    if (view.startsWith("\xEF\xBB\xBF"))
        view = view.sliced(3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(view);
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(view.data(), view.size());
}

std::optional<qint64> parseTime(QStringView text)
{
    const QList<QStringView> parts = text.split(QLatin1Char(':'));
    if (parts.size() != 3)
        return std::nullopt;
    qint64 values[3] = {};
    for (int i = 0; i < 3; ++i) {
        if (parts[i].isEmpty() || parts[i].size() > 6)
            return std::nullopt;
        for (QChar c : parts[i]) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return std::nullopt;
        }
        values[i] = parts[i].toLongLong();
    }
    if (values[1] >= 60 || values[2] >= kFramesPerSecond)
        return std::nullopt;
    return (values[0] * 60 + values[1]) * kFramesPerSecond + values[2];
}

std::optional<Sheet> parseSheet(const QByteArray& bytes)
{
    if (bytes.size() > kMaxSheetBytes)
        return std::nullopt;
    const QString text = decodeSheetText(bytes);
    Sheet sheet;
    SheetTrack* track = nullptr;
    for (QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const QList<QString> words = wordsOf(line);
        if (words.isEmpty())
            continue;
        const QString& command = words[0];
        if (isWord(command, "FILE") && words.size() >= 2) {
            sheet.files << SheetFile{words[1], fileTypeOf(words.value(2))};
            track = nullptr;
        } else if (isWord(command, "TRACK") && words.size() >= 2) {
            if (sheet.files.isEmpty() || sheet.tracks.size() >= kMaxTracks) {
                track = nullptr;
                continue;
            }
            SheetTrack next;
            next.number = words[1].toInt();
            next.file = int(sheet.files.size()) - 1;
            next.audio = words.size() < 3 || isWord(words[2], "AUDIO");
            sheet.tracks << next;
            track = &sheet.tracks.last();
        } else if (isWord(command, "INDEX") && words.size() >= 3 && track) {
            bool numberOk = false;
            const int number = words[1].toInt(&numberOk);
            const std::optional<qint64> at = parseTime(words[2]);
            if (!numberOk || !at)
                continue;
            // The first of each wins: a sheet that says it twice is not
            // made to jump.
            if (number == 0 && track->pregap < 0)
                track->pregap = *at;
            else if (number == 1 && track->start < 0)
                track->start = *at;
        } else if (isWord(command, "TITLE") && words.size() >= 2) {
            (track ? track->title : sheet.title) = words[1];
        } else if (isWord(command, "PERFORMER") && words.size() >= 2) {
            (track ? track->performer : sheet.performer) = words[1];
        }
    }
    if (sheet.tracks.isEmpty())
        return std::nullopt;
    return sheet;
}

}  // namespace qpt::cue
