// How a worksheet prints: its print area and title rows (the sheet's own)
// and its paper, orientation and scaling (the sheet's page style).

#include "CalcInternals.h"

#include "A1Reference.h"

#include <com/sun/star/beans/XMultiPropertySet.hpp>
#include <com/sun/star/sheet/XPrintAreas.hpp>
#include <com/sun/star/style/XStyleFamiliesSupplier.hpp>

#include <cmath>
#include <utility>

namespace quorbel::lo {
namespace {

// The largest paper side taken, in millimetres: far beyond any printer.
constexpr double kMaxPaperSideMm = 10000.0;

Reference<css::beans::XPropertySet> pageStyleOf(Document &document, int sheetIndex)
{
    rtl::OUString styleName;
    propertiesOf(sheetState(document, sheetIndex).sheet)->getPropertyValue(rtl::OUString("PageStyle")) >>= styleName;
    const Reference<css::style::XStyleFamiliesSupplier> families(document.component, UNO_QUERY_THROW);
    const Reference<css::container::XNameAccess> pageStyles(
        families->getStyleFamilies()->getByName(rtl::OUString("PageStyles")), UNO_QUERY_THROW);
    return Reference<css::beans::XPropertySet>(pageStyles->getByName(styleName), UNO_QUERY_THROW);
}

// Sets several properties of a page style in one call, so that the sheet
// is laid out again once (the names in alphabetical order).
void setInOneCall(const Reference<css::beans::XPropertySet> &style,
                  std::initializer_list<std::pair<const char *, Any>> changes)
{
    const Reference<css::beans::XMultiPropertySet> several(style, UNO_QUERY);
    if (!several.is()) {
        for (const auto &[name, value] : changes)
            style->setPropertyValue(rtl::OUString::createFromAscii(name), value);
        return;
    }
    Sequence<rtl::OUString> names(sal_Int32(changes.size()));
    Sequence<Any> values(sal_Int32(changes.size()));
    sal_Int32 i = 0;
    for (const auto &[name, value] : changes) {
        names.getArray()[i] = rtl::OUString::createFromAscii(name);
        values.getArray()[i] = value;
        ++i;
    }
    several->setPropertyValues(names, values);
}

sal_Int32 hundredthsOfMm(double millimetres)
{
    return sal_Int32(std::lround(millimetres * 100.0));
}

class CalcPageSetup final : public xl::XlPageSetup {
public:
    CalcPageSetup(std::shared_ptr<Session> session, std::shared_ptr<Document> document, int index)
        : m_session(std::move(session)), m_document(std::move(document)), m_index(index)
    {
    }

    void setPrintArea(const QString &area) override
    {
        const std::optional<xl::CellBlock> block = readBlock(area);
        m_session->connection().call([&] {
            flushHeldWork(*m_session, *m_document);
            Sequence<css::table::CellRangeAddress> areas;
            if (block)
                {
                const css::table::CellRangeAddress address = unoArea(areaOf(*block));
                areas = Sequence<css::table::CellRangeAddress>(&address, 1);
            }
            printAreas()->setPrintAreas(areas);
        });
    }

    void setPrintTitleRows(const QString &rows) override
    {
        const std::optional<xl::CellBlock> block = readBlock(rows);
        m_session->connection().call([&] {
            flushHeldWork(*m_session, *m_document);
            const auto areas = printAreas();
            if (!block) {
                areas->setPrintTitleRows(false);
                return;
            }
            xl::CellBlock wholeRows = *block;
            wholeRows.firstColumn = wholeRows.lastColumn = 0;
            areas->setTitleRows(unoArea(areaOf(wholeRows)));
            areas->setPrintTitleRows(true);
        });
    }

    void setOrientation(int orientation) override
    {
        if (orientation != xl::xlPortrait && orientation != xl::xlLandscape)
            throw Failure(QStringLiteral("The page orientation %1 is not supported.").arg(orientation));
        const bool landscape = orientation == xl::xlLandscape;
        m_session->connection().call([&] {
            const auto style = pageStyleOf(*m_document, m_index);
            sal_Int32 width = 0;
            sal_Int32 height = 0;
            style->getPropertyValue(rtl::OUString("Width")) >>= width;
            style->getPropertyValue(rtl::OUString("Height")) >>= height;
            // The paper turns with the page: its longer side runs across in
            // landscape and down in portrait.
            if (landscape != (width > height))
                std::swap(width, height);
            setInOneCall(style, {{"Height", Any(height)}, {"IsLandscape", Any(landscape)}, {"Width", Any(width)}});
        });
    }

