#pragma once
// A hidden list of paths (bytes) with a selection index, behaving like the
// list boxes the playlist logic was designed around: indexes are 0-based,
// an index out of range is a RuntimeFailure that the caller handles, and a
// sorted list keeps its items in the user's collation order of their shown
// text, ignoring case.

#include <QByteArray>
#include <QCollator>
#include <QList>

namespace qpt {

class ListBox {
public:
    explicit ListBox(bool sorted = false);

    int ListCount() const { return int(m_items.size()); }
    bool isEmpty() const { return m_items.isEmpty(); }
    // Throws RuntimeFailure for an index out of range.
    const QByteArray& List(int index) const;
    void AddItem(const QByteArray& item);
    // Throws RuntimeFailure for an index out of range. Removing the selected
    // item clears the selection; removing one above it keeps the selected
    // item selected.
    void RemoveItem(int index);
    void Clear();

    // The selection: -1 for none.
    int ListIndex() const { return m_listIndex; }
    // Throws RuntimeFailure unless -1 <= index < ListCount().
    void setListIndex(int index);

    const QList<QByteArray>& items() const { return m_items; }

private:
    QList<QByteArray> m_items;
    int m_listIndex = -1;
    bool m_sorted;
    QCollator m_collator;
};

}  // namespace qpt
