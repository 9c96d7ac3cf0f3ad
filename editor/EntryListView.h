#pragma once

#include "EntryListModel.h"

#include <QTreeView>

class QMenu;

namespace quorbel {

// The to-do list's view: the list's model shown as a report of four
// columns, one row per entry, with a current cell (the arrow keys move it, a
// click puts it where it lands) that a frame marks on top of the selected
// row while the list has the focus.
//
// The list keeps a current (selected) row while it has rows: the first row
// when rows appear in an empty list, the row that moves into the gap after
// a delete (the new last row when the last one went), and a row the user
// deselects is selected again. An entry the model shows (entryShown)
// becomes current, in the current column.
//
// What it offers the window, each as a signal the window turns into a
// change of the list (the view never changes the model itself):
// - a text cell (Due By, Project, Notes) is edited in place after F2, Enter
//   or a double-click; Enter or leaving the cell commits (cellEdited),
//   Escape cancels. On a Done cell F2 and Enter do nothing: it has no
//   editor;
// - Space, from any column of the current row, or a double-click on a Done
//   cell asks for that entry's mark to be switched (doneToggleRequested);
// - a row dragged with the mouse within the list and let go between two
//   rows asks to move there (rowDropped); a line shows where it would go,
//   and Escape or letting go outside the list cancels. The list takes no
//   drop from elsewhere, and nothing is dragged out of it;
// - the Menu key, Shift+F10 or the right mouse button open the context menu
//   given to setContextMenu, by the current row or under the mouse.
class EntryListView final : public QTreeView {
    Q_OBJECT

public:
    // Shows `list`, which outlives the view.
    explicit EntryListView(EntryListModel &list, QWidget *parent = nullptr);

    EntryListModel &entries() const { return m_list; }
    // The current row, -1 when there is none.
    int currentRow() const;
    // The current cell's column (Due By when there is no current cell).
    EntryField currentField() const;
    // Makes the cell of `row` in `field` current, its row selected.
    void setCurrentCell(int row, EntryField field);
    // Opens the current cell's editor; a Done cell has none.
    void editCurrentCell();
    // Commits the text of an editor still open (the window is about to be
    // read or closed).
    void commitOpenEditor();
    bool isEditing() const { return state() == EditingState; }

    void setContextMenu(QMenu *menu) { m_menu = menu; }
    // Shows the context menu by the current row (as the keyboard opens it).
    void openContextMenu();

    // Where a row let go at `position` (viewport coordinates) goes: the
    // number of the row it is put before (rowCount: after the last one).
    int dropRow(QPoint position) const;
    // True while a row is being dragged.
    bool isDraggingRow() const { return m_dragging; }

signals:
    void cellEdited(int row, quorbel::EntryField field, const QString &text);
    void doneToggleRequested(int row);
    void rowDropped(int from, int to);

protected:
    // Tab and Shift+Tab in an editor commit and close it, as Enter does;
    // they open no other cell's editor.
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void moveCurrentColumn(int step);
    void endRowDrag();
    void keepCurrentRow();

    EntryListModel &m_list;
    QMenu *m_menu = nullptr;
    int m_pressRow = -1;     // the row the left button went down on, -1 when none
    QPoint m_pressPosition;  // where, in viewport coordinates
    bool m_dragging = false; // that row is being dragged
    int m_dropRow = -1;      // where it would go (see dropRow)
};

} // namespace quorbel
