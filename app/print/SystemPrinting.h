#pragma once

#include "Printing.h"

#include <QPrintDialog>

#include <memory>

class QPrinter;
class QWidget;

namespace quorbel {

// The real program's printing: Qt's print dialog, which lists the CUPS
// queues and offers printing to a PDF file, and jobs handed to CUPS
// (libcups) as they are, so a queue that takes PDF gets its text as text.
class SystemPrinting final : public Printing {
public:
    // The paper offered is the default queue's own paper, else `paperMm`.
    std::optional<PrintChoice> choosePrinter(const QString &title, QSizeF paperMm) override;
    // Through the CUPS server the user's configuration names (CUPS_SERVER,
    // client.conf), waiting at most kConnectMs to connect and kTimeoutSeconds
    // for each answer.
    int printFile(const PrintChoice &choice, const QString &pdf, const QString &title) override;

    static constexpr int kConnectMs = 10'000;
    static constexpr double kTimeoutSeconds = 30.0;
};

// The print dialog choosePrinter shows, for `printer`, not yet shown. Its
// print button takes the output file's name as it is: Qt's own check opens
// that file for writing through whatever link stands at the name and asks
// its own overwrite question, where the program asks its question and
// writes the file itself, never through a link. The dialog still refuses an
// empty name and a folder.
std::unique_ptr<QPrintDialog> makePrintDialog(QPrinter &printer, QWidget *parent);

// What a print dialog closed with on `printer`.
PrintChoice printChoiceOf(QPrinter &printer);

} // namespace quorbel
