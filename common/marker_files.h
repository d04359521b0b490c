#pragma once
// Marker and small text files through which the programs signal each other.

#include <QByteArray>
#include <QString>

namespace qpt {

class MarkerFiles {
public:
    // Creates the file or truncates it to empty; with a line, writes that
    // line followed by CR LF. False when the file cannot be written.
    static bool createOrTruncate(const QString& path, const QString& line = QString());
    // Existence by exact name.
    static bool exists(const QString& path);
    // Deleting a file that is not there is not an error.
    static void remove(const QString& path);
    // Copies source over destination (replacing it). False when the source
    // is missing or the copy fails; the destination is then left as it was.
    static bool copyOver(const QString& source, const QString& destination);
    // Writes bytes to a file in a shared or fixed place without following a
    // symbolic link planted at that name, replacing what was there.
    static bool writeNoFollow(const QString& path, const QByteArray& bytes);
};

}  // namespace qpt
