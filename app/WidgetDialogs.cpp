#include "WidgetDialogs.h"

#include "Title.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace quorbel {

BoxAnswer WidgetDialogs::showBox(const Box &box)
{
    QMessageBox message(box.icon == BoxIcon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon,
                        box.title.isEmpty() ? applicationTitle() : box.title, box.text,
                        QMessageBox::NoButton, QApplication::activeWindow());
    if (box.buttons == BoxButtons::YesNo) {
        message.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        message.setDefaultButton(box.defaultButton == BoxAnswer::No ? QMessageBox::No : QMessageBox::Yes);
        message.setEscapeButton(QMessageBox::No);
    } else {
        message.setStandardButtons(QMessageBox::Ok);
        message.setDefaultButton(QMessageBox::Ok);
    }
    const int result = message.exec();
    if (box.buttons == BoxButtons::YesNo)
        return result == QMessageBox::Yes ? BoxAnswer::Yes : BoxAnswer::No;
    return BoxAnswer::Ok;
}

QString WidgetDialogs::getSaveFileName(const QString &title, const QString &filter)
{
    // The program asks its own overwrite question, and uses the name as given.
    QFileDialog dialog(QApplication::activeWindow(), title, QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.selectFile(QString());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

} // namespace quorbel
