#include "WarmUp.h"

#include "CalcInternals.h"
#include "OwnFolder.h"

#include "Failure.h"
#include "FileProcs.h"
#include "PdfPage.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QLocale>

#include <algorithm>

namespace quorbel::lo {
namespace {

// Long enough for a first load or export on a busy machine (a few hundred
// milliseconds), short enough that a stopped office holds the window only
// a moment.
constexpr std::chrono::milliseconds kWarmCallLimit {3000};

} // namespace

std::chrono::milliseconds WarmUp::warmCallLimit(const OfficeConnection &office)
{
    return std::min(kWarmCallLimit, office.ordinaryCallLimit());
}

WarmUp::WarmUp(CalcApplication &application, QByteArray templateBytes)
    : m_application(application), m_templateBytes(std::move(templateBytes))
{
    OfficeConnection &office = m_application.session()->connection();
    office.setCallLimit(std::min(office.callLimit(), warmCallLimit(office)));
}

WarmUp::~WarmUp()
{
    try {
        finish();
    } catch (...) {
    }
}

bool WarmUp::step()
{
    xl::XlApplication &app = m_application;
    OfficeConnection &office = m_application.session()->connection();
    const auto file = [this](const char *name) { return QDir(m_folder).filePath(QLatin1String(name)); };
    switch (m_next) {
    case Open: {
        m_folder = QDir(office.scratchFolder()).filePath(QStringLiteral("warm-up"));
        if (!QDir().mkpath(m_folder))
            throw Failure(QStringLiteral("The folder %1 could not be made.").arg(m_folder));
        WriteBytesToFile(m_templateBytes, file("template.xlt"));
        m_workbook = app.Workbooks()->Open(file("template.xlt"), true);
        m_next = Fill;
        return false;
    }
    case Fill: {
        // What the command writes for two entries, in the same calls.
        const auto sheet = app.ActiveWorkbook()->Worksheets()->Item(1);
        sheet->Activate();
        app.Cells(1, 7)->setValue(QStringLiteral("Name"));
        app.Cells(2, 7)->setValue(QDate(2026, 12, 24));
        app.Cells(5, 3)->setValue(QStringLiteral("Project"));
        for (int row = 6; row <= 7; ++row) {
            if (row == 6) {
                app.Rows(row)->Select();
                app.Selection()->Copy();
                app.Rows(row + 1)->Select();
                app.Selection()->Insert(xl::xlShiftDown);
                app.setCutCopyMode(false);
            }
            app.Cells(row, 1)->Select();
            app.Cells(row, 4)->setValue(QLocale().toString(QDate(2026, 12, row), QLocale::ShortFormat));
            app.Cells(row, 3)->setValue(QStringLiteral("Project"));
            app.Cells(row, 5)->setValue(QStringLiteral("Notes"));
            app.Cells(row, 2)->setValue(row == 6 ? QStringLiteral("a") : QString());
        }
        // The held writes go to the office now, in this step.
        sheet->UsedRange();
        m_next = Save;
        return false;
    }
    case Save:
        app.Version();
        use(m_workbook, "workbook").SaveAs(file("warm.xls"), xl::xlExcel8);
        m_next = CloseFirst;
        return false;
    case CloseFirst:
        use(m_workbook, "workbook").Close();
        m_workbook.reset();
        m_next = Reopen;
        return false;
    case Reopen:
        m_workbook = app.Workbooks()->Open(file("warm.xls"));
        m_next = Export;
        return false;
    case Export: {
        // The used range exported as PDF, as the sheet's picture is made.
        const auto session = m_application.session();
        const QString pdfPath = file("warm.pdf");
        office.call([&] {
            if (session->documents.empty())
                throw Failure(QStringLiteral("No workbook is open."));
            Document &document = *session->documents.back();
            const int sheet = document.activeSheet;
            const auto area = usedArea(document, sheet).value_or(Area {sheet, 0, 0, 0, 0});
            const Reference<css::frame::XStorable> storable(document.component, UNO_QUERY_THROW);
            storable->storeToURL(toU(fileUrl(pdfPath)),
                                 properties({{"FilterName", Any(rtl::OUString("calc_pdf_Export"))},
                                             {"FilterData", Any(properties({{"Selection", Any(rangeAt(document, area))}}))}}));
        });
        QFile pdf(pdfPath);
        if (pdf.open(QIODevice::ReadOnly))
            m_pdf = pdf.readAll();
        m_next = Draw;
        return false;
    }
    case Draw: {
        // The program's side of the picture: poppler's first page (fonts,
        // caches) is drawn once here rather than in the command.
        try {
            const PdfPage page(m_pdf);
            QImage corner(200, 100, QImage::Format_RGB32);
            page.drawRows(96.0, 96.0, 0, 0, corner.width(), corner.height(), 0, corner.height(), corner, 0);
        } catch (const Failure &) {
            // The warm-up only prepares: what fails here is the command's
            // to meet and report.
        }
        m_pdf.clear();
        m_next = CloseSecond;
        return false;
    }
    case CloseSecond:
        finish();
        return true;
    case Done:
        return true;
    }
    return true;
}

void WarmUp::finish()
{
    if (m_next == Done)
        return;
    m_next = Done;
    m_workbook.reset();
    m_pdf.clear();
    const auto session = m_application.session();
    // The workbooks are closed under the round's limit; the instance then
    // gets the ordinary one back, and the files go.
    const auto restore = [&] {
        if (session->office && !session->office->ended())
            session->office->setCallLimit(session->office->ordinaryCallLimit());
        if (!m_folder.isEmpty())
            removeOwnFolder(m_folder);
    };
    try {
        if (session->office && !session->office->ended())
            closeAll();
    } catch (...) {
        restore();
        throw;
    }
    restore();
}

// Every workbook the round opened, closed without saving.
void WarmUp::closeAll()
{
    xl::XlApplication &app = m_application;
    const auto books = app.Workbooks();
    for (int count = books->count(); count > 0; count = books->count())
        books->Item(count)->Close();
}

} // namespace quorbel::lo
