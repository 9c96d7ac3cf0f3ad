#include "WidgetDialogs.h"

#include "Title.h"

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QScreen>

#include <algorithm>

namespace quorbel {
namespace {

// Qt gives a message box at most half the screen (and no more than 500
// pixels) and wraps every longer line; how much of that width goes to the
// text differs between Qt versions and styles. The program's boxes carry
// lines that must be read whole (the location line of an error report, a
// file path), so a box grows until its longest line fits, up to the width of
// the screen; only a line longer than the screen wraps.
class MessageBox final : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void showEvent(QShowEvent *event) override
    {
        QMessageBox::showEvent(event);
        fitLongestLine(true);
    }

    // Qt sizes the box anew at every layout request (a changed text, style
    // or font); the box then grows again.
    bool event(QEvent *event) override
    {
        const bool done = QMessageBox::event(event);
        if (event->type() == QEvent::LayoutRequest && isVisible())
            fitLongestLine(false);
        return done;
    }

private:
    void fitLongestLine(bool centre)
    {
        auto *label = findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
        QLayout *grid = layout();
        if (!label || !grid || !screen())
            return;
        const QRect available = screen()->availableGeometry();
        const int frame = std::max(0, frameGeometry().width() - geometry().width());
        const int limit = available.width() - frame;

        // The width the box needs with every line whole.
        label->setWordWrap(false);
        grid->activate();
        const int needed = grid->totalMinimumSize().width();
        int boxWidth = std::max(width(), needed);
        if (needed > limit) {
            label->setWordWrap(true);
            boxWidth = limit;
        }
        grid->activate();
        const int boxHeight = grid->hasHeightForWidth() ? grid->totalHeightForWidth(boxWidth)
                                                        : grid->totalMinimumSize().height();
        // The label's changes above asked for another layout request.
        QCoreApplication::removePostedEvents(this, QEvent::LayoutRequest);
        if (boxWidth == width() && boxHeight == height())
            return;
        const QPoint middle = geometry().center();
        setFixedSize(boxWidth, boxHeight);
        if (!centre)
            return;
        // Keep the box where Qt centred it, and on the screen.
        const int frameHeight = std::max(0, frameGeometry().height() - geometry().height());
        const int x = std::max(available.left(),
                               std::min(middle.x() - boxWidth / 2, available.right() + 1 - boxWidth - frame));
        const int y = std::max(available.top(),
                               std::min(middle.y() - boxHeight / 2, available.bottom() + 1 - boxHeight - frameHeight));
        move(x, y);
    }
};

} // namespace

QString boxDisplayText(const QString &text)
{
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

std::unique_ptr<QMessageBox> makeMessageBox(const Box &box, QWidget *parent)
{
    std::unique_ptr<QMessageBox> message = std::make_unique<MessageBox>(parent);
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

SaveChoice WidgetDialogs::getSaveFileName(const QString &title, const QStringList &filters)
{
    // The program asks its own overwrite question, and uses the name as given.
    QFileDialog dialog(QApplication::activeWindow(), title);
    dialog.setNameFilters(filters);
    if (!filters.isEmpty())
        dialog.selectNameFilter(filters.constFirst());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.selectFile(QString());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {QString(), dialog.selectedNameFilter()};
    return {dialog.selectedFiles().constFirst(), dialog.selectedNameFilter()};
}

} // namespace quorbel
