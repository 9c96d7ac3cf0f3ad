#pragma once

class QAction;
class QMenu;
class QUndoStack;
class QWidget;

namespace quorbel {

class EntryListView;

// The to-do list's context menu and the keys of its items. Undo and Redo
// work anywhere in the window except in a text field, which keeps its own
// text undo; the other keys work while the list has the focus. Each item
// shows its key; Undo and Redo name the change they undo or redo ("Undo
// Delete") and are enabled only when there is one.
struct ListMenu {
    QAction *undo = nullptr;           // Ctrl+Z
    QAction *redo = nullptr;           // Ctrl+Shift+Z, Ctrl+Y
    QAction *edit = nullptr;           // F2 (Enter and a double-click too)
    QAction *moveUp = nullptr;         // Alt+Up
    QAction *moveDown = nullptr;       // Alt+Down
    QAction *sortByDueDate = nullptr;  // Ctrl+Shift+S
    QAction *deleteSelected = nullptr; // Delete
    QMenu *menu = nullptr;
};

// Makes the items in `window` (which owns them) and gives the menu to `list`.
ListMenu makeListMenu(QWidget &window, EntryListView &list, const QUndoStack &undoStack);

} // namespace quorbel
