// A workbook and its worksheets.

#include "CalcInternals.h"

#include <QFileInfo>

#include <algorithm>

namespace quorbel::lo {
namespace {

void removeImportedFilterNames(Document &document)
{
    const Reference<css::container::XIndexAccess> sheets(document.spreadsheet->getSheets(), UNO_QUERY_THROW);
    const rtl::OUString stale("Excel_BuiltIn__FilterDatabase");
    const sal_Int32 count = sheets->getCount();
    for (sal_Int32 i = 0; i < count; ++i) {
        const Reference<css::sheet::XNamedRanges> names(
            propertiesOf(sheetState(document, i).sheet)->getPropertyValue(rtl::OUString("NamedRanges")), UNO_QUERY);
        if (names.is() && names->hasByName(stale))
            names->removeByName(stale);
    }
    const Reference<css::sheet::XNamedRanges> global(
        propertiesOf(document.spreadsheet)->getPropertyValue(rtl::OUString("NamedRanges")), UNO_QUERY);
    if (global.is() && global->hasByName(stale))
        global->removeByName(stale);
}


class CalcWorksheet final : public xl::XlWorksheet {
public:
    CalcWorksheet(std::shared_ptr<Session> session, std::shared_ptr<Document> document, int index)
        : m_session(std::move(session)), m_document(std::move(document)), m_index(index)
    {
    }

    QString Name() override
    {
        return m_session->connection().call([&] {
            const Reference<css::container::XNamed> named(sheetState(*m_document, m_index).sheet, UNO_QUERY_THROW);
            return toQ(named->getName());
        });
    }

    void Select() override { Activate(); }

    void Activate() override
    {
        m_session->connection().call([&] {
            flushHeldWork(*m_session, *m_document);
            showSheet(*m_document, m_index);
            m_session->active = m_document;
            m_session->selectionDocument = m_document;
            m_session->selection = viewSelection(*m_document);
            m_session->selection.sheet = m_index;
        });
    }

    std::shared_ptr<xl::XlRange> UsedRange() override
    {
        const Area area = m_session->connection().call([&] {
            flushHeldWork(*m_session, *m_document);
            const auto used = usedArea(*m_document, m_index);
            return used ? *used : Area {m_index, 0, 0, 0, 0};
        });
        return makeRange(m_session, m_document, area);
    }

    std::shared_ptr<xl::XlPageSetup> PageSetup() override
    {
        m_session->connection().call([&] { sheetState(*m_document, m_index); });
        return makePageSetup(m_session, m_document, m_index);
    }

private:
    std::shared_ptr<Session> m_session;
    std::shared_ptr<Document> m_document;
    int m_index;
};

class CalcWorksheets final : public xl::XlWorksheets {
public:
    CalcWorksheets(std::shared_ptr<Session> session, std::shared_ptr<Document> document)
        : m_session(std::move(session)), m_document(std::move(document))
    {
    }

    int count() override
    {
        return m_session->connection().call([&] {
            checkOpen(*m_document);
            const Reference<css::container::XIndexAccess> sheets(m_document->spreadsheet->getSheets(), UNO_QUERY_THROW);
            return int(sheets->getCount());
        });
    }

    std::shared_ptr<xl::XlWorksheet> Item(int index) override
    {
        m_session->connection().call([&] { sheetState(*m_document, index - 1); });
        return std::make_shared<CalcWorksheet>(m_session, m_document, index - 1);
    }

private:
    std::shared_ptr<Session> m_session;
    std::shared_ptr<Document> m_document;
};

class CalcWorkbook final : public xl::XlWorkbook {
public:
    CalcWorkbook(std::shared_ptr<Session> session, std::shared_ptr<Document> document)
        : m_session(std::move(session)), m_document(std::move(document))
    {
    }

    std::shared_ptr<xl::XlWorksheets> Worksheets() override
    {
        checkOpen(*m_document);
        return std::make_shared<CalcWorksheets>(m_session, m_document);
    }

    std::shared_ptr<xl::XlWorksheet> ActiveSheet() override
    {
        m_session->connection().call([&] { checkOpen(*m_document); });
        return std::make_shared<CalcWorksheet>(m_session, m_document, m_document->activeSheet);
    }

