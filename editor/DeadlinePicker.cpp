#include "DeadlinePicker.h"

namespace quorbel {

bool DeadlinePicker::focusNextPrevChild(bool next)
{
    return QWidget::focusNextPrevChild(next);
}

} // namespace quorbel
