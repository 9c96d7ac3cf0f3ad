#include "ListViewRows.h"

#include "EntryListView.h"

#include <QDateEdit>
#include <QLineEdit>

#include <algorithm>

namespace quorbel {

ListViewRows::ListViewRows(EntryListView &list, QDateEdit &deadline, QLineEdit &completedBy, QLineEdit &projectName)
    : m_list(list), m_deadline(deadline), m_completedBy(completedBy), m_projectName(projectName)
{
}

int ListViewRows::rowCount() const
{
    return m_list.topLevelItemCount();
}

ListEntry ListViewRows::rowEntry(int row) const
{
    const QTreeWidgetItem *item = m_list.topLevelItem(row);
    if (!item)
        return {};
    return {item->text(int(EntryField::DueBy)), item->text(int(EntryField::Project)),
            item->text(int(EntryField::Notes)), item->text(int(EntryField::Done))};
}

void ListViewRows::insertRows(int row, const QList<ListEntry> &entries)
{
    QList<QTreeWidgetItem *> items;
    items.reserve(entries.size());
    for (const ListEntry &entry : entries)
        items.append(EntryListView::newRow(entry));
    m_list.insertTopLevelItems(std::clamp(row, 0, rowCount()), items);
    keepCurrentRow(m_list);
}

void ListViewRows::removeRows(int row, int count)
{
    for (int i = 0; i < count; ++i)
        delete m_list.takeTopLevelItem(row);
    keepCurrentRow(m_list);
}

void ListViewRows::setRowField(int row, EntryField field, const QString &text)
{
    if (QTreeWidgetItem *item = m_list.topLevelItem(row))
        item->setText(int(field), text);
}

void ListViewRows::moveRow(int from, int to)
{
    const int column = std::max(0, m_list.currentColumn());
    QTreeWidgetItem *item = m_list.takeTopLevelItem(from);
    if (!item)
        return;
    m_list.insertTopLevelItem(std::clamp(to, 0, rowCount()), item);
    m_list.setCurrentItem(item, column);
}

void ListViewRows::reorderRows(const QList<int> &order)
{
    QTreeWidgetItem *current = m_list.currentItem();
    const int column = std::max(0, m_list.currentColumn());
    const QList<QTreeWidgetItem *> items = m_list.invisibleRootItem()->takeChildren();
    if (order.size() != items.size()) {
        m_list.addTopLevelItems(items);
        return;
    }
    QList<QTreeWidgetItem *> ordered;
    ordered.reserve(items.size());
    for (int from : order)
        ordered.append(items.at(from));
    m_list.addTopLevelItems(ordered);
    if (current)
        m_list.setCurrentItem(current, column);
    keepCurrentRow(m_list);
}

void ListViewRows::setCurrentRow(int row)
{
    if (QTreeWidgetItem *item = m_list.topLevelItem(row))
        m_list.setCurrentItem(item, std::max(0, m_list.currentColumn()));
}

HeaderValues ListViewRows::headerValues() const
{
    return {m_deadline.date(), m_completedBy.text(), m_projectName.text()};
}

void ListViewRows::setHeaderValues(const HeaderValues &values)
{
    if (m_deadline.date() != values.deadline)
        m_deadline.setDate(values.deadline);
    if (m_completedBy.text() != values.completedBy)
        m_completedBy.setText(values.completedBy);
    if (m_projectName.text() != values.projectName)
        m_projectName.setText(values.projectName);
}

void keepCurrentRow(QTreeWidget &list)
{
    if (list.topLevelItemCount() == 0 || !list.selectedItems().isEmpty())
        return;
    QTreeWidgetItem *row = list.currentItem();
    list.setCurrentItem(row ? row : list.topLevelItem(0));
}

} // namespace quorbel
