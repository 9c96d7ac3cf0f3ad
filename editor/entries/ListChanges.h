#pragma once

#include "ListEntry.h"

#include <QDate>
#include <QList>
#include <QLocale>
#include <QString>
#include <QUndoCommand>

namespace quorbel {

// The list's four columns, in the order of the entry's fields.
enum class EntryField { DueBy = 0, Project = 1, Notes = 2, Done = 3 };

QString fieldText(const ListEntry &entry, EntryField field);
void setFieldText(ListEntry &entry, EntryField field, const QString &text);
// The column's caption: "Due By", "Project", "Notes", "Done".
QString fieldCaption(EntryField field);

// The header fields "Load Sample/Example Data" sets along with the list.
struct HeaderValues {
    QDate deadline;
    QString completedBy;
    QString projectName;

    friend bool operator==(const HeaderValues &, const HeaderValues &) = default;
};

// What the list's changes act on: the rows in list order and the header
// fields. The main window gives its list view and fields; tests give a plain
// list.
class ListRows {
public:
    virtual ~ListRows() = default;

    virtual int rowCount() const = 0;
    virtual ListEntry rowEntry(int row) const = 0;
    // Puts `entries` before row `row` (rowCount(): at the end).
    virtual void insertRows(int row, const QList<ListEntry> &entries) = 0;
    // Removes `count` rows from `row` on; the rows after them move up.
    virtual void removeRows(int row, int count) = 0;
    virtual void setRowField(int row, EntryField field, const QString &text) = 0;
    // Takes row `from` out and puts it back as row `to`; it becomes current.
    virtual void moveRow(int from, int to) = 0;
    // Row i becomes what row order[i] was (order holds each row once); the
    // current entry stays current where it lands.
    virtual void reorderRows(const QList<int> &order) = 0;
    // Makes `row` the current row, so the user sees what changed.
    virtual void setCurrentRow(int row) = 0;

    virtual HeaderValues headerValues() const = 0;
    virtual void setHeaderValues(const HeaderValues &values) = 0;
};

// One change of the list, undone and redone on the rows it was made on. A
// change is either made by its first redo (push it to the undo stack) or
// already made by the command's own steps (setAlreadyMade() before the push:
// the first redo then only records it).
class ListChange : public QUndoCommand {
public:
    void redo() final;
    void undo() final;
    void setAlreadyMade() { m_alreadyMade = true; }

protected:
    ListChange(ListRows &rows, const QString &text);
    virtual void apply() = 0;
    virtual void revert() = 0;
    ListRows &rows() const { return m_rows; }

private:
    ListRows &m_rows;
    bool m_alreadyMade = false;
};

// "Add": entries put in at a row.
class InsertEntries : public ListChange {
public:
    InsertEntries(ListRows &rows, int row, QList<ListEntry> entries, const QString &text = QStringLiteral("Add"));

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
    LoadSample(ListRows &rows, int row, QList<ListEntry> entries, HeaderValues before, HeaderValues after);

protected:
    void apply() override;
    void revert() override;

private:
    HeaderValues m_before;
    HeaderValues m_after;
};

// "Delete Selected": the entries that were at a row.
class RemoveEntries final : public ListChange {
public:
    RemoveEntries(ListRows &rows, int row, QList<ListEntry> removed);

protected:
    void apply() override;
    void revert() override;

private:
    int m_row;
    QList<ListEntry> m_removed;
};

// One cell's new text: an edit in place, or the Done mark switched.
class SetEntryField final : public ListChange {
public:
    SetEntryField(ListRows &rows, int row, EntryField field, QString before, QString after);

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
// drag).
class MoveEntry final : public ListChange {
public:
    MoveEntry(ListRows &rows, int from, int to);

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

// "Sort by Due Date". A list already in that order gives a change that does
// nothing (isObsolete()), which the undo stack does not keep.
class SortByDueDate final : public ListChange {
public:
    explicit SortByDueDate(ListRows &rows, const QLocale &locale = QLocale());

protected:
    void apply() override;
    void revert() override;

private:
    QList<int> m_order;
    QList<int> m_inverse;
};

} // namespace quorbel
