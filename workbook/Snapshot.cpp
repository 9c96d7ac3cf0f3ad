#include "Snapshot.h"

#include "ErrorReport.h"
#include "Failure.h"
#include "SheetPicture.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QLocale>
#include <QMimeData>
#include <QSaveFile>

#include <cmath>
#include <functional>
#include <limits>
#include <optional>

namespace quorbel {
namespace {

using xl::use;

constexpr int kClipboardRequests = 1000;

QImage readSystemClipboard(int /*format*/)
{
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return {};
    return QGuiApplication::clipboard()->image();
}

ClipboardSource &clipboardSource()
{
    static ClipboardSource source;
    return source;
}

} // namespace

void saveCellsActivesheet(xl::XlWorkbook &workbook, const QString &path)
{
    Steps reportingSteps(QStringLiteral("Excel1.saveCellsActivesheet"));
    std::shared_ptr<xl::XlWorksheet> sheet;
    int lastRow = 0;
    int lastColumn = 0;

    // A lost instance ends the procedure: every later step would only fail
    // the same way. The caller learns of it and reports it once.
    std::optional<Failure> lost;
    const auto steps = [&](int number, const std::function<void()> &statement) {
        if (lost)
            return false;
        return reportingSteps(number, [&] {
            try {
                statement();
            } catch (const Failure &failure) {
                if (!failure.instanceLost())
                    throw;
                lost = failure;
            }
        });
    };

    // An older picture must never pass for this one.
    if (QFile::exists(path))
        QFile::remove(path);

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
    if (large && !lost) {
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
            const QByteArray sheetPicture = GetClipboardSheetPicture();
            if (!sheetPicture.isEmpty()) {
                QSaveFile file(path);
                if (!file.open(QIODevice::WriteOnly) || file.write(sheetPicture) != sheetPicture.size() || !file.commit())
                    throw Failure(QStringLiteral("The picture could not be written to %1: %2").arg(path, file.errorString()));
                return;
            }
            const QImage picture = GetClipboardPicture(0);
            if (picture.isNull())
                throw Failure(QStringLiteral("The clipboard holds no picture of the cells."));
            // Opaque 24-bit pixels: the form every picture reader takes. Qt
            // writes a 32-bit picture as a 24-bit BMP, byte for byte what
            // a 24-bit one gives, and many times faster.
            if (!picture.convertToFormat(QImage::Format_RGB32).save(path, "BMP")) {
                QFile::remove(path);
                throw Failure(QStringLiteral("The picture could not be written to %1.").arg(path));
            }
        });
    }
    if (lost)
        throw *lost;
}

std::unique_ptr<xl::XlApplication> OpenInNewInstance(const QString &path)
{
    auto application = xl::CreateApplication();
    // On failure the instance ends with `application`.
    application->Workbooks()->Open(path);
    return application;
}

int WorkbookSaveFormat(xl::XlApplication *application)
{
    QString version;
    if (application) {
        version = application->Version();
    } else {
        auto instance = xl::CreateApplication();
        version = instance->Version();
        instance->Quit();
    }

    bool ok = false;
    const double number = QLocale().toDouble(LocaliseDecimalSeparators(version), &ok);
    if (!ok || !std::isfinite(number))
        throw Failure(QStringLiteral("The spreadsheet application's version \"%1\" is not a number.").arg(version));
    const double whole = std::nearbyint(number);  // halves to even
    if (whole < std::numeric_limits<qint16>::min() || whole > std::numeric_limits<qint16>::max())
        throw Failure(QStringLiteral("The spreadsheet application's version \"%1\" is out of range.").arg(version));
    return qint16(whole) > 11 ? xl::xlExcel8 : xl::xlWorkbookNormal;
}

QImage GetClipboardPicture(int format)
{
    const ClipboardSource &source = clipboardSource();
    for (int request = 0; request < kClipboardRequests; ++request) {
        QImage picture = source ? source(format) : readSystemClipboard(format);
        if (!picture.isNull())
            return picture;
    }
    return {};
}

QByteArray GetClipboardSheetPicture()
{
    if (clipboardSource() || !qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return {};
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    if (!data || !data->hasFormat(SheetPicture::kMimeType))
        return {};
    QByteArray bytes = data->data(SheetPicture::kMimeType);
    return SheetPicture::looksLikePicture(bytes) ? bytes : QByteArray();
}

void setClipboardSource(ClipboardSource source)
{
    clipboardSource() = std::move(source);
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
