#include "player/playlist/playlist_rows.h"

#include "common/failures.h"

#include <algorithm>

namespace qpt {

PlaylistRows::PlaylistRows(QObject* parent) : QAbstractTableModel(parent)
{
    setFont(QFont(QStringLiteral("Tahoma"), 8));
}

void PlaylistRows::setFont(const QFont& font)
{
    m_font = font;
    m_boldFont = font;
    m_boldFont.setBold(true);
}

void PlaylistRows::check(int row) const
{
    if (row < 1 || row > m_rows.size())
        throw RuntimeFailure("row does not exist");
}

PlaylistRows::RowId PlaylistRows::addRow(const QString& title)
{
    const int at = int(m_rows.size());
    beginInsertRows(QModelIndex(), at, at);
    m_rows.push_back({title, QString(), false, ++m_lastId});
    endInsertRows();
    return m_lastId;
}

int PlaylistRows::rowOf(RowId id, int lastKnown) const
{
    for (int row = std::min(lastKnown, count()); row >= 1; --row) {
        if (m_rows[row - 1].id == id)
            return row;
    }
    return 0;
}

void PlaylistRows::setLength(int row, const QString& length)
{
    check(row);
    m_rows[row - 1].length = length;
    const QModelIndex cell = index(row - 1, 1);
    emit dataChanged(cell, cell, {Qt::DisplayRole});
}

void PlaylistRows::setBold(int row, bool bold)
{
    check(row);
    if (m_rows[row - 1].bold == bold)
        return;
    m_rows[row - 1].bold = bold;
    emit dataChanged(index(row - 1, 0), index(row - 1, 1), {Qt::FontRole});
}

bool PlaylistRows::isBold(int row) const
{
    check(row);
    return m_rows[row - 1].bold;
}

QString PlaylistRows::title(int row) const
{
    check(row);
    return m_rows[row - 1].title;
}

QString PlaylistRows::length(int row) const
{
    check(row);
    return m_rows[row - 1].length;
}

void PlaylistRows::removeRow(int row)
{
    check(row);
    beginRemoveRows(QModelIndex(), row - 1, row - 1);
    m_rows.removeAt(row - 1);
    endRemoveRows();
    // The view reports its new current row while the old numbering still
    // holds (and says nothing when the current row merely moves up), so
    // every selection below the removed row moves up by one here.
    if (m_selectedRow > row)
        --m_selectedRow;
    if (m_selectedRow > m_rows.size())
        m_selectedRow = int(m_rows.size());
}

void PlaylistRows::clear()
{
    beginResetModel();
    m_rows.clear();
    m_selectedRow = 0;
    endResetModel();
}

int PlaylistRows::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int PlaylistRows::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant PlaylistRows::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return QVariant();
    const Row& row = m_rows[index.row()];
    switch (role) {
    case Qt::DisplayRole:
        return index.column() == 0 ? row.title : row.length;
    case Qt::ToolTipRole:
        return index.column() == 0 ? row.title : QVariant();
    case Qt::DecorationRole:
        return index.column() == 0 && !m_icon.isNull() ? QVariant(m_icon) : QVariant();
    case Qt::FontRole:
        return row.bold ? m_boldFont : m_font;
    default:
        return QVariant();
    }
}

QVariant PlaylistRows::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    return section == 0 ? QStringLiteral("Title") : QStringLiteral("Length");
}

}  // namespace qpt
