#pragma once

#include <QDateEdit>

namespace quorbel {

// The deadline picker. Tab leaves the picker at once, as it leaves any other
// field; the arrow keys and the date separators move between its day, month
// and year.
class DeadlinePicker : public QDateEdit {
public:
    using QDateEdit::QDateEdit;

protected:
    bool focusNextPrevChild(bool next) override;
};

} // namespace quorbel
