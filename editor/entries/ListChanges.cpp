#include "ListChanges.h"

#include "DateText.h"

#include <algorithm>
#include <numeric>
#include <optional>

namespace quorbel {

// ---------------------------------------------------------------------------

ListChange::ListChange(EntryListModel &list, const QString &text)
    : m_list(list)
{
    setText(text);
}

void ListChange::redo()
{
    apply();
    m_madeBefore = true;
}

void ListChange::undo()
{
    revert();
}

// ---------------------------------------------------------------------------

InsertEntries::InsertEntries(EntryListModel &list, int row, QList<ListEntry> entries, const QString &text)
    : ListChange(list, text), m_row(row), m_entries(std::move(entries))
{
    setObsolete(m_entries.isEmpty());
}

void InsertEntries::apply()
{
    list().insertEntries(m_row, m_entries);
    if (madeBefore())
        list().showEntry(m_row);
}

void InsertEntries::revert()
{
    list().removeEntries(m_row, int(m_entries.size()));
}

LoadSample::LoadSample(EntryListModel &list, HeaderFields &header, int row, QList<ListEntry> entries,
                       HeaderValues before, HeaderValues after)
    : InsertEntries(list, row, std::move(entries), QStringLiteral("Load Sample Data")), m_header(header),
      m_before(std::move(before)), m_after(std::move(after))
{
    setObsolete(isObsolete() && m_before == m_after);
}

void LoadSample::apply()
{
    m_header.setHeaderValues(m_after);
    InsertEntries::apply();
}

void LoadSample::revert()
{
    InsertEntries::revert();
    m_header.setHeaderValues(m_before);
}

RemoveEntries::RemoveEntries(EntryListModel &list, int row, QList<ListEntry> removed)
    : ListChange(list, QStringLiteral("Delete")), m_row(row), m_removed(std::move(removed))
{
    setObsolete(m_removed.isEmpty());
}

void RemoveEntries::apply()
{
    list().removeEntries(m_row, int(m_removed.size()));
}

void RemoveEntries::revert()
{
    list().insertEntries(m_row, m_removed);
    list().showEntry(m_row);
}

SetEntryField::SetEntryField(EntryListModel &list, int row, EntryField field, QString before, QString after)
    : ListChange(list, QString()), m_row(row), m_field(field), m_before(std::move(before)), m_after(std::move(after))
{
    if (field == EntryField::Done)
        setText(m_after == kDoneMark ? QStringLiteral("Check As Done") : QStringLiteral("Uncheck As Done"));
    else
        setText(QStringLiteral("Edit %1").arg(fieldCaption(field)));
    setObsolete(m_before == m_after);
}

void SetEntryField::apply()
{
    list().setEntryField(m_row, m_field, m_after);
    list().showEntry(m_row);
}

void SetEntryField::revert()
{
    list().setEntryField(m_row, m_field, m_before);
    list().showEntry(m_row);
}

MoveEntry::MoveEntry(EntryListModel &list, int from, int to)
    : ListChange(list, to < from ? QStringLiteral("Move Up") : QStringLiteral("Move Down")), m_from(from), m_to(to)
{
    setObsolete(from == to);
}

void MoveEntry::apply()
{
    list().moveEntry(m_from, m_to);
    list().showEntry(m_to);
}

void MoveEntry::revert()
{
    list().moveEntry(m_to, m_from);
    list().showEntry(m_from);
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

SortByDueDate::SortByDueDate(EntryListModel &list, const QLocale &locale)
    : ListChange(list, QStringLiteral("Sort by Due Date"))
{
    m_order = dueDateOrder(list.entries(), locale);
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
    list().reorderEntries(m_order);
}

void SortByDueDate::revert()
{
    list().reorderEntries(m_inverse);
}

} // namespace quorbel
