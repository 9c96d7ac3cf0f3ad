#pragma once

// Printing through the system's print queues: the print dialog that lists
// them, and the job handed to the queue chosen. The real program shows Qt's
// print dialog and hands jobs to CUPS; tests script both. Whoever prints is
// handed the instance to print with.

#include <QList>
#include <QSizeF>
#include <QString>

#include <optional>
#include <utility>

namespace quorbel {

// Where and how to print, as the user chose it in the print dialog.
struct PrintChoice {
    // The queue; empty when printing to a file.
    QString printer;
    // Printing to a file: the PDF file's name as given (the dialog asked no
    // overwrite question); empty when printing to a queue.
    QString file;
    // Copies of the whole document, at least 1.
    int copies = 1;
    // The paper chosen, width x height in millimetres, portrait.
    QSizeF paperMm;
    // The job's other options for the queue as the dialog set them (name
    // and value: the paper's name, both sides, page ranges, ...).
    QList<std::pair<QString, QString>> options;

    bool toFile() const { return printer.isEmpty(); }
};

class Printing {
public:
    virtual ~Printing() = default;

    // Shows the system's print dialog, modal. `paperMm` (width x height in
    // millimetres, portrait) is the paper offered where no queue names its
    // own (no queue at all, printing to a file). Returns what the user chose,
    // or nothing when the dialog was cancelled.
    virtual std::optional<PrintChoice> choosePrinter(const QString &title, QSizeF paperMm) = 0;

    // Hands the PDF file `pdf` as it is to the queue the choice names, as a
    // job called `title` with the choice's copies and options, and returns
    // the job's number. Throws Failure when the queue does not take it.
    virtual int printFile(const PrintChoice &choice, const QString &pdf, const QString &title) = 0;
};

} // namespace quorbel
