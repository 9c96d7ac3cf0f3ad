#pragma once

#include "ListChanges.h"
#include "ListEntry.h"

#include <QTreeWidget>

class QMenu;

namespace quorbel {

// The to-do list's view: a report of four columns, one row per entry, with
// a current cell (the arrow keys move it, a click puts it where it lands).
//
// What it offers the window, each as a signal the window turns into a
// change of the list (the view never changes its rows itself):
// - a text cell (Due By, Project, Notes) is edited in place after F2, Enter
//   or a double-click; Enter or leaving the cell commits (cellEdited),
//   Escape cancels;
// - Space, Enter, F2 or a double-click on a Done cell asks for its mark to
//   be switched (doneToggleRequested);
// - a row dragged within the list and dropped between two rows asks to move
//   there (rowDropped); anything dragged in from elsewhere is refused;
// - the Menu key, Shift+F10 or the right mouse button open the context menu
//   given to setContextMenu, by the current row or under the mouse.
class EntryListView final : public QTreeWidget {
    Q_OBJECT

public:
    explicit EntryListView(QWidget *parent = nullptr);

    // A row for `entry`, not yet in the list, with the item flags every row
    // of the list carries (selectable, draggable, editable; nothing can be
    // dropped onto it).
    static QTreeWidgetItem *newRow(const ListEntry &entry);

    // The current cell's column (Due By when there is no current cell).
    EntryField currentField() const;
    // Opens the current cell's editor, or asks for the Done mark to be
    // switched when the current cell is a Done cell.
    void editCurrentCell();
    // Commits the text of an editor still open (the window is about to be
    // read or closed).
    void commitOpenEditor();
    bool isEditing() const { return state() == EditingState; }

    void setContextMenu(QMenu *menu) { m_menu = menu; }
    // Shows the context menu by the current row (as the keyboard opens it).
    void openContextMenu();

    // Where a row dropped at `position` (viewport coordinates) goes: the
    // number of the row it is put before (rowCount: after the last one).
    int dropRow(QPoint position) const;

signals:
    void cellEdited(int row, quorbel::EntryField field, const QString &text);
    void doneToggleRequested(int row);
    void rowDropped(int from, int to);

protected:
    bool edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    bool isOwnDrag(const QDropEvent *event) const;
    void moveCurrentColumn(int step);

    QMenu *m_menu = nullptr;
    int m_dragRow = -1; // the row being dragged from this list, -1 when none
};

} // namespace quorbel