    void SaveAs(const QString &fileName, int fileFormat) override
    {
        const char *filter = saveFilter(fileFormat);
        if (!filter)
            throw Failure(QStringLiteral("The workbook file format %1 is not supported.").arg(fileFormat));
        if (fileName.isEmpty())
            throw Failure(QStringLiteral("No file name was given to save the workbook as."));
        m_session->connection().call([&] {
            checkNotItsOwnFile(fileName);
            flushHeldWork(*m_session, *m_document);
            removeImportedFilterNames(*m_document);
            const Reference<css::frame::XStorable> storable(m_document->component, UNO_QUERY_THROW);
            try {
                storable->storeAsURL(toU(fileUrl(fileName)),
                                     properties({{"FilterName", Any(rtl::OUString::createFromAscii(filter))},
                                                 {"Overwrite", Any(true)}}));
            } catch (const css::io::IOException &e) {
                throw Failure(QStringLiteral("The workbook could not be saved as %1. %2").arg(fileName, describe(e)));
            }
        });
    }

    void ExportAsFixedFormat(int type, const QString &fileName) override
    {
        if (type != xl::xlTypePDF)
            throw Failure(QStringLiteral("The fixed format %1 is not supported.").arg(type));
        if (fileName.isEmpty())
            throw Failure(QStringLiteral("No file name was given to export the workbook to."));
        m_session->connection().call([&] {
            checkNotItsOwnFile(fileName);
            flushHeldWork(*m_session, *m_document);
            // A copy of the document goes out: the workbook keeps its own
            // file and its modified state.
            const Reference<css::frame::XStorable> storable(m_document->component, UNO_QUERY_THROW);
            try {
                storable->storeToURL(toU(fileUrl(fileName)),
                                     properties({{"FilterName", Any(rtl::OUString("calc_pdf_Export"))},
                                                 {"Overwrite", Any(true)}}));
            } catch (const css::io::IOException &e) {
                throw Failure(QStringLiteral("The workbook could not be exported to %1. %2").arg(fileName, describe(e)));
            }
        });
    }

    void Close() override
    {
        m_session->connection().call([&] {
            if (m_document->closed)
                return;
            dropPendingRestore(*m_document);
            flushHeldWork(*m_session, *m_document);
            const Reference<css::util::XCloseable> closeable(m_document->component, UNO_QUERY_THROW);
            try {
                closeable->close(true);
            } catch (const css::util::CloseVetoException &) {
                throw Failure(QStringLiteral("LibreOffice refused to close the workbook."));
            }
            m_document->closed = true;
            m_document->sheets.clear();
            auto &documents = m_session->documents;
            documents.erase(std::remove(documents.begin(), documents.end(), m_document), documents.end());
            if (m_session->active == m_document)
                m_session->active = documents.empty() ? nullptr : documents.back();
            if (m_session->selectionDocument == m_document)
                m_session->selectionDocument = nullptr;
            if (m_session->copyDocument == m_document)
                m_session->copyDocument = nullptr;
        });
    }

private:
    // The office's export filter of a SaveAs format, or none.
    static const char *saveFilter(int fileFormat)
    {
        switch (fileFormat) {
        case xl::xlExcel8:
        case xl::xlWorkbookNormal:
            return "MS Excel 97";
        case xl::xlOpenXMLWorkbook:
            return "Calc MS Excel 2007 XML";
        case xl::xlOpenDocumentSpreadsheet:
            return "calc8";
        default:
            return nullptr;
        }
    }

    // A workbook opened read-only is never written over its own file.
    void checkNotItsOwnFile(const QString &fileName) const
    {
        checkOpen(*m_document);
        if (m_document->readOnly && QFileInfo(fileName).absoluteFilePath() == m_document->path)
            throw Failure(QStringLiteral("The workbook %1 was opened read-only and cannot be saved over itself.").arg(fileName));
    }

    std::shared_ptr<Session> m_session;
    std::shared_ptr<Document> m_document;
};


} // namespace

std::shared_ptr<xl::XlWorkbook> makeWorkbook(std::shared_ptr<Session> session, std::shared_ptr<Document> document)
{
    return std::make_shared<CalcWorkbook>(std::move(session), std::move(document));
}

} // namespace quorbel::lo
