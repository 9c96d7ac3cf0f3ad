#include "ListChanges.h"

#include "DateText.h"

#include <algorithm>
#include <numeric>
#include <optional>

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

ListChange::ListChange(ListRows &rows, const QString &text)
    : m_rows(rows)
{
    setText(text);
}

void ListChange::redo()
{
    if (m_alreadyMade) {
        m_alreadyMade = false;
        return;
    }
    apply();
}

void ListChange::undo()
{
    revert();
}

// ---------------------------------------------------------------------------

InsertEntries::InsertEntries(ListRows &rows, int row, QList<ListEntry> entries, const QString &text)
    : ListChange(rows, text), m_row(row), m_entries(std::move(entries))
{
    setObsolete(m_entries.isEmpty());
}

void InsertEntries::apply()
{
    rows().insertRows(m_row, m_entries);
    rows().setCurrentRow(m_row);
}

void InsertEntries::revert()
{
    rows().removeRows(m_row, int(m_entries.size()));
}

LoadSample::LoadSample(ListRows &rows, int row, QList<ListEntry> entries, HeaderValues before, HeaderValues after)
    : InsertEntries(rows, row, std::move(entries), QStringLiteral("Load Sample Data")),
      m_before(std::move(before)), m_after(std::move(after))
{
    setObsolete(isObsolete() && m_before == m_after);
}

void LoadSample::apply()
{
    rows().setHeaderValues(m_after);
    InsertEntries::apply();
}

void LoadSample::revert()
{
    InsertEntries::revert();
    rows().setHeaderValues(m_before);
}

RemoveEntries::RemoveEntries(ListRows &rows, int row, QList<ListEntry> removed)
    : ListChange(rows, QStringLiteral("Delete")), m_row(row), m_removed(std::move(removed))
{
    setObsolete(m_removed.isEmpty());
}

void RemoveEntries::apply()
{
    rows().removeRows(m_row, int(m_removed.size()));
}

void RemoveEntries::revert()
{
    rows().insertRows(m_row, m_removed);
    rows().setCurrentRow(m_row);
}

SetEntryField::SetEntryField(ListRows &rows, int row, EntryField field, QString before, QString after)
    : ListChange(rows, QString()), m_row(row), m_field(field), m_before(std::move(before)), m_after(std::move(after))
{
    if (field == EntryField::Done)
        setText(m_after == kDoneMark ? QStringLiteral("Check As Done") : QStringLiteral("Uncheck As Done"));
    else
        setText(QStringLiteral("Edit %1").arg(fieldCaption(field)));
    setObsolete(m_before == m_after);
}

void SetEntryField::apply()
{
    rows().setRowField(m_row, m_field, m_after);
    rows().setCurrentRow(m_row);
}

void SetEntryField::revert()
{
    rows().setRowField(m_row, m_field, m_before);
    rows().setCurrentRow(m_row);
}

MoveEntry::MoveEntry(ListRows &rows, int from, int to)
    : ListChange(rows, to < from ? QStringLiteral("Move Up") : QStringLiteral("Move Down")), m_from(from), m_to(to)
{
    setObsolete(from == to);
}

void MoveEntry::apply()
{
    rows().moveRow(m_from, m_to);
}

void MoveEntry::revert()
{
    rows().moveRow(m_to, m_from);
}

// ---------------------------------------------------------------------------

QList<int> dueDateOrder(const QList<ListEntry> &entries, const QLocale &locale)
{
    QList<std::optional<QDate>> dates;
    dates.reserve(entries.size());
    for (const ListEntry &entry : entries)
        dates.append(readDateText(entry.dueBy, locale));

    QList<int> order(entries.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&dates](int a, int b) {
        const std::optional<QDate> &left = dates.at(a);
        const std::optional<QDate> &right = dates.at(b);
        if (!left || !right)
            return left.has_value() && !right.has_value();
        return *left < *right;
    });
    return order;
}

SortByDueDate::SortByDueDate(ListRows &rows, const QLocale &locale)
    : ListChange(rows, QStringLiteral("Sort by Due Date"))
{
    QList<ListEntry> entries;
    const int count = rows.rowCount();
    entries.reserve(count);
    for (int row = 0; row < count; ++row)
        entries.append(rows.rowEntry(row));
    m_order = dueDateOrder(entries, locale);
    m_inverse.resize(m_order.size());
    bool unchanged = true;
    for (int row = 0; row < m_order.size(); ++row) {
        m_inverse[m_order.at(row)] = row;
        unchanged = unchanged && m_order.at(row) == row;
    }
    setObsolete(unchanged);
}

void SortByDueDate::apply()
{
    rows().reorderRows(m_order);
}

void SortByDueDate::revert()
{
    rows().reorderRows(m_inverse);
}

} // namespace quorbel
