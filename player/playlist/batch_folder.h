#pragma once
// The batch files ("*.sng") of the application folder as the batch loader
// reads them: listed in load order, read in chunks of rows with their
// titles, deleted once their rows are in the playlist, set aside as
// "<name>.bad" when they cannot be read, and counted and deleted where the
// 30000-song cap leaves no room for them.
//
// Everything here opens, lists, renames or deletes files, so it lives on
// the playlist-files worker: one object, used by that worker's jobs only
// (never by two threads), which hand the window thread finished rows.

#include "common/native_path.h"
#include "player/playlist/album_rows.h"
#include "player/core/playlist_model.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>

namespace qpt {

class LineReader;

class BatchFolder {
public:
    // Rows in one chunk: the window thread adds a chunk in one turn.
    static constexpr int kRowsPerChunk = 1000;

    BatchFolder();
    ~BatchFolder();
    BatchFolder(const BatchFolder&) = delete;
    BatchFolder& operator=(const BatchFolder&) = delete;

    // The saved playlist of the last run becomes the first batch file (the
    // songs of an older one that did not fit move aside and follow it);
    // where the folder cannot be written it is read where it is. A copy
    // that a run before left unread is replaced, not loaded a second time.
    void queueSavedPlaylist(const QString& folder);

    // What an exit keeps beside the playlist: the songs of the batch files
    // not yet taken up, in load order, and the files they came from (to be
    // deleted once the list that holds them is on disk). Only between
    // pick-ups.
    struct Pending {
        QList<NativePath> lines;
        QList<NativePath> files;
    };
    Pending pending(const QString& folder);

    // Lists what a pick-up reads; the number of files (0: nothing to do).
    // Unless `surely` (a file is known to have come), a folder unchanged
    // since it was last found empty is not listed again.
    int begin(const QString& folder, bool surely);

    struct Chunk {
        QList<PlaylistModel::NewEntry> rows;
        // Files that could not be read (shown names), set aside.
        QStringList unreadable;
        // Songs that found no room under the cap; their files are deleted.
        qint64 notAdded = 0;
        // Drives named by CD lines that hold no audio CD (each once a
        // pick-up): their tracks' rows cannot play.
        QStringList noAudioCd;
        enum class End {
            More,        // ask again
            CapReached,  // no room for the rest: counted in notAdded
            Finished,    // every file read and deleted
        } end = End::More;
    };
    // The next rows, at most `room` of them. The rows of the chunk before
    // are in the playlist by now: a file they finished is deleted first.
    Chunk next(int room);

private:
    // The batch files of the folder in the order they are loaded.
    static QList<NativePath> batchFilesInOrder(const NativePath& folder);
    struct Source {
        NativePath path;
        bool readOnly = false;
    };
    bool folderUnchanged(const NativePath& folder);
    bool openNextSource(Chunk& chunk);
    void finishSource();
    void setAside(const Source& source, Chunk& chunk);
    qint64 dropRest(Chunk& chunk);
    // The rows of an audio-CD line: its track, or every track of its disc,
    // titled from the disc; a drive without a disc is named in the chunk.
    QList<PlaylistModel::NewEntry> cdRowsOf(const QByteArray& line, Chunk& chunk);

    QList<NativePath> m_readOnly;
    QList<Source> m_queue;
    Source m_source;  // the file being read
    std::unique_ptr<LineReader> m_reader;
    bool m_reading = false;
    // Its last row went out with the last chunk: deleted on the next call.
    bool m_sourceDone = false;
    // Unreadable files that could not be renamed: skipped from now on.
    QSet<NativePath> m_setAside;
    // Drives found without an audio CD in this pick-up (told once).
    QSet<QByteArray> m_toldNoDisc;
    // Rows of the line read last that did not go out yet (a sheet's tracks).
    QList<PlaylistModel::NewEntry> m_held;
    AlbumRows m_albums;
    // The folder as last listed without finding a batch file.
    struct FolderLook {
        qint64 mtimeNs = -1;
        qint64 listedAtNs = 0;
    } m_emptyLook;
};

}  // namespace qpt
