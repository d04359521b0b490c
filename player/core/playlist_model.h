#pragma once
// The playlist: the songs in play order, each with its exact path, the
// title and length the list shows, and whether it is the now-playing row.
// One place for all of it (rows and paths can never disagree), and a Qt
// table model, so that the playlist window shows it as it is. Rows are
// 1-based in this class's own functions and 0-based in Qt's.
//
// The play cursor is the entry the playback engine starts and steps from.
// It follows its entry when rows above it are removed.

#include "common/native_path.h"
#include "player/core/length/length_job.h"

#include <QAbstractTableModel>
#include <QList>

#include <vector>

#include <optional>

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
    bool isNowPlaying(int row) const;
    QList<NativePath> paths() const;

    // The row of an entry now; nullopt once it is gone.
    std::optional<int> rowOf(EntryId id) const;
    std::optional<EntryId> idOf(int row) const;
    // Sets the length of an entry, wherever it is now.
    void setLength(EntryId id, SongLength length);
    // Sets the lengths of a batch of entries; those gone are passed over.
    void setLengths(const std::vector<length::LengthResult>& results);
    void setNowPlaying(int row, bool on);

    // The play cursor: a row, or 0 for none.
    int cursor() const { return m_cursor; }
    // False (and no change) for a row that does not exist.
    bool setCursor(int row);

    // QAbstractTableModel
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

signals:
    // Rows came or went (the count changed).
    void rowsChanged();

private:
    struct Entry {
        NativePath path;
        QString title;
        SongLength length;
        EntryId id = 0;
        bool nowPlaying = false;
    };
    bool valid(int row) const { return row >= 1 && row <= count(); }
    int indexOf(EntryId id) const;

    QList<Entry> m_entries;
    EntryId m_lastId = 0;
    int m_cursor = 0;
};

}  // namespace qpt
