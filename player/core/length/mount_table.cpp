#include "player/core/length/mount_table.h"

#include <QFile>
#include <QList>

#include <chrono>
#include <mutex>

namespace qpt::length {

namespace {

QByteArray unescaped(const QByteArray& field)
{
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const auto isOctal = [&](qsizetype at) { return at < field.size() && field[at] >= '0' && field[at] <= '7'; };
        if (field[i] == '\\' && isOctal(i + 1) && isOctal(i + 2) && isOctal(i + 3)) {
            out += char(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) | (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

}  // namespace

QList<QByteArray> mountPointsIn(const QByteArray& mountinfo)
{
    QList<QByteArray> points;
    for (const QByteArray& line : mountinfo.split('\n')) {
        // "36 35 98:0 /root /mount/point options ... - type source options"
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() > 4 && fields[4].startsWith('/'))
            points << unescaped(fields[4]);
    }
    return points;
}

QByteArray longestHolding(const QList<QByteArray>& mountPoints, const QByteArray& path)
{
    QByteArray best;
    for (const QByteArray& point : mountPoints) {
        const bool holds = point == "/" || path == point || (path.startsWith(point) && path[point.size()] == '/');
        if (holds && point.size() > best.size())
            best = point;
    }
    return best;
}

QByteArray mountPointOf(const QByteArray& path)
{
    if (!path.startsWith('/'))
        return {};
    using Clock = std::chrono::steady_clock;
    static std::mutex lock;
    static QList<QByteArray> points;
    static Clock::time_point readAt;
    QList<QByteArray> current;
    {
        const std::lock_guard guard(lock);
        if (points.isEmpty() || Clock::now() - readAt > std::chrono::seconds(1)) {
            QFile table(QStringLiteral("/proc/self/mountinfo"));
            if (table.open(QIODevice::ReadOnly))
                points = mountPointsIn(table.readAll());
            readAt = Clock::now();
        }
        current = points;
    }
    return longestHolding(current, path);
}

}  // namespace qpt::length
