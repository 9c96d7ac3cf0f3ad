#include "OfficeSheetExporter.h"

#include "A1Reference.h"
#include "Failure.h"
#include "FileProcs.h"
#include "Offices.h"
#include "Spreadsheet.h"
#include "TemplateCells.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorbel {
namespace {

// The largest workbook copied byte for byte: far beyond a full sheet.
constexpr qint64 kMaxWorkbookBytes = 256 * 1024 * 1024;

void askCancel(const CancellationToken *cancel)
{
    if (cancel)
        cancel->throwIfCancelled();
}

// The workbook is read by the office only when it is the user's own
// regular file, never through a link planted in its place.
void checkWorkbook(const QString &path)
{
    struct stat info {};
    if (path.isEmpty() || ::lstat(QFile::encodeName(path).constData(), &info) != 0)
        throw Failure(QStringLiteral("The workbook %1 is no longer there.").arg(path));
    if (!S_ISREG(info.st_mode) || info.st_uid != ::geteuid())
        throw Failure(QStringLiteral("The workbook %1 is not a file of your own.").arg(path));
}

// The target is written only when it is new or a regular file of the
// user's own other than the workbook, which is then replaced: the office
// never writes through a link, into someone else's file or over the
// workbook it reads.
void checkTarget(const QString &path, const QString &workbook)
{
    if (path.isEmpty())
        throw Failure(QStringLiteral("No file name was given to write the workbook to."));
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0) {
        if (errno == ENOENT)
            return;
        throw Failure(QStringLiteral("Could not write %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    }
    if (!S_ISREG(info.st_mode) || info.st_uid != ::geteuid())
        throw Failure(QStringLiteral("Could not write %1: it is not a file of your own.").arg(path));
    struct stat source {};
    if (::lstat(QFile::encodeName(workbook).constData(), &source) == 0 && source.st_dev == info.st_dev
        && source.st_ino == info.st_ino)
        throw Failure(QStringLiteral("The workbook %1 cannot be written over itself.").arg(path));
}

// What a failed or cancelled export leaves: nothing at the target (which
// the checks found absent or the user's own file).
void removeTarget(const QString &path)
{
    ::unlink(QFile::encodeName(path).constData());
}

// The scratch workbook's bytes into the new file `path`.
void copyWorkbook(const QString &workbook, const QString &path)
{
    const QByteArray bytes = readOwnFile(workbook, kMaxWorkbookBytes);
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0)
        throw Failure(QStringLiteral("Could not write %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    int error = writeAll(fd, bytes.constData(), bytes.size());
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error != 0)
        throw Failure(QStringLiteral("Could not write %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(error))));
}

// A sheet set up to print on paper of `paperMm`: portrait, scaled to the
// width of one page and running over as many pages as its rows need, its
// used area only, the heading above the first entry row on every page.
void setUpForPaper(xl::XlWorksheet &sheet, QSizeF paperMm)
{
    const auto used = sheet.UsedRange();
    xl::CellBlock area;
    area.firstRow = used->Row();
    area.firstColumn = used->Column();
    area.lastRow = area.firstRow + used->Rows()->count() - 1;
    area.lastColumn = area.firstColumn + used->Columns()->count() - 1;

    const auto page = sheet.PageSetup();
    page->setOrientation(xl::xlPortrait);
    page->setPaperSize(paperMm);
    page->setFitToPagesWide(1);
    page->setFitToPagesTall(0);
    page->setPrintArea(xl::a1Reference(area));
    if (area.lastRow >= sheet::kFirstEntryRow)
        page->setPrintTitleRows(xl::a1Reference({1, 0, sheet::kFirstEntryRow - 1, 0}));
}

} // namespace

void OfficeSheetExporter::exportWorkbook(const QString &workbook, SheetFormat format, const QString &target,
                                         QSizeF paperMm, const CancellationToken *cancel)
{
    askCancel(cancel);
    checkWorkbook(workbook);
    checkTarget(target, workbook);
    if (format == SheetFormat::Pdf
        && !(std::isfinite(paperMm.width()) && std::isfinite(paperMm.height()) && paperMm.width() >= 1.0
             && paperMm.height() >= 1.0))
        throw Failure(QStringLiteral("The paper size %1 x %2 mm cannot be printed on.")
                          .arg(paperMm.width())
                          .arg(paperMm.height()));
    try {
        // The new file is written in a folder of the program's own beside
        // the target (mode 0700, removed with whatever is left in it) and
        // then renamed to the target, which replaces whatever was put there
        // meanwhile and never writes through it.
        const QFileInfo place(target);
        QTemporaryDir folder(place.absoluteDir().filePath(QStringLiteral(".quorbel-XXXXXX")));
        if (!folder.isValid())
            throw Failure(QStringLiteral("Could not write %1: %2").arg(target, folder.errorString()));
        const QString written = folder.filePath(QStringLiteral("new-") + place.fileName());
        if (format == SheetFormat::Xls)
            copyWorkbook(workbook, written);
        else
            convert(workbook, format, written, paperMm, cancel);
        if (::rename(QFile::encodeName(written).constData(), QFile::encodeName(target).constData()) != 0)
            throw Failure(QStringLiteral("Could not write %1: %2").arg(target, QString::fromLocal8Bit(std::strerror(errno))));
    } catch (...) {
        removeTarget(target);
        throw;
    }
}

void OfficeSheetExporter::convert(const QString &workbook, SheetFormat format, const QString &target, QSizeF paperMm,
                                  const CancellationToken *cancel)
{
    std::unique_ptr<xl::XlApplication> excel = m_offices.createApplication();
    // Every way out of here ends the instance: Quit closes what is open
    // without saving and never fails.
    struct QuitAtEnd {
        xl::XlApplication &application;
        ~QuitAtEnd() { application.Quit(); }
    } quitAtEnd {*excel};

    askCancel(cancel);
    const auto book = excel->Workbooks()->Open(workbook, true);
    askCancel(cancel);
    switch (format) {
    case SheetFormat::Xlsx:
        book->SaveAs(target, xl::xlOpenXMLWorkbook);
        break;
    case SheetFormat::Ods:
        book->SaveAs(target, xl::xlOpenDocumentSpreadsheet);
        break;
    case SheetFormat::Pdf: {
        const auto sheets = book->Worksheets();
        const int count = sheets->count();
        for (int index = 1; index <= count; ++index)
            setUpForPaper(*sheets->Item(index), paperMm);
        askCancel(cancel);
        book->ExportAsFixedFormat(xl::xlTypePDF, target);
        break;
    }
    case SheetFormat::Xls:
        break;
    }
}

} // namespace quorbel
