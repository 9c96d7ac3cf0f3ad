#pragma once

#include <QLineEdit>

class QFocusEvent;
class QMouseEvent;

namespace quorbel {

// A text box whose whole text is selected whenever it receives the focus
// from the keyboard or the mouse, so that typing replaces it. The mouse press
// that brings the focus does not undo the selection. Focus coming back with
// the window or after a popup menu leaves the cursor where it was.
class SelectAllLineEdit : public QLineEdit {
public:
    using QLineEdit::QLineEdit;

protected:
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    bool m_keepSelectionOnPress = false;
};

} // namespace quorbel
