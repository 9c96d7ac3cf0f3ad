#include "ListMenu.h"

#include "EntryListView.h"

#include <QAction>
#include <QMenu>
#include <QUndoStack>

namespace quorbel {
namespace {

QAction *makeAction(QWidget &owner, const char *name, const QString &text, const QList<QKeySequence> &keys,
                    Qt::ShortcutContext context)
{
    auto *action = new QAction(text, &owner);
    action->setObjectName(QLatin1String(name));
    action->setShortcuts(keys);
    action->setShortcutContext(context);
    action->setShortcutVisibleInContextMenu(true);
    owner.addAction(action);
    return action;
}

// "Undo" or "Redo" followed by what it would undo or redo.
void followStack(QAction *action, const QString &verb, const QString &changeText, bool enabled)
{
    action->setText(changeText.isEmpty() ? verb : verb + QLatin1Char(' ') + changeText);
    action->setEnabled(enabled);
}

} // namespace

ListMenu makeListMenu(QWidget &window, EntryListView &list, const QUndoStack &undoStack)
{
    ListMenu m;
    const QString undo = QStringLiteral("Undo");
    const QString redo = QStringLiteral("Redo");
    m.undo = makeAction(window, "mnuUndo", undo, {QKeySequence(Qt::CTRL | Qt::Key_Z)}, Qt::WindowShortcut);
    m.redo = makeAction(window, "mnuRedo", redo,
                        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)},
                        Qt::WindowShortcut);
    m.edit = makeAction(list, "mnuEdit", QStringLiteral("Edit"), {QKeySequence(Qt::Key_F2)}, Qt::WidgetShortcut);
    m.moveUp = makeAction(list, "mnuMoveUp", QStringLiteral("Move Up"), {QKeySequence(Qt::ALT | Qt::Key_Up)},
                          Qt::WidgetShortcut);
    m.moveDown = makeAction(list, "mnuMoveDown", QStringLiteral("Move Down"), {QKeySequence(Qt::ALT | Qt::Key_Down)},
                            Qt::WidgetShortcut);
    m.sortByDueDate = makeAction(list, "mnuSortByDueDate", QStringLiteral("Sort by Due Date"),
                                 {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)}, Qt::WidgetShortcut);
    m.deleteSelected = makeAction(list, "mnuDeleteSelected", QStringLiteral("Delete Selected"),
                                  {QKeySequence(Qt::Key_Delete)}, Qt::WidgetShortcut);

    followStack(m.undo, undo, undoStack.undoText(), undoStack.canUndo());
    followStack(m.redo, redo, undoStack.redoText(), undoStack.canRedo());
    QObject::connect(&undoStack, &QUndoStack::indexChanged, m.undo, [m, undo, redo, &undoStack] {
        followStack(m.undo, undo, undoStack.undoText(), undoStack.canUndo());
        followStack(m.redo, redo, undoStack.redoText(), undoStack.canRedo());
    });

    m.menu = new QMenu(&window);
    m.menu->setObjectName(QStringLiteral("mnuList"));
    m.menu->setAccessibleName(QStringLiteral("To Do List Entries"));
    m.menu->addAction(m.undo);
    m.menu->addAction(m.redo);
    m.menu->addSeparator();
    m.menu->addAction(m.edit);
    m.menu->addAction(m.moveUp);
    m.menu->addAction(m.moveDown);
    m.menu->addAction(m.sortByDueDate);
    m.menu->addSeparator();
    m.menu->addAction(m.deleteSelected);
    list.setContextMenu(m.menu);
    return m;
}

} // namespace quorbel
