// The application instance and its workbooks: opening a workbook file in
// the instance's office, the active workbook, its cells and rows, the
// selection, and the end of the instance.

#include "CalcInternals.h"

#include <QFileInfo>

#include <algorithm>

namespace quorbel::lo {
namespace {

std::shared_ptr<Document> openDocument(Session &session, const QString &fileName, bool readOnly)
{
    const QFileInfo info(fileName);
    if (!info.isFile())
        throw Failure(QStringLiteral("The workbook %1 does not exist.").arg(fileName));
    if (!info.isReadable())
        throw Failure(QStringLiteral("The workbook %1 cannot be read.").arg(fileName));

    auto document = std::make_shared<Document>();
    document->path = info.absoluteFilePath();
    document->readOnly = readOnly;
    // Hidden: a headless office must never show a document window. The
    // office's own read-only mode would refuse every format change, so a
    // workbook opened read-only is protected here instead: it is never
    // saved over its own file.
    const auto arguments = properties({
        {"Hidden", Any(true)},
        {"MacroExecutionMode", Any(css::document::MacroExecMode::NEVER_EXECUTE)},
        {"UpdateDocMode", Any(css::document::UpdateDocMode::NO_UPDATE)},
    });
    Reference<css::lang::XComponent> component;
    try {
        const Reference<css::frame::XComponentLoader> loader(session.connection().desktop(), UNO_QUERY_THROW);
        component = loader->loadComponentFromURL(toU(fileUrl(fileName)), rtl::OUString("_blank"), 0, arguments);
    } catch (const css::io::IOException &e) {
        throw Failure(QStringLiteral("LibreOffice could not open %1. %2").arg(fileName, describe(e)));
    } catch (const css::lang::IllegalArgumentException &e) {
        throw Failure(QStringLiteral("LibreOffice could not open %1. %2").arg(fileName, describe(e)));
    }
    if (!component.is())
        throw Failure(QStringLiteral("LibreOffice could not open %1.").arg(fileName));
    document->component = component;
    document->spreadsheet.set(component, UNO_QUERY);
    if (!document->spreadsheet.is()) {
        try {
            Reference<css::util::XCloseable>(component, UNO_QUERY_THROW)->close(true);
        } catch (...) {
        }
        throw Failure(QStringLiteral("%1 is not a workbook.").arg(fileName));
    }
    document->model.set(component, UNO_QUERY_THROW);
    const Reference<css::util::XNumberFormatsSupplier> formats(component, UNO_QUERY_THROW);
    document->formats = formats->getNumberFormats();
    document->formatTypes.set(document->formats, UNO_QUERY_THROW);

    const auto first = sheetState(*document, 0).sheet;
    const Reference<css::table::XColumnRowRange> lines(first, UNO_QUERY_THROW);
    document->maxRow = int(lines->getRows()->getCount()) - 1;
    document->maxColumn = int(Reference<css::container::XIndexAccess>(lines->getColumns(), UNO_QUERY_THROW)->getCount()) - 1;

    const Reference<css::sheet::XSpreadsheetView> view(controllerOf(*document), UNO_QUERY);
    if (view.is()) {
        const Reference<css::sheet::XCellRangeAddressable> active(view->getActiveSheet(), UNO_QUERY);
        if (active.is())
            document->activeSheet = active->getRangeAddress().Sheet;
    }
    return document;
}

class CalcWorkbooks final : public xl::XlWorkbooks {
public:
    explicit CalcWorkbooks(std::shared_ptr<Session> session) : m_session(std::move(session)) {}

    std::shared_ptr<xl::XlWorkbook> Open(const QString &fileName, bool readOnly) override
    {
        return m_session->connection().call([&] {
            auto document = openDocument(*m_session, fileName, readOnly);
            m_session->documents.push_back(document);
            m_session->active = document;
            m_session->selectionDocument = document;
            m_session->selection = viewSelection(*document);
            return makeWorkbook(m_session, document);
        });
    }

    int count() override
    {
        m_session->connection().call([] {});
        return int(m_session->documents.size());
    }

