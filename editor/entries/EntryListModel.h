#pragma once

#include "ListEntry.h"

#include <QAbstractTableModel>
#include <QList>
#include <QString>

namespace quorbel {

// The list's four columns, in the order of the entry's fields.
enum class EntryField { DueBy = 0, Project = 1, Notes = 2, Done = 3 };
inline constexpr int kEntryFieldCount = 4;

QString fieldText(const ListEntry &entry, EntryField field);
void setFieldText(ListEntry &entry, EntryField field, const QString &text);
// The column's caption: "Due By", "Project", "Notes", "Done".
QString fieldCaption(EntryField field);

// The to-do list while the program runs: the entries in list order, one row
// each, and one column a field (Due By, Project, Notes, Done), captioned in
// the horizontal header. Views show it; its changes come through the
// methods below (the list's undoable changes, ListChanges.h, call them), and
// every one of them tells the views what moved, so that the current and
// selected entries stay with their entries. Views edit no cell through
// setData: a committed edit is a change of the list like any other.
class EntryListModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit EntryListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    // The field's text, for display and as an editor's starting text.
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    // Every cell is selectable and can be dragged; the text cells can be
    // edited in place, the Done cell cannot (its mark is switched).
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    const QList<ListEntry> &entries() const { return m_entries; }
    int entryCount() const { return int(m_entries.size()); }
    bool hasEntry(int row) const { return row >= 0 && row < m_entries.size(); }
    // The entry of `row`; an empty one when there is none.
    ListEntry entry(int row) const { return m_entries.value(row); }

    // Puts `entries` before row `row` (entryCount(), or beyond: at the end).
    void insertEntries(int row, const QList<ListEntry> &entries);
    // Removes `count` entries from `row` on (as many as there are); the
    // entries after them move up.
    void removeEntries(int row, int count);
    void setEntryField(int row, EntryField field, const QString &text);
    // Takes entry `from` out and puts it back as row `to`.
    void moveEntry(int from, int to);
    // Row i becomes what row order[i] was (order holds each row once);
    // anything else is left alone.
    void reorderEntries(const QList<int> &order);

    // Asks the views to make `row` their current row, so that the user sees
    // what a change (or its undo) touched.
    void showEntry(int row);

signals:
    void entryShown(int row);

private:
    // A cell of this list.
    bool isCell(const QModelIndex &index) const;

    QList<ListEntry> m_entries;
};

} // namespace quorbel
