#include "player/core/playlist_model.h"

#include <algorithm>

namespace qpt {

PlaylistModel::PlaylistModel(QObject* parent) : QAbstractTableModel(parent) {}

PlaylistModel::EntryId PlaylistModel::append(const NativePath& path, const QString& title)
{
    const int at = count();
    beginInsertRows(QModelIndex(), at, at);
    {
        const std::lock_guard lock(m_entriesLock);
        m_entries.push_back({path, title, SongLength::pending(), ++m_lastId});
    }
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
    {
        const std::lock_guard lock(m_entriesLock);
        for (NewEntry& entry : entries)
            m_entries.push_back({std::move(entry.path), std::move(entry.title), SongLength::pending(), ++m_lastId});
    }
    endInsertRows();
    emit rowsChanged();
    return first;
}

void PlaylistModel::removeRow(int row)
{
    if (!valid(row))
        return;
    const bool wasCurrent = m_current == m_entries[row - 1].id;
    beginRemoveRows(QModelIndex(), row - 1, row - 1);
    {
        const std::lock_guard lock(m_entriesLock);
        m_entries.removeAt(row - 1);
    }
    endRemoveRows();
    emit rowsChanged();
    if (wasCurrent) {
        // The song before it stands in, so that Next goes on with the one
        // that followed the removed song.
        m_current = row > 1 ? std::optional(m_entries[row - 2].id) : std::nullopt;
        m_currentShown = false;
        m_currentRemoved = true;
        emit currentChanged();
    } else if (m_current && currentRow() >= row) {
        emit currentChanged();  // its row moved up
    }
}

void PlaylistModel::clear()
{
    beginResetModel();
    {
        const std::lock_guard lock(m_entriesLock);
        m_entries.clear();
    }
    const bool hadCurrent = m_current.has_value();
    m_current.reset();
    m_currentShown = false;
    m_currentRemoved = false;
    endResetModel();
    emit rowsChanged();
    if (hadCurrent)
        emit currentChanged();
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
    return valid(row) && m_playing && m_entries[row - 1].id == *m_playing;
}

void PlaylistModel::setPlayingEntry(std::optional<EntryId> id)
{
    if (id == m_playing)
        return;
    const int before = m_playing ? rowOf(*m_playing).value_or(0) : 0;
    m_playing = id;
    emitRowChanged(before);
    emitRowChanged(m_playing ? rowOf(*m_playing).value_or(0) : 0);
}

QList<NativePath> PlaylistModel::pathsFromAnyThread() const
{
    const std::lock_guard lock(m_entriesLock);
    return paths();
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
    {
        const std::lock_guard lock(m_entriesLock);
        m_entries[index].length = length;
    }
    const QModelIndex cell = this->index(index, 1);
    emit dataChanged(cell, cell, {Qt::DisplayRole});
}

void PlaylistModel::setLengths(const std::vector<length::LengthResult>& results)
{
    int first = count();
    int last = -1;
    {
        const std::lock_guard lock(m_entriesLock);
        for (const length::LengthResult& result : results) {
            const int index = indexOf(result.entry);
            if (index < 0)
                continue;  // removed while it was measured
            m_entries[index].length = result.length;
            first = std::min(first, index);
            last = std::max(last, index);
        }
    }
    // One change for the whole batch: the view repaints what it shows of it.
    if (last >= 0)
        emit dataChanged(index(first, 1), index(last, 1), {Qt::DisplayRole});
}

int PlaylistModel::currentRow() const
{
    return m_current ? rowOf(*m_current).value_or(0) : 0;
}

void PlaylistModel::emitRowChanged(int row)
{
    if (valid(row))
        emit dataChanged(index(row - 1, 0), index(row - 1, 1), {NowPlayingRole});
}

bool PlaylistModel::setCurrentRow(int row, bool shown)
{
    if (row != 0 && !valid(row))
        return false;
    const std::optional<EntryId> id = row == 0 ? std::nullopt : std::optional(m_entries[row - 1].id);
    if (id == m_current && shown == m_currentShown && !m_currentRemoved)
        return true;
    m_current = id;
    m_currentShown = shown;
    m_currentRemoved = false;
    emit currentChanged();
    return true;
}

void PlaylistModel::setCurrentShown(bool shown)
{
    if (!m_current || shown == m_currentShown)
        return;
    m_currentShown = shown;
    emit currentChanged();
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
        return m_playing && entry.id == *m_playing;
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