    std::shared_ptr<xl::XlWorkbook> Item(int index) override
    {
        m_session->connection().call([] {});
        if (index < 1 || index > int(m_session->documents.size()))
            throw Failure(QStringLiteral("There is no open workbook %1.").arg(index));
        return makeWorkbook(m_session, m_session->documents[size_t(index - 1)]);
    }

private:
    std::shared_ptr<Session> m_session;
};

std::shared_ptr<Document> activeDocument(Session &session)
{
    session.connection().call([] {});
    if (!session.active)
        throw Failure(QStringLiteral("No workbook is open."));
    return session.active;
}



} // namespace

OfficeConnection &Session::connection()
{
    if (!office)
        throw Failure(QStringLiteral("This LibreOffice instance has already been ended."));
    return *office;
}

// ---------------------------------------------------------------- CalcApplication

CalcApplication::CalcApplication(const Options &options)
    : m_session(std::make_shared<Session>())
{
    m_session->office = std::make_unique<OfficeConnection>(options);
}

CalcApplication::CalcApplication(std::unique_ptr<OfficeConnection> office)
    : m_session(std::make_shared<Session>())
{
    m_session->office = std::move(office);
}

CalcApplication::~CalcApplication()
{
    Quit();
}

std::shared_ptr<xl::XlWorkbooks> CalcApplication::Workbooks()
{
    m_session->connection().call([] {});
    return std::make_shared<CalcWorkbooks>(m_session);
}

std::shared_ptr<xl::XlWorkbook> CalcApplication::ActiveWorkbook()
{
    return makeWorkbook(m_session, activeDocument(*m_session));
}

std::shared_ptr<xl::XlRange> CalcApplication::Cells(int row, int column)
{
    const auto document = activeDocument(*m_session);
    if (row < 1 || column < 1 || row > document->maxRow + 1 || column > document->maxColumn + 1)
        throw Failure(QStringLiteral("There is no cell at row %1, column %2.").arg(row).arg(column));
    const int sheet = document->activeSheet;
    return makeRange(m_session, document, Area {sheet, row - 1, column - 1, row - 1, column - 1});
}

std::shared_ptr<xl::XlRange> CalcApplication::Rows(int row)
{
    const auto document = activeDocument(*m_session);
    if (row < 1 || row > document->maxRow + 1)
        throw Failure(QStringLiteral("There is no row %1.").arg(row));
    const int sheet = document->activeSheet;
    return makeRange(m_session, document, Area {sheet, row - 1, 0, row - 1, document->maxColumn},
                                       RangeKind::Rows);
}

std::shared_ptr<xl::XlRange> CalcApplication::Selection()
{
    m_session->connection().call([] {});
    if (!m_session->selectionDocument || m_session->selectionDocument->closed)
        throw Failure(QStringLiteral("Nothing is selected."));
    return makeRange(m_session, m_session->selectionDocument, m_session->selection);
}

void CalcApplication::setDisplayAlerts(bool on)
{
    // The office never asks anything here: it runs headless without an
    // interaction handler. The flag is kept for the model's sake.
    m_session->connection().call([] {});
    m_session->displayAlerts = on;
}

void CalcApplication::setVisible(bool on)
{
    m_session->connection().call([] {});
    if (on)
        throw Failure(QStringLiteral("This LibreOffice instance runs hidden and cannot be shown."));
}

void CalcApplication::setCutCopyMode(bool on)
{
    m_session->connection().call([] {});
    if (!on)
        m_session->copyDocument = nullptr;
}

QString CalcApplication::Version()
{
    auto &office = m_session->connection();
    if (m_session->version.isEmpty()) {
        m_session->version = office.call([&] {
            const Reference<css::lang::XMultiServiceFactory> provider(
                office.createInstance("com.sun.star.configuration.ConfigurationProvider"), UNO_QUERY_THROW);
            css::beans::NamedValue path(rtl::OUString("nodepath"), Any(rtl::OUString("/org.openoffice.Setup/Product")));
            const Any pathAny(path);
            const Reference<css::container::XNameAccess> product(
                provider->createInstanceWithArguments(rtl::OUString("com.sun.star.configuration.ConfigurationAccess"),
                                                      Sequence<Any>(&pathAny, 1)),
                UNO_QUERY_THROW);
            rtl::OUString version;
            product->getByName(rtl::OUString("ooSetupVersion")) >>= version;
            if (version.isEmpty())
                throw Failure(QStringLiteral("LibreOffice did not tell its version."));
            return toQ(version);
        });
    } else {
        office.call([] {});
    }
    return m_session->version;
}

void CalcApplication::setCancellation(const CancellationToken *cancel)
{
    if (m_session->office)
        m_session->office->setCancellation(cancel);
}

void CalcApplication::Quit()
{
    if (!m_session->office || m_session->office->ended()) {
        // Nothing is put back into an office that is gone.
        for (const auto &document : m_session->documents)
            dropPendingRestore(*document);
        return;
    }
    // Closing each workbook first lets the office finish with its files.
    // After a cancel the office is ended at once: closing a long workbook
    // can take longer than a user waits for a stop, and its work is not
    // wanted any more.
    const bool cancelled = m_session->office->cancelled();
    for (const auto &document : m_session->documents) {
        if (cancelled)
            break;
        try {
            m_session->office->call([&] {
                if (document->closed)
                    return;
                dropPendingRestore(*document);
                flushHeldWork(*m_session, *document);
                Reference<css::util::XCloseable>(document->component, UNO_QUERY_THROW)->close(true);
            });
        } catch (...) {
        }
    }
    m_session->office->quit();
    for (const auto &document : m_session->documents) {
        dropPendingRestore(*document);
        document->closed = true;
    }
    m_session->documents.clear();
    m_session->active = nullptr;
    m_session->selectionDocument = nullptr;
    m_session->copyDocument = nullptr;
}


} // namespace quorbel::lo
