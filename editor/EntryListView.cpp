#include "EntryListView.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include <limits>

namespace quorbel {
namespace {

// The width of the current cell's frame, in pixels.
constexpr int kCellFrameWidth = 2;

// Edits a text cell with a line edit named after its column, and hands the
// committed text to the view's cellEdited instead of writing it into the
// row: the window makes the change, so that it can be undone.
class CellDelegate final : public QStyledItemDelegate {
public:
    explicit CellDelegate(EntryListView *view) : QStyledItemDelegate(view), m_view(view) {}

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override
    {
        QWidget *editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto *line = qobject_cast<QLineEdit *>(editor)) {
            // Any text the row holds fits, however long.
            line->setMaxLength(std::numeric_limits<int>::max());
            line->setAccessibleName(fieldCaption(EntryField(index.column())));
            line->setObjectName(QStringLiteral("cellEditor"));
        }
        return editor;
    }

    void setModelData(QWidget *editor, QAbstractItemModel *, const QModelIndex &index) const override
    {
        const auto *line = qobject_cast<const QLineEdit *>(editor);
        if (!line || !index.isValid())
            return;
        const QString text = line->text();
        if (text != index.data(Qt::DisplayRole).toString())
            emit m_view->cellEdited(index.row(), EntryField(index.column()), text);
    }

private:
    EntryListView *m_view;
};

} // namespace

EntryListView::EntryListView(EntryListModel &list, QWidget *parent)
    : QTreeView(parent), m_list(list)
{
    setModel(&list);
    setItemDelegate(new CellDelegate(this));
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    // The frame of paintEvent marks the current cell; the selection marks
    // its row.
    setAllColumnsShowFocus(false);
    // Rows move within the list by the mouse (see mouseMoveEvent); nothing
    // is dropped in from elsewhere.
    setDragEnabled(false);
    setAcceptDrops(false);
    setDragDropMode(QAbstractItemView::NoDragDrop);

    // After the view's own handling of each change (connected by setModel).
    connect(&list, &QAbstractItemModel::rowsInserted, this, &EntryListView::keepCurrentRow);
    connect(&list, &QAbstractItemModel::rowsRemoved, this, &EntryListView::keepCurrentRow);
    connect(&list, &QAbstractItemModel::layoutChanged, this, &EntryListView::keepCurrentRow);
    connect(&list, &QAbstractItemModel::modelReset, this, &EntryListView::keepCurrentRow);
    // A row the user deselects (Ctrl+click) is selected again once the
    // click is over.
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, &EntryListView::keepCurrentRow,
            Qt::QueuedConnection);
    connect(&list, &EntryListModel::entryShown, this, [this](int row) { setCurrentCell(row, currentField()); });
}

void EntryListView::keepCurrentRow()
{
    if (m_list.entryCount() == 0 || selectionModel()->hasSelection())
        return;
    const QModelIndex current = currentIndex();
    setCurrentIndex(current.isValid() ? current : m_list.index(0, 0));
}

int EntryListView::currentRow() const
{
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.constFirst().row();
}

EntryField EntryListView::currentField() const
{
    const QModelIndex index = currentIndex();
    return index.isValid() ? EntryField(index.column()) : EntryField::DueBy;
}

void EntryListView::setCurrentCell(int row, EntryField field)
{
    const QModelIndex cell = m_list.index(row, int(field));
    if (!cell.isValid())
        return;
    selectionModel()->setCurrentIndex(cell, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(cell);
}

void EntryListView::editCurrentCell()
{
    const QModelIndex index = currentIndex();
    if (!index.isValid() || isEditing() || !(index.flags() & Qt::ItemIsEditable))
        return;
    scrollTo(index);
    QAbstractItemView::edit(index);
}

void EntryListView::commitOpenEditor()
{
    if (!isEditing())
        return;
    if (QWidget *editor = indexWidget(currentIndex())) {
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

void EntryListView::closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint)
{
    if (hint == QAbstractItemDelegate::EditNextItem || hint == QAbstractItemDelegate::EditPreviousItem)
        hint = QAbstractItemDelegate::NoHint;
    QTreeView::closeEditor(editor, hint);
}

void EntryListView::moveCurrentColumn(int step)
{
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return;
    const int column = qBound(0, current.column() + step, m_list.columnCount() - 1);
    const QModelIndex next = current.sibling(current.row(), column);
    selectionModel()->setCurrentIndex(next, QItemSelectionModel::NoUpdate);
    scrollTo(next);
}

void EntryListView::keyPressEvent(QKeyEvent *event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (modifiers == Qt::NoModifier) {
            // The Return that closes an editor comes here too; it only
            // commits. On a Done cell it does nothing.
            if (!isEditing())
                editCurrentCell();
            event->accept();
            return;
        }
        break;
    case Qt::Key_Space:
        // From any column: the mark of the current entry.
        if (modifiers == Qt::NoModifier && currentIndex().isValid() && !isEditing()) {
            emit doneToggleRequested(currentIndex().row());
            event->accept();
            return;
        }
        break;
    case Qt::Key_Left:
    case Qt::Key_Right:
        if (modifiers == Qt::NoModifier) {
            moveCurrentColumn(event->key() == Qt::Key_Left ? -1 : 1);
            event->accept();
            return;
        }
        break;
    case Qt::Key_Escape:
        if (m_dragging) {
            endRowDrag();
            event->accept();
            return;
        }
        break;
    case Qt::Key_F10:
        if (modifiers == Qt::ShiftModifier) {
            openContextMenu();
            event->accept();
            return;
        }
        break;
    default:
        break;
    }
    QTreeView::keyPressEvent(event);
}

void EntryListView::mouseDoubleClickEvent(QMouseEvent *event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && index.isValid() && EntryField(index.column()) == EntryField::Done) {
        event->accept();
        emit doneToggleRequested(index.row());
        return;
    }
    QTreeView::mouseDoubleClickEvent(event);
}

