#pragma once
// The rows of the visible playlist: title, length and whether the row is
// the bold now-playing row. Rows are 1-based in the playlist logic and
// 0-based in Qt's model; the accessors here take the 1-based row number.

#include <QAbstractTableModel>
#include <QFont>
#include <QIcon>
#include <QVector>

namespace qpt {

class PlaylistRows : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit PlaylistRows(QObject* parent = nullptr);

    // Names one row for as long as it exists, whatever is removed above it.
    using RowId = quint64;

    int count() const { return int(m_rows.size()); }
    // Appends a row with the title (its length text follows separately).
    RowId addRow(const QString& title);
    // The row number of `id` now, 0 when the row is gone. Rows only move
    // up, so the search starts at `lastKnown`, the number it once had.
    int rowOf(RowId id, int lastKnown) const;
    // Throws RuntimeFailure for a row that does not exist (1-based).
    void setLength(int row, const QString& length);
    void setBold(int row, bool bold);
    bool isBold(int row) const;
    QString title(int row) const;
    QString length(int row) const;
    void removeRow(int row);
    void clear();

    // The selected row (1-based, 0 for none), kept by the list view.
    int selectedRow() const { return m_selectedRow; }
    void setSelectedRow(int row) { m_selectedRow = row; }

    void setRowIcon(const QIcon& icon) { m_icon = icon; }
    void setFont(const QFont& font);

    // QAbstractTableModel
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    struct Row {
        QString title;
        QString length;
        bool bold = false;
        RowId id = 0;
    };
    void check(int row) const;

    QVector<Row> m_rows;
    int m_selectedRow = 0;
    RowId m_lastId = 0;
    QIcon m_icon;
    QFont m_font;
    QFont m_boldFont;
};

}  // namespace qpt
