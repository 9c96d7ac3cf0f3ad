#pragma once

#include "Dialogs.h"

#include <memory>

class QMessageBox;
class QWidget;

namespace quorbel {

// The real program's boxes and save dialog (QMessageBox, QFileDialog).
class WidgetDialogs final : public Dialogs {
public:
    BoxAnswer showBox(const Box &box) override;
    SaveChoice getSaveFileName(const QString &title, const QStringList &filters) override;
};

// A box's text as the message box shows it: every "\r\n", bare "\r" and
// "\n" ends a line. Qt draws a bare carriage return as a space.
QString boxDisplayText(const QString &text);

// The message box for `box`, not yet shown: its text is always plain text,
// never markup, with the line breaks of boxDisplayText.
std::unique_ptr<QMessageBox> makeMessageBox(const Box &box, QWidget *parent);

} // namespace quorbel