void EntryListView::openContextMenu()
{
    if (!m_menu)
        return;
    const QModelIndex index = currentIndex();
    QPoint at;
    if (index.isValid()) {
        scrollTo(index);
        at = visualRect(index).bottomLeft();
    }
    m_menu->popup(viewport()->mapToGlobal(at));
}

void EntryListView::contextMenuEvent(QContextMenuEvent *event)
{
    if (!m_menu) {
        event->ignore();
        return;
    }
    event->accept();
    if (event->reason() == QContextMenuEvent::Mouse)
        m_menu->popup(event->globalPos());
    else
        openContextMenu();
}

int EntryListView::dropRow(QPoint position) const
{
    const QModelIndex index = indexAt(position);
    if (!index.isValid())
        return m_list.entryCount();
    return position.y() < visualRect(index).center().y() ? index.row() : index.row() + 1;
}

void EntryListView::mousePressEvent(QMouseEvent *event)
{
    QTreeView::mousePressEvent(event);
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && index.isValid() && !isEditing()) {
        m_pressRow = index.row();
        m_pressPosition = event->position().toPoint();
    }
}

// With the left button held on a row the selection stays: moving the mouse
// further than the drag distance starts dragging that row.
void EntryListView::mouseMoveEvent(QMouseEvent *event)
{
    if (m_pressRow < 0 || !(event->buttons() & Qt::LeftButton)) {
        m_pressRow = -1;
        QTreeView::mouseMoveEvent(event);
        return;
    }
    const QPoint position = event->position().toPoint();
    if (!m_dragging) {
        if ((position - m_pressPosition).manhattanLength() < QApplication::startDragDistance())
            return;
        m_dragging = true;
        viewport()->setCursor(Qt::DragMoveCursor);
    }
    // Near an edge the list scrolls, so that a row goes anywhere in a long list.
    const int margin = qMax(4, viewport()->height() / 10);
    QScrollBar *bar = verticalScrollBar();
    if (position.y() < margin)
        bar->setValue(bar->value() - 1);
    else if (position.y() > viewport()->height() - margin)
        bar->setValue(bar->value() + 1);
    m_dropRow = dropRow(position);
    viewport()->update();
    event->accept();
}

void EntryListView::mouseReleaseEvent(QMouseEvent *event)
{
    if (!m_dragging || event->button() != Qt::LeftButton) {
        m_pressRow = -1;
        QTreeView::mouseReleaseEvent(event);
        return;
    }
    const int from = m_pressRow;
    const QPoint position = event->position().toPoint();
    const bool inside = viewport()->rect().contains(position);
    const int to = dropRow(position);
    endRowDrag();
    event->accept();
    if (inside)
        emit rowDropped(from, to);
}

void EntryListView::endRowDrag()
{
    m_pressRow = -1;
    m_dropRow = -1;
    if (m_dragging) {
        m_dragging = false;
        viewport()->unsetCursor();
        viewport()->update();
    }
}

void EntryListView::focusOutEvent(QFocusEvent *event)
{
    endRowDrag();
    QTreeView::focusOutEvent(event);
}

// The frame of the current cell, while the list has the focus, drawn over
// the selected row in the colour of its text; and the line between the rows
// where a dragged row would go.
void EntryListView::paintEvent(QPaintEvent *event)
{
    QTreeView::paintEvent(event);
    QPainter painter(viewport());
    const QModelIndex current = currentIndex();
    if (hasFocus() && current.isValid() && !isEditing() && !m_dragging) {
        const bool selected = selectionModel()->isSelected(current);
        const QColor colour = palette().color(selected ? QPalette::HighlightedText : QPalette::Text);
        painter.setPen(QPen(colour, kCellFrameWidth, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        painter.setBrush(Qt::NoBrush);
        const qreal inset = kCellFrameWidth / 2.0;
        painter.drawRect(QRectF(visualRect(current)).adjusted(inset, inset, -inset, -inset));
    }
    if (!m_dragging || m_dropRow < 0)
        return;
    int y = 0;
    if (m_list.hasEntry(m_dropRow))
        y = visualRect(m_list.index(m_dropRow, 0)).top();
    else if (m_list.entryCount() > 0)
        y = visualRect(m_list.index(m_list.entryCount() - 1, 0)).bottom() + 1;
    // At the very top or bottom the line stays whole inside the list.
    y = qBound(1, y, viewport()->height() - 2);
    painter.setPen(QPen(palette().color(QPalette::Text), 2));
    painter.drawLine(0, y, viewport()->width(), y);
}

// Nothing dragged in from elsewhere is taken.
void EntryListView::dragEnterEvent(QDragEnterEvent *event)
{
    event->ignore();
}

void EntryListView::dragMoveEvent(QDragMoveEvent *event)
{
    event->ignore();
}

void EntryListView::dropEvent(QDropEvent *event)
{
    event->ignore();
}

} // namespace quorbel
