#include "player/core/length/song_length.h"

#include <limits>

namespace qpt {

std::optional<SongLength> SongLength::fromMilliseconds(qint64 ms)
{
    if (ms < 0 || ms > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return SongLength(Kind::Measured, qint32(ms));
}

std::optional<qint32> SongLength::milliseconds() const
{
    return m_kind == Kind::Measured ? std::optional(m_value) : std::nullopt;
}

QString SongLength::text() const
{
    switch (m_kind) {
    case Kind::Pending:
    case Kind::Blank:
        return QString();
    case Kind::Measured:
        return *formatMilliseconds(m_value);
    case Kind::CdTrack:
        return QString::number(m_value / 60) + QLatin1Char(':')
             + QStringLiteral("%1").arg(m_value % 60, 2, 10, QLatin1Char('0'));
    case Kind::NotAvailable:
        return QStringLiteral("N/A");
    case Kind::Unknown:
        return QStringLiteral("-:--");
    }
    return QString();
}

std::optional<QString> SongLength::formatMilliseconds(qint64 milliseconds)
{
    if (milliseconds < 0 || milliseconds > std::numeric_limits<qint32>::max())
        return std::nullopt;
    qint64 s = milliseconds / 1000;
    const qint64 rest = milliseconds % 1000;
    if (rest > 500 || (rest == 500 && (s & 1)))
        ++s;  // to the nearest second, halves to even
    const qint64 h = s / 3600;
    const qint64 m = (s % 3600) / 60;
    const qint64 sec = s % 60;
    QString text;
    if (h >= 1)
        text = QString::number(h) + QLatin1Char(':');
    text += QString::number(m) + QLatin1Char(':') + QStringLiteral("%1").arg(sec, 2, 10, QLatin1Char('0'));
    return text;
}

}  // namespace qpt
