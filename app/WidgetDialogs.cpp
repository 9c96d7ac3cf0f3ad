#include "WidgetDialogs.h"

#include "Title.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace quorbel {

QString boxDisplayText(const QString &text)
{
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

std::unique_ptr<QMessageBox> makeMessageBox(const Box &box, QWidget *parent)
{
    auto message = std::make_unique<QMessageBox>(parent);
    message->setIcon(box.icon == BoxIcon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon);
    message->setWindowTitle(box.title.isEmpty() ? applicationTitle() : box.title);
    // Descriptions come from files, the settings and the office: a text that
    // looks like markup is still shown as it is.
    message->setTextFormat(Qt::PlainText);
    message->setText(boxDisplayText(box.text));
    if (box.buttons == BoxButtons::YesNo) {
        message->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        message->setDefaultButton(box.defaultButton == BoxAnswer::No ? QMessageBox::No : QMessageBox::Yes);
        message->setEscapeButton(QMessageBox::No);
    } else {
        message->setStandardButtons(QMessageBox::Ok);
        message->setDefaultButton(QMessageBox::Ok);
    }
    return message;
}

BoxAnswer WidgetDialogs::showBox(const Box &box)
{
    const std::unique_ptr<QMessageBox> message = makeMessageBox(box, QApplication::activeWindow());
    const int result = message->exec();
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
