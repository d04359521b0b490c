#include "version_file.h"

#include "online_files.h"

#include "common/line_files.h"

#include <QStringList>

namespace qpt::internet {

namespace {

const QString kNotAvailable = QLatin1String(kNotPublished);

bool hasControlCharacters(const QString& text)
{
    for (const QChar c : text) {
        if ((c.category() == QChar::Other_Control && c != QLatin1Char('\t')) || c == QChar(QChar::ReplacementCharacter))
            return true;
    }
    return false;
}

// What is left of a line once its prefix is skipped; no value when the
// line is shorter than its prefix.
std::optional<QString> afterPrefix(const QString& line, int prefix)
{
    if (line.size() < prefix)
        return std::nullopt;
    return line.mid(prefix);
}

// Characters a caption does not show: controls, format characters
// (bidirectional overrides, joiners) and line and paragraph separators.
bool isHiddenInCaption(QChar c)
{
    switch (c.category()) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph: return true;
    default: return false;
    }
}

// The free text of the date line as a caption may show it: one short line
// of what shows.
QString captionText(const QString& text)
{
    QString shown;
    for (const QChar c : text) {
        if (!isHiddenInCaption(c))
            shown += c;
    }
    if (shown.size() > kMaxDateText) {
        shown.truncate(kMaxDateText - 1);
        // Never half of a surrogate pair at the cut.
        if (shown.back().isHighSurrogate())
            shown.chop(1);
        shown += QChar(0x2026);
    }
    return shown;
}

}  // namespace

bool isVersionText(const QString& text)
{
    if (text.size() < 2 || text.size() > 32 || text.at(0) != QLatin1Char('v') || text.at(1) < QLatin1Char('0')
        || text.at(1) > QLatin1Char('9'))
        return false;
    for (const QChar c : text.mid(2)) {
        const bool allowed = (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
                          || (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
                          || (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || c == QLatin1Char('.')
                          || c == QLatin1Char('-') || c == QLatin1Char('_') || c == QLatin1Char('+');
        if (!allowed)
            return false;
    }
    return true;
}

std::optional<VersionFile> parseVersionFile(const QByteArray& bytes)
{
    if (bytes.size() > kMaxVersionFileBytes || bytes.contains('\0'))
        return std::nullopt;
    // Bytes that are not text (an image, a compressed page) show up as
    // replacement characters and fail below.
    QStringList all;
    for (const QByteArray& line : linefiles::split(bytes))
        all << QString::fromUtf8(line);
    if (all.size() < 4)
        return std::nullopt;
    for (int i = 0; i < 4; ++i) {
        if (hasControlCharacters(all.at(i)))
            return std::nullopt;
    }

    const auto player = afterPrefix(all.at(0), 8);
    const auto option = afterPrefix(all.at(1), 8);
    const auto onlineSystem = afterPrefix(all.at(2), 4);
    if (!player || !option || !onlineSystem)
        return std::nullopt;
    if (!player->isEmpty() && !isVersionText(*player))
        return std::nullopt;
    if (!isVersionText(*option))
        return std::nullopt;
    if (*onlineSystem != kNotAvailable && !isVersionText(*onlineSystem))
        return std::nullopt;

    VersionFile file{*player, *option, *onlineSystem, kNotAvailable};
    if (*onlineSystem != kNotAvailable) {
        const auto date = afterPrefix(all.at(3), 7);
        if (!date)
            return std::nullopt;
        file.date = captionText(*date);
    }
    return file;
}

}  // namespace qpt::internet
