#pragma once
// The playlist: the songs in play order, each with its exact path, the
// title and length the list shows, and whether it is the now-playing row.
// One place for all of it (rows and paths can never disagree), and a Qt
// table model, so that the playlist window shows it as it is. Rows are
// 1-based in this class's own functions and 0-based in Qt's.
//
// The current song is one entry, named by its id: the one the playback
// engine started last and steps from, whatever rows come and go around it.
// When the current entry's row is removed, the entry before it becomes
// current (not shown) and the list remembers that the cursor stands at the
// removed row's place: Next goes on with the song that followed the removed
// one, Previous with the one before it.
//
// The row drawn bold is another entry: the one heard, as the playback
// engine says (setPlayingEntry).

#include "common/native_path.h"
#include "player/core/length/length_job.h"

#include <QAbstractTableModel>
#include <QList>

#include <mutex>
#include <optional>
#include <vector>

namespace qpt {

class PlaylistModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kCap = 30000;
    // The data role that tells whether a row is the now-playing row.
    static constexpr int NowPlayingRole = Qt::UserRole + 1;

    // Names one entry for as long as it exists, whatever is removed or
    // added around it.
    using EntryId = quint64;

    explicit PlaylistModel(QObject* parent = nullptr);

    int count() const { return int(m_entries.size()); }
    bool isEmpty() const { return m_entries.isEmpty(); }
    bool isFull() const { return count() >= kCap; }

    // Appends an entry whose length is not known yet.
    EntryId append(const NativePath& path, const QString& title);
    struct NewEntry {
        NativePath path;
        QString title;
    };
    // Appends entries in one go (as far as the cap allows); the id of the
    // first, ids growing by one (0 when none fit).
    EntryId appendMany(QList<NewEntry> entries);
    void removeRow(int row);
    void clear();

    std::optional<NativePath> path(int row) const;
    std::optional<QString> title(int row) const;
    // The Length text as the list shows it.
    std::optional<QString> length(int row) const;
    std::optional<SongLength> songLength(int row) const;
    // The row drawn as now playing: the entry heard.
    bool isNowPlaying(int row) const;
    // The entry heard, drawn bold; nullopt for none.
    void setPlayingEntry(std::optional<EntryId> id);
    QList<NativePath> paths() const;

    // The row of an entry now; nullopt once it is gone.
    std::optional<int> rowOf(EntryId id) const;
    std::optional<EntryId> idOf(int row) const;
    // Sets the length of an entry, wherever it is now.
    void setLength(EntryId id, SongLength length);
    // Sets the lengths of a batch of entries; those gone are passed over.
    void setLengths(const std::vector<length::LengthResult>& results);

    // The current song.
    std::optional<EntryId> current() const { return m_current; }
    // Its row now; 0 for none.
    int currentRow() const;
    bool currentShown() const { return m_current && m_currentShown; }
    // Makes the entry at the row current (0: none), shown as playing or not.
    // False (and no change) for a row that does not exist.
    bool setCurrentRow(int row, bool shown);
    // Shows the current entry as playing, or not.
    void setCurrentShown(bool shown);
    // The current entry's row was removed: the cursor stands on the entry
    // before that place (or before the first row).
    bool currentRemoved() const { return m_currentRemoved; }

    // QAbstractTableModel
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The paths in play order, from any thread: what an exit on a signal
    // saves when the window thread does not answer.
    QList<NativePath> pathsFromAnyThread() const;

signals:
    // Rows came or went (the count changed).
    void rowsChanged();
    // The current entry changed, or whether it is shown as playing.
    void currentChanged();

private:
    struct Entry {
        NativePath path;
        QString title;
        SongLength length;
        EntryId id = 0;
    };
    bool valid(int row) const { return row >= 1 && row <= count(); }
    int indexOf(EntryId id) const;
    void emitRowChanged(int row);

    // Written on the window thread only, under the lock; read there without
    // it, and elsewhere with it.
    QList<Entry> m_entries;
    mutable std::mutex m_entriesLock;
    EntryId m_lastId = 0;
    std::optional<EntryId> m_current;
    bool m_currentShown = false;
    bool m_currentRemoved = false;
    std::optional<EntryId> m_playing;
};

}  // namespace qpt
