#include "Snapshot.h"

#include "ErrorReport.h"
#include "Failure.h"
#include "InstanceFailure.h"
#include "FileProcs.h"
#include "Offices.h"
#include "SheetPicture.h"

#include <QBuffer>
#include <QClipboard>
#include <QDeadlineTimer>
#include <QFile>
#include <QGuiApplication>
#include <QLocale>
#include <QMimeData>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <limits>

namespace quorbel {
namespace {

using xl::use;

constexpr int kClipboardRequests = 1000;
// However the requests go, the clipboard is read for no longer than this.
constexpr int kClipboardDeadlineMs = 3000;

// The picture object this program put on the clipboard, while the program
// still owns the clipboard; null for anything else. Nothing another
// program offers is read: its bytes are never parsed, and asking it could
// wait for an answer that does not come. (The offscreen platform has no
// other clients and reports no ownership.)
const SheetPictureMimeData *ownClipboardPicture()
{
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return nullptr;
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!clipboard->ownsClipboard() && QGuiApplication::platformName() != QLatin1String("offscreen"))
        return nullptr;
    // The office module, loaded at run time, carries its own copy of the
    // class: qobject_cast compares meta-objects by address and would miss
    // it, the C++ type check compares the class by name.
    return dynamic_cast<const SheetPictureMimeData *>(clipboard->mimeData());
}

QImage readSystemClipboard(int /*format*/)
{
    const SheetPictureMimeData *own = ownClipboardPicture();
    return own ? own->bitmap() : QImage();
}

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

void saveCellsActivesheet(xl::XlWorkbook &workbook, const QString &path, Dialogs &dialogs,
                          const CancellationToken *cancel, const ClipboardSource &clipboard)
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

    steps(100, [&] { sheet = workbook.ActiveSheet(); });
    steps(102, [&] {
        const auto rows = use(use(sheet, "worksheet").UsedRange(), "used range").Rows();
        lastRow = use(use(rows, "rows").Item(rows->count()), "row").Row();
    });
    steps(104, [&] {
        const auto columns = use(use(sheet, "worksheet").UsedRange(), "used range").Columns();
        lastColumn = use(use(columns, "columns").Item(columns->count()), "column").Column();
    });
    bool large = true;
    steps(106, [&] { large = lastRow > 1 && lastColumn > 1; });
    if (large && !steps.stopped()) {
        steps(110, [&] {
            // A picture that fails must not leave the clipboard's older
            // content to be saved as this sheet's picture.
            if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
                QGuiApplication::clipboard()->clear();
            use(use(sheet, "worksheet").UsedRange(), "used range").CopyPicture();
        });
        steps(112, [&] {
            // The office's own pages, when the clipboard has them: the
            // preview draws them at whatever size it shows them.
            const QByteArray sheetPicture = clipboard ? QByteArray() : GetClipboardSheetPicture();
            if (!sheetPicture.isEmpty()) {
                writePictureFile(path, sheetPicture);
                return;
            }
            const QImage picture = GetClipboardPicture(0, cancel, clipboard);
            if (picture.isNull())
                throw Failure(QStringLiteral("The clipboard holds no picture of the cells."));
            // Opaque 24-bit pixels: the form every picture reader takes. Qt
            // writes a 32-bit picture as a 24-bit BMP, byte for byte what
            // a 24-bit one gives, and many times faster.
            QByteArray bmp;
            QBuffer buffer(&bmp);
            buffer.open(QIODevice::WriteOnly);
            if (!picture.convertToFormat(QImage::Format_RGB32).save(&buffer, "BMP"))
                throw Failure(QStringLiteral("The picture could not be written to %1.").arg(path));
            writePictureFile(path, bmp);
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

QImage GetClipboardPicture(int format, const CancellationToken *cancel, const ClipboardSource &source)
{
    const QDeadlineTimer deadline(kClipboardDeadlineMs);
    for (int request = 0; request < kClipboardRequests; ++request) {
        if (cancel)
            cancel->throwIfCancelled();
        QImage picture = source ? source(format) : readSystemClipboard(format);
        if (!picture.isNull())
            return picture;
        if (deadline.hasExpired())
            break;
    }
    return {};
}

QByteArray GetClipboardSheetPicture()
{
    const SheetPictureMimeData *own = ownClipboardPicture();
    if (!own || !own->sheetPicture())
        return {};
    return own->sheetPicture()->toBytes();
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
