#include "player/playlist/text_lines.h"

#include "common/failures.h"

namespace qpt {

void LineReader::open()
{
    if (!m_file.open(QIODevice::ReadOnly))
        throw RuntimeFailure("file cannot be opened");
}

bool LineReader::next(QString& line)
{
    if (!m_pending.isEmpty()) {
        line = m_pending.takeFirst();
        return true;
    }
    for (;;) {
        QByteArray raw = m_file.readLine();
        if (raw.isEmpty())
            return false;
        bool endsInLf = raw.endsWith('\n');
        if (endsInLf)
            raw.chop(1);
        // An LF right after a CR that ended the previous piece belongs to it.
        if (m_lastEndedInCr && raw.isEmpty() && endsInLf) {
            m_lastEndedInCr = false;
            continue;
        }
        m_lastEndedInCr = false;
        if (raw.endsWith('\r') && endsInLf)
            raw.chop(1);
        QList<QByteArray> pieces = raw.split('\r');
        if (!endsInLf && raw.endsWith('\r')) {
            // "text\r" at the current end: a lone CR; an LF may follow later.
            pieces.removeLast();
            m_lastEndedInCr = true;
        }
        for (const QByteArray& piece : pieces)
            m_pending << textlines::decodeLine(piece);
        if (m_pending.isEmpty())
            continue;
        line = m_pending.takeFirst();
        return true;
    }
}

namespace textlines {

QStringList split(const QByteArray& bytes)
{
    QStringList lines;
    int start = 0;
    const int n = int(bytes.size());
    for (int i = 0; i < n; ++i) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            lines << decodeLine(bytes.mid(start, i - start));
            if (c == '\r' && i + 1 < n && bytes[i + 1] == '\n')
                ++i;
            start = i + 1;
        }
    }
    if (start < n)
        lines << decodeLine(bytes.mid(start));
    return lines;
}

QStringList readAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw RuntimeFailure("file cannot be opened");
    return split(file.readAll());
}

void append(const QString& path, const QStringList& lines)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        throw RuntimeFailure("file cannot be written");
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += encodeLine(line);
    if (file.write(bytes) != bytes.size())
        throw RuntimeFailure("file cannot be written");
}

}  // namespace textlines
}  // namespace qpt
