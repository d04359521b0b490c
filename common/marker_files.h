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

    // Several users may run the programs from one writable folder, under
    // the same file names: a program acts only on the files its own user
    // owns, as if another user's were not there.
    //
    // Whether a file (not followed when a link) belongs to this user.
    static bool isOwn(const QString& path);
    // exists() for this user's file only.
    static bool existsOwn(const QString& path);
    // remove() that leaves another user's file alone.
    static void removeOwn(const QString& path);
    // Copies source over destination (replacing it). False when the source
    // is missing or the copy fails; the destination is then left as it was.
    static bool copyOver(const QString& source, const QString& destination);
    // Writes bytes to a file in a shared or fixed place, replacing what was
    // there; false when a symbolic link, a pipe or a device is at the name
    // (it is neither followed nor waited on).
    static bool writeNoFollow(const QString& path, const QByteArray& bytes);
    // createOrTruncate for markers in the application folder, without
    // following a link: a symbolic link (or a pipe, or any other file that
    // is not a regular file) at the name is replaced by the marker itself,
    // and the link's target is never opened. The file is created with the
    // usual permissions (0666 less the umask).
    static bool createNoFollow(const QString& path, const QString& line = QString());
    // The same with the file's whole content given as bytes.
    static bool replaceNoFollow(const QString& path, const QByteArray& bytes);
    // Creates an empty marker like createNoFollow unless a regular file
    // already holds the name: one stat while it stays there.
    static bool keepNoFollow(const QString& path);
};

}  // namespace qpt
