#include "player/core/playlist_model.h"

#include <algorithm>

namespace qpt {

PlaylistModel::PlaylistModel(QObject* parent) : QAbstractTableModel(parent) {}

PlaylistModel::EntryId PlaylistModel::append(const NativePath& path, const QString& title)
{
    const int at = count();
    beginInsertRows(QModelIndex(), at, at);
    m_entries.push_back({path, title, SongLength::pending(), ++m_lastId, false});
    endInsertRows();
    emit rowsChanged();
    return m_lastId;
}

PlaylistModel::EntryId PlaylistModel::appendMany(QList<NewEntry> entries)
{
    const int room = kCap - count();
    if (entries.size() > room)
        entries.resize(std::max(room, 0));
    if (entries.isEmpty())
        return 0;
    const int at = count();
    const EntryId first = m_lastId + 1;
    beginInsertRows(QModelIndex(), at, at + int(entries.size()) - 1);
    for (NewEntry& entry : entries)
        m_entries.push_back({std::move(entry.path), std::move(entry.title), SongLength::pending(), ++m_lastId, false});
    endInsertRows();
    emit rowsChanged();
    return first;
}

void PlaylistModel::removeRow(int row)
{
    if (!valid(row))
        return;
    beginRemoveRows(QModelIndex(), row - 1, row - 1);
    m_entries.removeAt(row - 1);
    endRemoveRows();
    if (m_cursor == row)
        m_cursor = 0;
    else if (m_cursor > row)
        --m_cursor;
    emit rowsChanged();
}

void PlaylistModel::clear()
{
    beginResetModel();
    m_entries.clear();
    m_cursor = 0;
    endResetModel();
    emit rowsChanged();
}

std::optional<NativePath> PlaylistModel::path(int row) const
{
    return valid(row) ? std::optional(m_entries[row - 1].path) : std::nullopt;
}

std::optional<QString> PlaylistModel::title(int row) const
{
    return valid(row) ? std::optional(m_entries[row - 1].title) : std::nullopt;
}

std::optional<QString> PlaylistModel::length(int row) const
{
    return valid(row) ? std::optional(m_entries[row - 1].length.text()) : std::nullopt;
}

std::optional<SongLength> PlaylistModel::songLength(int row) const
{
    return valid(row) ? std::optional(m_entries[row - 1].length) : std::nullopt;
}

bool PlaylistModel::isNowPlaying(int row) const
{
    return valid(row) && m_entries[row - 1].nowPlaying;
}

QList<NativePath> PlaylistModel::paths() const
{
    QList<NativePath> list;
    list.reserve(m_entries.size());
    for (const Entry& entry : m_entries)
        list << entry.path;
    return list;
}

int PlaylistModel::indexOf(EntryId id) const
{
    // Ids grow with the rows and rows only leave, so the entries are in id
    // order: a binary search finds it.
    const auto it = std::lower_bound(m_entries.cbegin(), m_entries.cend(), id,
                                     [](const Entry& entry, EntryId wanted) { return entry.id < wanted; });
    return it != m_entries.cend() && it->id == id ? int(it - m_entries.cbegin()) : -1;
}

std::optional<int> PlaylistModel::rowOf(EntryId id) const
{
    const int index = indexOf(id);
    return index < 0 ? std::nullopt : std::optional(index + 1);
}

std::optional<PlaylistModel::EntryId> PlaylistModel::idOf(int row) const
{
    return valid(row) ? std::optional(m_entries[row - 1].id) : std::nullopt;
}

void PlaylistModel::setLength(EntryId id, SongLength length)
{
    const int index = indexOf(id);
    if (index < 0)
        return;
    m_entries[index].length = length;
    const QModelIndex cell = this->index(index, 1);
    emit dataChanged(cell, cell, {Qt::DisplayRole});
}

void PlaylistModel::setLengths(const std::vector<length::LengthResult>& results)
{
    int first = count();
    int last = -1;
    for (const length::LengthResult& result : results) {
        const int index = indexOf(result.entry);
        if (index < 0)
            continue;  // removed while it was measured
        m_entries[index].length = result.length;
        first = std::min(first, index);
        last = std::max(last, index);
    }
    // One change for the whole batch: the view repaints what it shows of it.
    if (last >= 0)
        emit dataChanged(index(first, 1), index(last, 1), {Qt::DisplayRole});
}

void PlaylistModel::setNowPlaying(int row, bool on)
{
    if (!valid(row) || m_entries[row - 1].nowPlaying == on)
        return;
    m_entries[row - 1].nowPlaying = on;
    emit dataChanged(index(row - 1, 0), index(row - 1, 1), {NowPlayingRole});
}

bool PlaylistModel::setCursor(int row)
{
    if (row != 0 && !valid(row))
        return false;
    m_cursor = row;
    return true;
}

int PlaylistModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : count();
}

int PlaylistModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant PlaylistModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= count())
        return QVariant();
    const Entry& entry = m_entries[index.row()];
    switch (role) {
    case Qt::DisplayRole:
        return index.column() == 0 ? entry.title : entry.length.text();
    case Qt::ToolTipRole:
        return index.column() == 0 ? QVariant(entry.title) : QVariant();
    case NowPlayingRole:
        return entry.nowPlaying;
    default:
        return QVariant();
    }
}

QVariant PlaylistModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    return section == 0 ? QStringLiteral("Title") : QStringLiteral("Length");
}

}  // namespace qpt
