#pragma once
// Reading and writing the player's line files (batch files, playlists, the
// autosave file): 8-bit text, one entry per line. Writers end every line
// with CR LF; readers split at CR LF, a lone CR or a lone LF.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

namespace qpt {

// Reads a file line by line as it grows: lines appended while it is open
// are read too.
class LineReader {
public:
    explicit LineReader(const QString& path) : m_file(path) {}
    // Throws RuntimeFailure when the file cannot be opened.
    void open();
    bool isOpen() const { return m_file.isOpen(); }
    // False at the end of the file.
    bool next(QString& line);
    void close() { m_file.close(); }

private:
    QFile m_file;
    QStringList m_pending;  // lines split off a lone CR, not yet returned
    bool m_lastEndedInCr = false;
};

namespace textlines {
// All lines of a file (splitting as above). Throws RuntimeFailure when the
// file cannot be read.
QStringList readAll(const QString& path);
// Lines as the bytes would read (for tests and in-memory texts).
QStringList split(const QByteArray& bytes);
// Appends lines, each with CR LF. Throws RuntimeFailure on failure.
void append(const QString& path, const QStringList& lines);
// Appends raw line texts taken from another file: the lines as read, each
// followed by CR LF.
inline QByteArray encodeLine(const QString& line) { return line.toLocal8Bit() + "\r\n"; }
inline QString decodeLine(const QByteArray& bytes) { return QString::fromLocal8Bit(bytes); }
}  // namespace textlines

}  // namespace qpt
