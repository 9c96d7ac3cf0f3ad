#include "Snapshot.h"

#include "ErrorReport.h"
#include "Failure.h"
#include "InstanceFailure.h"
#include "FileProcs.h"
#include "Offices.h"

#include <QFile>
#include <QLocale>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <limits>

namespace quorbel {
namespace {

using xl::use;

// Creates the picture file: a new file of this user's only, never through a
// link and never over a file already there. Returns its descriptor.
int createPictureFile(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        throw Failure(QStringLiteral("The picture could not be written to %1: %2")
                          .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    return fd;
}

// Writes `bytes` to a new picture file at `path`; a file not completely
// written is removed again.
void writePictureFile(const QString &path, const QByteArray &bytes)
{
    const int fd = createPictureFile(path);
    int error = writeAll(fd, bytes.constData(), bytes.size());
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error != 0) {
        ::unlink(QFile::encodeName(path).constData());
        throw Failure(QStringLiteral("The picture could not be written to %1: %2")
                          .arg(path, QString::fromLocal8Bit(std::strerror(error))));
    }
}

} // namespace

void saveCellsActivesheet(xl::XlWorkbook &workbook, const QString &path, Dialogs &dialogs, const CancellationToken *cancel)
{
    // A lost instance ends the procedure: every later step would only fail
    // the same way. The caller learns of it and reports it once.
    Steps steps(dialogs, QStringLiteral("Excel1.saveCellsActivesheet"), {&instanceLost});
    steps.stopWhenCancelled(cancel);
    std::shared_ptr<xl::XlWorksheet> sheet;
    int lastRow = 0;
    int lastColumn = 0;

    // An older picture must never pass for this one; the new one is made
    // only as a new file, so one that cannot be removed stops it.
    ::unlink(QFile::encodeName(path).constData());

    // The used range is worked out once (each time costs the office a walk
    // over the sheet's cells and formats) and read by the steps after it;
    // nothing changes the sheet between them.
    std::shared_ptr<xl::XlRange> used;
    const auto usedRange = [&]() -> xl::XlRange & {
        if (!used)
            used = use(sheet, "worksheet").UsedRange();
        return use(used, "used range");
    };
    steps(100, [&] { sheet = workbook.ActiveSheet(); });
    steps(102, [&] {
        const auto rows = usedRange().Rows();
        lastRow = use(use(rows, "rows").Item(rows->count()), "row").Row();
    });
    steps(104, [&] {
        const auto columns = usedRange().Columns();
        lastColumn = use(use(columns, "columns").Item(columns->count()), "column").Column();
    });
    bool large = true;
    steps(106, [&] { large = lastRow > 1 && lastColumn > 1; });
    if (large && !steps.stopped()) {
        // The office's own pages, which the preview draws at whatever size
        // it shows them.
        QByteArray picture;
        steps(110, [&] { picture = usedRange().Picture(); });
        steps(112, [&] {
            if (picture.isEmpty())
                throw Failure(QStringLiteral("No picture of the cells was made, so none was written to %1.").arg(path));
            writePictureFile(path, picture);
        });
    }
    if (steps.stopped())
        steps.stop().rethrow();
}

std::unique_ptr<xl::XlApplication> OpenInNewInstance(Offices &offices, const QString &path)
{
    auto application = offices.createApplication();
    // On failure the instance ends with `application`.
    application->Workbooks()->Open(path);
    return application;
}

int WorkbookSaveFormat(Offices &offices)
{
    auto instance = offices.createApplication();
    const int format = WorkbookSaveFormat(*instance);
    instance->Quit();
    return format;
}

int WorkbookSaveFormat(xl::XlApplication &application)
{
    const QString version = application.Version();

    bool ok = false;
    const double number = QLocale().toDouble(LocaliseDecimalSeparators(version), &ok);
    if (!ok || !std::isfinite(number))
        throw Failure(QStringLiteral("The spreadsheet application's version \"%1\" is not a number.").arg(version));
    const double whole = std::nearbyint(number);  // halves to even
    if (whole < std::numeric_limits<qint16>::min() || whole > std::numeric_limits<qint16>::max())
        throw Failure(QStringLiteral("The spreadsheet application's version \"%1\" is out of range.").arg(version));
    return qint16(whole) > 11 ? xl::xlExcel8 : xl::xlWorkbookNormal;
}

QChar DecimalSeparator()
{
    const QString half = QLocale().toString(1.0 / 2.0).trimmed();
    return half.size() > 1 ? half.at(1) : QLatin1Char('.');
}

QString LocaliseDecimalSeparators(const QString &text)
{
    const QChar separator = DecimalSeparator();
    QString result = text;
    result.replace(QLatin1Char('.'), separator);
    result.replace(QLatin1Char(','), separator);
    return result;
}

} // namespace quorbel
