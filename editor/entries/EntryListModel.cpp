#include "EntryListModel.h"

#include <algorithm>

namespace quorbel {

QString fieldText(const ListEntry &entry, EntryField field)
{
    switch (field) {
    case EntryField::DueBy:
        return entry.dueBy;
    case EntryField::Project:
        return entry.project;
    case EntryField::Notes:
        return entry.notes;
    case EntryField::Done:
        return entry.done;
    }
    return {};
}

void setFieldText(ListEntry &entry, EntryField field, const QString &text)
{
    switch (field) {
    case EntryField::DueBy:
        entry.dueBy = text;
        break;
    case EntryField::Project:
        entry.project = text;
        break;
    case EntryField::Notes:
        entry.notes = text;
        break;
    case EntryField::Done:
        entry.done = text;
        break;
    }
}

QString fieldCaption(EntryField field)
{
    switch (field) {
    case EntryField::DueBy:
        return QStringLiteral("Due By");
    case EntryField::Project:
        return QStringLiteral("Project");
    case EntryField::Notes:
        return QStringLiteral("Notes");
    case EntryField::Done:
        return QStringLiteral("Done");
    }
    return {};
}

// ---------------------------------------------------------------------------

EntryListModel::EntryListModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

bool EntryListModel::isCell(const QModelIndex &index) const
{
    return index.isValid() && index.model() == this && !index.parent().isValid() && hasEntry(index.row())
           && index.column() >= 0 && index.column() < kEntryFieldCount;
}

int EntryListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : entryCount();
}

int EntryListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : kEntryFieldCount;
}

QVariant EntryListModel::data(const QModelIndex &index, int role) const
{
    if (!isCell(index))
        return {};
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    return fieldText(m_entries.at(index.row()), EntryField(index.column()));
}

QVariant EntryListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= kEntryFieldCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole)
        return fieldCaption(EntryField(section));
    return {};
}

Qt::ItemFlags EntryListModel::flags(const QModelIndex &index) const
{
    if (!isCell(index))
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled | Qt::ItemNeverHasChildren;
    if (EntryField(index.column()) != EntryField::Done)
        flags |= Qt::ItemIsEditable;
    return flags;
}

void EntryListModel::insertEntries(int row, const QList<ListEntry> &entries)
{
    if (entries.isEmpty())
        return;
    row = std::clamp(row, 0, entryCount());
    beginInsertRows({}, row, row + int(entries.size()) - 1);
    m_entries.insert(row, entries.size(), ListEntry());
    std::copy(entries.begin(), entries.end(), m_entries.begin() + row);
    endInsertRows();
}

void EntryListModel::removeEntries(int row, int count)
{
    count = std::min(count, entryCount() - row);
    if (row < 0 || count <= 0)
        return;
    beginRemoveRows({}, row, row + count - 1);
    m_entries.remove(row, count);
    endRemoveRows();
}

void EntryListModel::setEntryField(int row, EntryField field, const QString &text)
{
    if (!hasEntry(row))
        return;
    setFieldText(m_entries[row], field, text);
    const QModelIndex cell = index(row, int(field));
    emit dataChanged(cell, cell, {Qt::DisplayRole, Qt::EditRole});
}

void EntryListModel::moveEntry(int from, int to)
{
    if (!hasEntry(from) || !hasEntry(to) || from == to)
        return;
    // The place is named as it is before the move: below the entry when it
    // goes down.
    if (!beginMoveRows({}, from, from, {}, to > from ? to + 1 : to))
        return;
    m_entries.move(from, to);
    endMoveRows();
}

void EntryListModel::reorderEntries(const QList<int> &order)
{
    if (order.size() != m_entries.size())
        return;
    QList<int> newRow(order.size(), -1);
    for (int row = 0; row < order.size(); ++row) {
        const int from = order.at(row);
        if (from < 0 || from >= order.size() || newRow.at(from) >= 0)
            return;
        newRow[from] = row;
    }
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    QList<ListEntry> ordered;
    ordered.reserve(m_entries.size());
    for (int from : order)
        ordered.append(m_entries.at(from));
    m_entries = std::move(ordered);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex &index : before)
        after.append(index.isValid() ? this->index(newRow.at(index.row()), index.column()) : QModelIndex());
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void EntryListModel::showEntry(int row)
{
    if (hasEntry(row))
        emit entryShown(row);
}

} // namespace quorbel