    void setPaperSize(const QSizeF &millimetres) override
    {
        const auto usable = [](double side) { return std::isfinite(side) && side >= 1.0 && side <= kMaxPaperSideMm; };
        if (!usable(millimetres.width()) || !usable(millimetres.height()))
            throw Failure(QStringLiteral("The paper size %1 x %2 mm cannot be printed on.")
                              .arg(millimetres.width())
                              .arg(millimetres.height()));
        m_session->connection().call([&] {
            const auto style = pageStyleOf(*m_document, m_index);
            bool landscape = false;
            style->getPropertyValue(rtl::OUString("IsLandscape")) >>= landscape;
            sal_Int32 width = hundredthsOfMm(millimetres.width());
            sal_Int32 height = hundredthsOfMm(millimetres.height());
            if (landscape)
                std::swap(width, height);
            setInOneCall(style, {{"Height", Any(height)}, {"Width", Any(width)}});
        });
    }

    void setFitToPagesWide(int pages) override { fitToPages("ScaleToPagesX", pages); }
    void setFitToPagesTall(int pages) override { fitToPages("ScaleToPagesY", pages); }

private:
    // None for an empty text; a Failure for one that names no cells.
    static std::optional<xl::CellBlock> readBlock(const QString &reference)
    {
        if (reference.trimmed().isEmpty())
            return std::nullopt;
        const auto block = xl::readA1Reference(reference);
        if (!block)
            throw Failure(QStringLiteral("\"%1\" is not a reference to cells of the sheet.").arg(reference));
        return block;
    }

    // The office's area of a block (whole rows run across every column);
    // a Failure when the sheet is smaller.
    Area areaOf(const xl::CellBlock &block) const
    {
        Area area {m_index, block.firstRow - 1, block.firstColumn - 1, block.lastRow - 1, block.lastColumn - 1};
        if (block.wholeRows()) {
            area.firstColumn = 0;
            area.lastColumn = m_document->maxColumn;
        }
        if (area.lastRow > m_document->maxRow || area.lastColumn > m_document->maxColumn)
            throw Failure(QStringLiteral("The sheet has no cells at %1.").arg(xl::a1Reference(block)));
        return area;
    }

    Reference<css::sheet::XPrintAreas> printAreas()
    {
        return Reference<css::sheet::XPrintAreas>(sheetState(*m_document, m_index).sheet, UNO_QUERY_THROW);
    }

    // Fitting to pages wide or tall replaces the fit to a number of pages
    // in all (Excel has none); the other direction stays. Setting that
    // number, even to 0, clears both directions' fit, so it is cleared only
    // when it is set.
    void fitToPages(const char *property, int pages)
    {
        if (pages < 0 || pages > SAL_MAX_INT16)
            throw Failure(QStringLiteral("The print cannot be fitted to %1 pages.").arg(pages));
        m_session->connection().call([&] {
            const auto style = pageStyleOf(*m_document, m_index);
            sal_Int16 inAll = 0;
            style->getPropertyValue(rtl::OUString("ScaleToPages")) >>= inAll;
            if (inAll != 0)
                style->setPropertyValue(rtl::OUString("ScaleToPages"), Any(sal_Int16(0)));
            style->setPropertyValue(rtl::OUString::createFromAscii(property), Any(sal_Int16(pages)));
        });
    }

    std::shared_ptr<Session> m_session;
    std::shared_ptr<Document> m_document;
    int m_index;
};

} // namespace

std::shared_ptr<xl::XlPageSetup> makePageSetup(std::shared_ptr<Session> session, std::shared_ptr<Document> document,
                                               int sheetIndex)
{
    return std::make_shared<CalcPageSetup>(std::move(session), std::move(document), sheetIndex);
}

} // namespace quorbel::lo
