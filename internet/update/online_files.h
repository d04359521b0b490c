#pragma once
// File chores of the Online System and its updater: the folder of the
// start-message marker, the private place of a downloaded program image,
// the atomic replacement of an installed program.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace qpt::internet {

namespace release {
struct ReleaseImage;
}

// The fixed per-machine folder that holds "osplinfo.dll":
// /var/lib/quorbel-player-tirk where this user may write there, else the
// user's own data folder, unless QPT_SYSTEM_DIR names another one.
QString systemFolder();

// The private per-user folder for downloaded program images (created 0700
// when missing): "quorbel-player-tirk" in $XDG_RUNTIME_DIR, or else in the
// user's cache folder ($XDG_CACHE_HOME, ~/.cache), never at a name in a
// shared temporary folder that another user could take first. A place that
// exists but is a link, belongs to someone else or is open to others is
// not used. The updater finds it by the same rule.
struct PrivateFolder {
    QString path;     // empty when none can be had
    QString problem;  // then why, naming each place tried
};
PrivateFolder findPrivateFolder();
// findPrivateFolder().path
QString privateTempFolder();

// A program of the installation: its file in the folder.
QString programPath(const QString& folder, const char* program);

// A downloaded Online System kept in the private folder for the updater:
// the image ("osdata.tmp"), the signed manifest and signature that vouch for
// it, and the version of the Online System that downloaded it (the image
// must be newer than that one).
struct KeptUpdate {
    QString image;
    QString manifest;
    QString signature;
    QString replaces;

    // Removes all four (none is a link that is followed).
    void remove() const;
};
// Where the kept update lies (one look at the private folder); none when
// there is no safe folder.
std::optional<KeptUpdate> keptUpdate();

// A small regular file read whole, without following a link at its name;
// none when it is missing, not a regular file or larger than the limit.
std::optional<QByteArray> readSmallFile(const QString& path, qint64 limit);

// A new program copied beside the one it is to replace, under a hidden
// temporary name in the same folder, ready to take its place in one rename.
// Preparing it first means that a folder that cannot be written, a full disk
// or a missing source is found out while the old program still runs.
//
// When the signed entry of the image is given, the copy must have exactly
// its size and SHA-256: what is put in place is what was verified, byte for
// byte, whatever happened to the source after its download was checked.
//
// The copy gets the read, write and execute bits of the file it replaces
// (so an executable stays executable; a program that lost its execute bits
// gets them back for whoever may read it; set-user-ID and the like are
// never carried over), or rwxr-xr-x when there was none. The source is
// opened without following links; an empty source is refused. The copy is
// removed again unless it was committed (and is noted as a leftover until
// then).
class StagedProgram {
public:
    StagedProgram(const QString& target, const QString& source, const release::ReleaseImage* expected = nullptr);
    ~StagedProgram();
    StagedProgram(const StagedProgram&) = delete;
    StagedProgram& operator=(const StagedProgram&) = delete;

    bool isReady() const { return !m_staged.isEmpty(); }
    // Puts the copy in the target's place. False (and the target as it
    // was) on failure.
    bool commit();

private:
    QString m_target;
    QString m_staged;  // empty when not ready or committed
};

// Whether a program of `size` bytes can be put beside `target` now: a
// hidden file of that size is made in its folder (its space reserved, not
// copied) and removed at once. A folder that cannot be written or a disk
// without the room is found out before anything else is done.
bool hasRoomFor(const QString& target, qint64 size);

// Replaces the file with the bytes in one rename: a new file is written
// beside it and flushed first, so that the old one stays whole until the
// new one is; a link at the name is replaced, not followed. False (and the
// old file as it was) when anything fails.
bool replaceFileAtomically(const QString& path, const QByteArray& bytes);

// Writes all the bytes to the file descriptor, going on after an
// interrupted write. False when the file takes no more.
bool writeFully(int fd, const char* data, qint64 size);

}  // namespace qpt::internet
