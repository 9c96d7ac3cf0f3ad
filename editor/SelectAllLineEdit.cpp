#include "SelectAllLineEdit.h"

#include <QFocusEvent>
#include <QMouseEvent>

namespace quorbel {

void SelectAllLineEdit::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    switch (event->reason()) {
    case Qt::MouseFocusReason:
        // The press that follows would put the cursor where the mouse is.
        m_keepSelectionOnPress = true;
        selectAll();
        break;
    case Qt::TabFocusReason:
    case Qt::BacktabFocusReason:
    case Qt::ShortcutFocusReason:
    case Qt::OtherFocusReason:
        selectAll();
        break;
    default:
        // The window coming back, or a popup menu closing: the user was in
        // the middle of this text, so leave the cursor where it was.
        break;
    }
}

void SelectAllLineEdit::focusOutEvent(QFocusEvent *event)
{
    m_keepSelectionOnPress = false;
    QLineEdit::focusOutEvent(event);
}

void SelectAllLineEdit::mousePressEvent(QMouseEvent *event)
{
    QLineEdit::mousePressEvent(event);
    if (m_keepSelectionOnPress) {
        m_keepSelectionOnPress = false;
        selectAll();
    }
}

} // namespace quorbel
