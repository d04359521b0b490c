#include "player/playlist/list_box.h"

#include "common/failures.h"

#include <algorithm>

namespace qpt {

ListBox::ListBox(bool sorted) : m_sorted(sorted)
{
    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
}

const QByteArray& ListBox::List(int index) const
{
    if (index < 0 || index >= m_items.size())
        throw RuntimeFailure("list index out of range");
    return m_items.at(index);
}

void ListBox::AddItem(const QByteArray& item)
{
    if (!m_sorted) {
        m_items.append(item);
        return;
    }
    const auto position = std::upper_bound(m_items.begin(), m_items.end(), item,
        [this](const QByteArray& a, const QByteArray& b) {
            return m_collator.compare(QString::fromUtf8(a), QString::fromUtf8(b)) < 0;
        });
    const int index = int(position - m_items.begin());
    m_items.insert(index, item);
    if (m_listIndex >= index)
        ++m_listIndex;
}

void ListBox::RemoveItem(int index)
{
    if (index < 0 || index >= m_items.size())
        throw RuntimeFailure("list index out of range");
    m_items.removeAt(index);
    if (m_listIndex == index)
        m_listIndex = -1;
    else if (m_listIndex > index)
        --m_listIndex;
}

void ListBox::Clear()
{
    m_items.clear();
    m_listIndex = -1;
}

void ListBox::setListIndex(int index)
{
    if (index < -1 || index >= m_items.size())
        throw RuntimeFailure("invalid list index");
    m_listIndex = index;
}

}  // namespace qpt
