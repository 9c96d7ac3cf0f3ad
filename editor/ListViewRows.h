#pragma once

#include "ListChanges.h"

class QDateEdit;
class QLineEdit;
class QTreeWidget;

namespace quorbel {

class EntryListView;

// The list's changes made on the main window's controls: the rows of its
// list view and its three header fields (setting a header field runs its
// change handler, which writes it to the store, as any other change does).
class ListViewRows final : public ListRows {
public:
    ListViewRows(EntryListView &list, QDateEdit &deadline, QLineEdit &completedBy, QLineEdit &projectName);

    int rowCount() const override;
    ListEntry rowEntry(int row) const override;
    void insertRows(int row, const QList<ListEntry> &entries) override;
    void removeRows(int row, int count) override;
    void setRowField(int row, EntryField field, const QString &text) override;
    void moveRow(int from, int to) override;
    void reorderRows(const QList<int> &order) override;
    void setCurrentRow(int row) override;

    HeaderValues headerValues() const override;
    void setHeaderValues(const HeaderValues &values) override;

private:
    EntryListView &m_list;
    QDateEdit &m_deadline;
    QLineEdit &m_completedBy;
    QLineEdit &m_projectName;
};

// The list keeps a current (selected) row while it has rows: when none is
// selected, the current item, or else the first row, is selected again.
void keepCurrentRow(QTreeWidget &list);

} // namespace quorbel
