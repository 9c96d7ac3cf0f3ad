#pragma once

#include "Dialogs.h"

namespace quorbel {

// The real program's boxes and save dialog (QMessageBox, QFileDialog).
class WidgetDialogs final : public Dialogs {
public:
    BoxAnswer showBox(const Box &box) override;
    QString getSaveFileName(const QString &title, const QString &filter) override;
};

} // namespace quorbel
