#pragma once

#include "EntryListModel.h"
#include "ListEntry.h"

#include <QDate>
#include <QList>
#include <QLocale>
#include <QString>
#include <QUndoCommand>

namespace quorbel {

// The header fields "Load Sample/Example Data" sets along with the list.
struct HeaderValues {
    QDate deadline;
    QString completedBy;
    QString projectName;

    friend bool operator==(const HeaderValues &, const HeaderValues &) = default;
};

// Where the header fields are: the main window gives its fields, tests give
// plain values.
class HeaderFields {
public:
    virtual ~HeaderFields() = default;
    virtual HeaderValues headerValues() const = 0;
    virtual void setHeaderValues(const HeaderValues &values) = 0;
};

// One change of the list, made by its first redo (pushing it to an undo
// stack makes it) and undone and redone on the list it was made on. Made,
// undone or redone, a change shows the entry it touched
// (EntryListModel::showEntry); what each one shows is told below.
class ListChange : public QUndoCommand {
public:
    void redo() final;
    void undo() final;

protected:
    ListChange(EntryListModel &list, const QString &text);
    virtual void apply() = 0;
    virtual void revert() = 0;
    EntryListModel &list() const { return m_list; }
    // False while the first redo makes the change.
    bool madeBefore() const { return m_madeBefore; }

private:
    EntryListModel &m_list;
    bool m_madeBefore = false;
};

// "Add": entries put in at a row. Made, the current entry stays where it
// is; redone after an undo, the first new entry becomes current.
class InsertEntries : public ListChange {
public:
    InsertEntries(EntryListModel &list, int row, QList<ListEntry> entries, const QString &text = QStringLiteral("Add"));

protected:
    void apply() override;
    void revert() override;

private:
    int m_row;
    QList<ListEntry> m_entries;
};

// "Load Sample/Example Data": its entries at the end and the header fields
// it set; undone, the header fields are as they were before.
class LoadSample final : public InsertEntries {
public:
    LoadSample(EntryListModel &list, HeaderFields &header, int row, QList<ListEntry> entries, HeaderValues before,
               HeaderValues after);

protected:
    void apply() override;
    void revert() override;

private:
    HeaderFields &m_header;
    HeaderValues m_before;
    HeaderValues m_after;
};

// "Delete Selected": the entries that were at a row. Undone, the first of
// them is current again.
class RemoveEntries final : public ListChange {
public:
    RemoveEntries(EntryListModel &list, int row, QList<ListEntry> removed);

protected:
    void apply() override;
    void revert() override;

private:
    int m_row;
    QList<ListEntry> m_removed;
};

// One cell's new text: an edit in place, or the Done mark switched; its
// entry is current.
class SetEntryField final : public ListChange {
public:
    SetEntryField(EntryListModel &list, int row, EntryField field, QString before, QString after);

protected:
    void apply() override;
    void revert() override;

private:
    int m_row;
    EntryField m_field;
    QString m_before;
    QString m_after;
};

// One entry moved from one row to another ("Move Up", "Move Down", or a
// drag); the moved entry becomes current.
class MoveEntry final : public ListChange {
public:
    MoveEntry(EntryListModel &list, int from, int to);

protected:
    void apply() override;
    void revert() override;

private:
    int m_from;
    int m_to;
};

// The order "Sort by Due Date" gives: row i of the sorted list is entry
// order[i] of `entries`. Entries whose Due By reads as a date (the locale's
// short date form, see readDateText) come first, oldest first; entries due
// the same day, and after them the entries whose Due By is no date, keep
// their order.
QList<int> dueDateOrder(const QList<ListEntry> &entries, const QLocale &locale = QLocale());

// "Sort by Due Date"; the current entry stays current where it lands. A
// list already in that order gives a change that does nothing
// (isObsolete()), which the undo stack does not keep.
class SortByDueDate final : public ListChange {
public:
    explicit SortByDueDate(EntryListModel &list, const QLocale &locale = QLocale());

protected:
    void apply() override;
    void revert() override;

private:
    QList<int> m_order;
    QList<int> m_inverse;
};

} // namespace quorbel
