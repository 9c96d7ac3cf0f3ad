#include "SystemPrinting.h"

#include "Failure.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QMessageBox>
#include <QPrintEngine>
#include <QPrinter>
#include <QPrinterInfo>

#include <cups/cups.h>
#include <sys/socket.h>
#include <sys/stat.h>

namespace quorbel {
namespace {

// The job options Qt's dialog sets for CUPS (page ranges, pages per sheet,
// banners, ...), as name and value one after the other: a property of Qt's
// CUPS print engine.
constexpr auto kCupsOptions = QPrintEngine::PrintEnginePropertyKey(0xfe00);

class PrintDialog final : public QPrintDialog {
public:
    PrintDialog(QPrinter &printer, QWidget *parent) : QPrintDialog(&printer, parent)
    {
        // The print button accepts at once; done() checks the file name
        // once the dialog has set up the printer.
        for (QDialogButtonBox *buttons : findChildren<QDialogButtonBox *>(Qt::FindDirectChildrenOnly)) {
            QObject::disconnect(buttons, &QDialogButtonBox::accepted, this, nullptr);
            connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        }
    }

    void done(int result) override
    {
        if (result == QDialog::Accepted && printer()->outputFormat() == QPrinter::PdfFormat) {
            const QString file = printer()->outputFileName();
            struct stat info {};
            const bool folder = !file.isEmpty() && ::lstat(QFile::encodeName(file).constData(), &info) == 0
                && S_ISDIR(info.st_mode);
            if (file.isEmpty() || folder) {
                QMessageBox::warning(this, windowTitle(),
                                     folder ? tr("%1 is a folder.\nPlease choose a file name.").arg(file)
                                            : tr("Please choose a file name."));
                return;
            }
        }
        QPrintDialog::done(result);
    }
};

} // namespace

std::unique_ptr<QPrintDialog> makePrintDialog(QPrinter &printer, QWidget *parent)
{
    auto dialog = std::make_unique<PrintDialog>(printer, parent);
    // The whole sheet is printed: no selection, no current page.
    dialog->setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize
                       | QAbstractPrintDialog::PrintCollateCopies);
    return dialog;
}

PrintChoice printChoiceOf(QPrinter &printer)
{
    PrintChoice choice;
    if (printer.outputFormat() == QPrinter::PdfFormat)
        choice.file = printer.outputFileName();
    else
        choice.printer = printer.printerName().section(QLatin1Char('/'), 0, 0); // the queue, not its instance
    choice.copies = std::max(1, printer.copyCount());
    const QPageSize paper = printer.pageLayout().pageSize();
    const QSizeF size = paper.size(QPageSize::Millimeter);
    choice.paperMm = size.width() <= size.height() ? size : size.transposed();
    if (choice.toFile())
        return choice;

    if (paper.id() != QPageSize::Custom)
        choice.options.append({QStringLiteral("media"), paper.key()});
    if (choice.copies > 1 && printer.collateCopies())
        choice.options.append({QStringLiteral("Collate"), QStringLiteral("True")});
    switch (printer.duplex()) {
    case QPrinter::DuplexNone:
        choice.options.append({QStringLiteral("sides"), QStringLiteral("one-sided")});
        break;
    case QPrinter::DuplexAuto:
    case QPrinter::DuplexLongSide:
        choice.options.append({QStringLiteral("sides"), QStringLiteral("two-sided-long-edge")});
        break;
    case QPrinter::DuplexShortSide:
        choice.options.append({QStringLiteral("sides"), QStringLiteral("two-sided-short-edge")});
        break;
    }
    if (QPrintEngine *engine = printer.printEngine()) {
        const QStringList options = engine->property(kCupsOptions).toStringList();
        for (qsizetype i = 0; i + 1 < options.size(); i += 2)
            choice.options.append({options.at(i), options.at(i + 1)});
    }
    return choice;
}

std::optional<PrintChoice> SystemPrinting::choosePrinter(const QString &title, QSizeF paperMm)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(title);
    QPageSize paper(paperMm, QPageSize::Millimeter, QString(), QPageSize::FuzzyMatch);
    const QPrinterInfo queue = QPrinterInfo::defaultPrinter();
    if (!queue.isNull() && queue.defaultPageSize().isValid())
        paper = queue.defaultPageSize();
    printer.setPageSize(paper);
    printer.setPageOrientation(QPageLayout::Portrait);
    const std::unique_ptr<QPrintDialog> dialog = makePrintDialog(printer, QApplication::activeWindow());
    if (dialog->exec() != QDialog::Accepted)
        return std::nullopt;
    return printChoiceOf(printer);
}

int SystemPrinting::printFile(const PrintChoice &choice, const QString &pdf, const QString &title)
{
    if (choice.printer.isEmpty())
        throw Failure(QStringLiteral("No printer was chosen."));
    const QByteArray queue = choice.printer.toLocal8Bit();
    http_t *http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, kConnectMs, nullptr);
    if (!http)
        throw Failure(QStringLiteral("The print service at %1 cannot be reached, so nothing was printed on %2.")
                          .arg(QString::fromLocal8Bit(cupsServer()), choice.printer));
    httpSetTimeout(http, kTimeoutSeconds, nullptr, nullptr);

    cups_option_t *options = nullptr;
    int count = 0;
    count = cupsAddOption("copies", QByteArray::number(std::max(1, choice.copies)).constData(), count, &options);
    for (const auto &[name, value] : choice.options) {
        if (!name.isEmpty())
            count = cupsAddOption(name.toLocal8Bit().constData(), value.toLocal8Bit().constData(), count, &options);
    }
    const int job = cupsPrintFile2(http, queue.constData(), QFile::encodeName(pdf).constData(),
                                   title.toLocal8Bit().constData(), count, options);
    const QString error = QString::fromLocal8Bit(cupsLastErrorString());
    cupsFreeOptions(count, options);
    httpClose(http);
    if (job <= 0)
        throw Failure(QStringLiteral("The printer %1 did not take the sheet: %2").arg(choice.printer, error));
    return job;
}

} // namespace quorbel
