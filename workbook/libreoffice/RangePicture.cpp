#include "RangePicture.h"

#include "CalcObjects.h"
#include "PdfPage.h"
#include "SheetPicture.h"

#include <com/sun/star/awt/Size.hpp>
#include <com/sun/star/beans/XMultiPropertySet.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/io/IOException.hpp>
#include <com/sun/star/sheet/XCellRangeAddressable.hpp>
#include <com/sun/star/sheet/XPrintAreas.hpp>
#include <com/sun/star/style/XStyleFamiliesSupplier.hpp>
#include <com/sun/star/util/XModifiable.hpp>

#include <QFile>
#include <QUrl>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace quorbel::lo {

using css::uno::Any;
using css::uno::Reference;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;

namespace {

// The tallest block of rows printed on one page (1/100 mm). The office
// places each row on the page in whole 1/100 mm, a little short of its true
// height (582 for a row of 16.5 pt, which is 582.08); over 50 cm that adds
// up to well under a pixel, and every block starts at its exact position.
// The limits are the sheet picture's, which a picture read back must keep.
constexpr sal_Int32 kMaxPageHeight = SheetPicture::kMaxBlockHeightHmm;
constexpr sal_Int32 kMaxPageWidth = SheetPicture::kMaxWidthHmm;
// Room around the range on its page, so that rounding never breaks a page.
constexpr sal_Int32 kPagePadding = SheetPicture::kPagePaddingHmm;
// The office draws the line between two cells on the last pixel of the
// first one, so the left border of the range's first column and the top
// border of its first row lie on the pixel just outside it. Each page
// keeps that edge on the left and at the top.
constexpr sal_Int32 kEdgeHmm = SheetPicture::kEdgeHmm;

// Sets page style properties and puts the old values back when it ends.
class PageStyleChange {
public:
    explicit PageStyleChange(Reference<css::beans::XPropertySet> style) : m_style(std::move(style)) {}
    ~PageStyleChange() { restore(); }
    PageStyleChange(PageStyleChange &&other) noexcept
        : m_style(std::move(other.m_style)), m_saved(std::exchange(other.m_saved, {}))
    {
    }
    PageStyleChange &operator=(PageStyleChange &&) = delete;

    // Nothing is put back.
    void dismiss() { m_saved.clear(); }

    // Puts the old values back (once).
    void restore()
    {
        const std::vector<std::pair<rtl::OUString, Any>> saved = std::exchange(m_saved, {});
        if (saved.empty())
            return;
        restore(saved);
    }

private:
    void restore(const std::vector<std::pair<rtl::OUString, Any>> &saved)
    {
        // Every change of a page style lays the sheet out again: all old
        // values go back in one call when the style takes several at once.
        const Reference<css::beans::XMultiPropertySet> several(m_style, UNO_QUERY);
        if (several.is()) {
            auto sorted = saved;
            std::sort(sorted.begin(), sorted.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
            css::uno::Sequence<rtl::OUString> names(sal_Int32(sorted.size()));
            css::uno::Sequence<Any> values(sal_Int32(sorted.size()));
            for (size_t i = 0; i < sorted.size(); ++i) {
                names.getArray()[i] = sorted[i].first;
                values.getArray()[i] = sorted[i].second;
            }
            try {
                several->setPropertyValues(names, values);
                return;
            } catch (...) {
            }
        }
        for (auto it = saved.rbegin(); it != saved.rend(); ++it) {
            try {
                m_style->setPropertyValue(it->first, it->second);
            } catch (...) {
            }
        }
    }

public:
    // Sets several properties, in one call when the style takes that.
    void setAll(std::vector<std::pair<const char *, Any>> changes)
    {
        const Reference<css::beans::XMultiPropertySet> several(m_style, UNO_QUERY);
        if (!several.is()) {
            for (const auto &[name, value] : changes)
                set(name, value);
            return;
        }
        std::sort(changes.begin(), changes.end(), [](const auto &a, const auto &b) { return std::strcmp(a.first, b.first) < 0; });
        css::uno::Sequence<rtl::OUString> names(sal_Int32(changes.size()));
        for (size_t i = 0; i < changes.size(); ++i)
            names.getArray()[i] = rtl::OUString::createFromAscii(changes[i].first);
        const css::uno::Sequence<Any> old = several->getPropertyValues(names);
        css::uno::Sequence<Any> values(sal_Int32(changes.size()));
        for (size_t i = 0; i < changes.size(); ++i) {
            bool saved = false;
            for (const auto &entry : m_saved)
                saved = saved || entry.first == names[sal_Int32(i)];
            if (!saved)
                m_saved.emplace_back(names[sal_Int32(i)], old[sal_Int32(i)]);
            values.getArray()[i] = changes[i].second;
        }
        several->setPropertyValues(names, values);
    }

    void set(const char *name, const Any &value)
    {
        const rtl::OUString key = rtl::OUString::createFromAscii(name);
        bool saved = false;
        for (const auto &entry : m_saved)
            saved = saved || entry.first == key;
        if (!saved)
            m_saved.emplace_back(key, m_style->getPropertyValue(key));
        m_style->setPropertyValue(key, value);
    }

private:
    Reference<css::beans::XPropertySet> m_style;
    std::vector<std::pair<rtl::OUString, Any>> m_saved;
};

// Rows and columns repeated on every printed page would show in the
// picture: they are switched off while it is made and put back afterwards.
class PrintTitlesOff {
public:
    explicit PrintTitlesOff(Reference<css::sheet::XPrintAreas> areas) : m_areas(std::move(areas))
    {
        if (!m_areas.is())
            return;
        m_rows = m_areas->getPrintTitleRows();
        m_columns = m_areas->getPrintTitleColumns();
        if (m_rows)
            m_areas->setPrintTitleRows(false);
        if (m_columns)
            m_areas->setPrintTitleColumns(false);
    }
    ~PrintTitlesOff() { restore(); }
    PrintTitlesOff(PrintTitlesOff &&other) noexcept
        : m_areas(std::move(other.m_areas)), m_rows(std::exchange(other.m_rows, false)),
          m_columns(std::exchange(other.m_columns, false))
    {
    }
    PrintTitlesOff(const PrintTitlesOff &) = delete;
    PrintTitlesOff &operator=(const PrintTitlesOff &) = delete;
    PrintTitlesOff &operator=(PrintTitlesOff &&) = delete;

    // Nothing is switched on again.
    void dismiss() { m_rows = m_columns = false; }

    // Switches the titles on again (once).
    void restore()
    {
        const bool rows = std::exchange(m_rows, false);
        const bool columns = std::exchange(m_columns, false);
        try {
            if (m_areas.is() && rows)
                m_areas->setPrintTitleRows(true);
            if (m_areas.is() && columns)
                m_areas->setPrintTitleColumns(true);
        } catch (...) {
        }
    }

private:
    Reference<css::sheet::XPrintAreas> m_areas;
    bool m_rows = false;
    bool m_columns = false;
};

css::awt::Size sizeOf(const Reference<css::table::XCellRange> &range)
{
    css::awt::Size size;
    Reference<css::beans::XPropertySet>(range, UNO_QUERY_THROW)->getPropertyValue(rtl::OUString("Size")) >>= size;
    return size;
}

// Blocks of whole rows of `range`, each short enough for one page. Throws
// Failure for a range without size, one too wide or a row too tall.
struct Block {
    Reference<css::table::XCellRange> range;
    sal_Int32 height;
};

std::vector<Block> blocksOf(const Reference<css::sheet::XSpreadsheet> &sheet, const Reference<css::table::XCellRange> &range)
{
    const auto address = Reference<css::sheet::XCellRangeAddressable>(range, UNO_QUERY_THROW)->getRangeAddress();
    const css::awt::Size total = sizeOf(range);
    if (total.Width <= 0 || total.Height <= 0)
        throw Failure(QStringLiteral("The cells to picture have no size (their rows or columns are hidden)."));
    if (total.Width > kMaxPageWidth)
        throw Failure(QStringLiteral("The cells are too wide to picture (%1 cm).").arg(total.Width / 1000));
    std::vector<Block> blocks;
    if (total.Height <= kMaxPageHeight) {
        blocks.push_back({range, total.Height});
    } else {
        sal_Int32 row = address.StartRow;
        sal_Int64 left = total.Height;
        while (row <= address.EndRow) {
            const sal_Int32 rowsLeft = address.EndRow - row + 1;
            sal_Int32 count = std::max<sal_Int32>(1, sal_Int32(double(rowsLeft) * kMaxPageHeight * 0.9 / double(left)));
            count = std::min(count, rowsLeft);
            for (;;) {
                const auto block = sheet->getCellRangeByPosition(address.StartColumn, row, address.EndColumn, row + count - 1);
                const sal_Int32 height = sizeOf(block).Height;
                if (height <= kMaxPageHeight) {
                    blocks.push_back({block, height});
                    left -= height;
                    break;
                }
                if (count == 1)
                    throw Failure(QStringLiteral("Row %1 is too tall to picture.").arg(row + 1));
                count = std::max<sal_Int32>(1, count / 2);
            }
            row += count;
            if (blocks.size() > size_t(SheetPicture::kMaxBlocks))
                throw Failure(QStringLiteral("The cells are too long to picture."));
        }
    }

    return blocks;
}

// How tall the blocks' drawing is: each block starts where the one above
// ends, and the office rounds each block's height a little up, so over many
// blocks the rows reach a few pixels below the range's own height. The
// picture is that tall, so that the last rows are never cut off.
sal_Int64 drawnHeight(const css::awt::Size &total, const std::vector<Block> &blocks)
{
    sal_Int64 sum = 0;
    for (const Block &block : blocks)
        sum += block.height;
    return std::max<sal_Int64>(total.Height, sum);
}

// The page style that prints exactly the range (of the given width) from
// the page's top left corner, without header, footer, grid or scaling; the
// page's height is the caller's.
std::vector<std::pair<const char *, Any>> pageSettings(sal_Int32 rangeWidth)
{
    return {
        {"HeaderIsOn", Any(false)},
        {"FooterIsOn", Any(false)},
        {"LeftMargin", Any(kEdgeHmm)},
        {"TopMargin", Any(kEdgeHmm)},
        {"RightMargin", Any(sal_Int32(0))},
        {"BottomMargin", Any(sal_Int32(0))},
        {"IsLandscape", Any(false)},
        {"Width", Any(sal_Int32(kEdgeHmm + rangeWidth + kPagePadding))},
        {"CenterHorizontally", Any(false)},
        {"CenterVertically", Any(false)},
        {"PageScale", Any(sal_Int16(100))},
        {"ScaleToPages", Any(sal_Int16(0))},
        {"PrintGrid", Any(false)},
        {"PrintHeaders", Any(false)},
        {"PrintAnnotations", Any(false)},
    };
}

// The range exported as PDF through the scratch file, which is removed again.
QByteArray exportPdf(const Reference<css::frame::XStorable> &storable, const Reference<css::table::XCellRange> &range,
                     const QString &pdfPath, const rtl::OUString &pdfUrl)
{
    const auto filterData = properties({{"Selection", Any(range)}});
    QFile::remove(pdfPath);
    try {
        storable->storeToURL(pdfUrl, properties({{"FilterName", Any(rtl::OUString("calc_pdf_Export"))},
                                                 {"FilterData", Any(filterData)}}));
    } catch (const css::io::IOException &error) {
        // The export itself failed (the office lost during the call fails
        // otherwise, and is told apart by the connection).
        const QString why = describe(error);
        throw Failure(QStringLiteral("LibreOffice's PDF export of the cells failed%1")
                          .arg(why.isEmpty() ? QStringLiteral(".") : QStringLiteral(": ") + why));
    }
    QFile file(pdfPath);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("LibreOffice's PDF export of the cells wrote no file (%1).").arg(pdfPath));
    QByteArray pdf = file.readAll();
    file.close();
    QFile::remove(pdfPath);
    return pdf;
}

// What the picture of a range starts from: its size and its blocks, the
// sheet's page style (set to print exactly the range while the pages are
// exported) and the tallest block's height, the scratch PDF the office
// exports to, and whether the document was modified before: page style
// changes mark it modified, which putting them back takes back too.
struct RangePrint {
    RangePrint(OfficeConnection &office, Document &document, const Reference<css::sheet::XSpreadsheet> &sheet,
               const Reference<css::table::XCellRange> &range)
        : total(sizeOf(range)), blocks(blocksOf(sheet, range)), modifiable(document.component, UNO_QUERY),
          wasModified(modifiable.is() && modifiable->isModified()), printAreas(sheet, UNO_QUERY),
          storable(document.component, UNO_QUERY_THROW),
          pdfPath(office.scratchFolder() + QStringLiteral("/picture.pdf")),
          pdfUrl(toU(QUrl::fromLocalFile(pdfPath).toString(QUrl::FullyEncoded)))
    {
        rtl::OUString styleName;
        Reference<css::beans::XPropertySet>(sheet, UNO_QUERY_THROW)->getPropertyValue(rtl::OUString("PageStyle")) >>= styleName;
        const Reference<css::style::XStyleFamiliesSupplier> families(document.component, UNO_QUERY_THROW);
        const Reference<css::container::XNameAccess> pageStyles(
            families->getStyleFamilies()->getByName(rtl::OUString("PageStyles")), UNO_QUERY_THROW);
        style.set(pageStyles->getByName(styleName), UNO_QUERY_THROW);
        for (const Block &block : blocks)
            tallest = std::max(tallest, block.height);
    }

    const css::awt::Size total;
    const std::vector<Block> blocks;
    const Reference<css::util::XModifiable> modifiable;
    const bool wasModified;
    const Reference<css::sheet::XPrintAreas> printAreas;
    const Reference<css::frame::XStorable> storable;
    const QString pdfPath;
    const rtl::OUString pdfUrl;
    Reference<css::beans::XPropertySet> style;
    sal_Int32 tallest = 0;
};

} // namespace

std::shared_ptr<SheetPicture> sheetPictureOfRange(OfficeConnection &office, Document &document,
                                                  const Reference<css::sheet::XSpreadsheet> &sheet,
                                                  const Reference<css::table::XCellRange> &range)
{
    const RangePrint print(office, document, sheet, range);
    QVector<SheetPicture::Block> pages;
    {
        PageStyleChange page(print.style);
        PrintTitlesOff titlesOff(print.printAreas);
        auto settings = pageSettings(print.total.Width);
        settings.emplace_back("Height", Any(sal_Int32(kEdgeHmm + print.tallest + kPagePadding)));
        page.setAll(std::move(settings));

        qint64 top = 0;
        for (const Block &block : print.blocks) {
            office.checkpoint();  // a long sheet's picture can be cancelled between its pages
            QByteArray pdf = exportPdf(print.storable, block.range, print.pdfPath, print.pdfUrl);
            // Each block on one page: a page break in it would lose rows.
            if (PdfPage(pdf).pageCount() > 1)
                throw Failure(QStringLiteral("The cells did not fit on one page (the sheet has a page break in them)."));
            pages.append(SheetPicture::Block {top, block.height, std::move(pdf)});
            top += block.height;
        }
        // The sheet gets its page style back before the next work on the
        // workbook, which is never done when the workbook is closed next
        // (as the template command does): putting a style back lays the
        // sheet out again, the longest call of a short sheet's picture.
        // A picture that failed puts everything back at once.
        auto pending = std::make_shared<std::pair<PageStyleChange, PrintTitlesOff>>(std::move(page), std::move(titlesOff));
        document.pendingRestore = [pending, modifiable = print.modifiable, wasModified = print.wasModified](bool putBack) {
            if (!putBack) {
                pending->first.dismiss();
                pending->second.dismiss();
                return;
            }
            pending->second.restore();
            pending->first.restore();
            try {
                if (modifiable.is() && !wasModified)
                    modifiable->setModified(false);
            } catch (...) {
            }
        };
    }
    // The picture is as tall as its blocks: when the range's own height is
    // a little more than their sum, the last block takes the difference (its
    // page has room below it).
    const auto blocksHeight = [&pages] {
        qint64 sum = 0;
        for (const SheetPicture::Block &page : std::as_const(pages))
            sum += page.height;
        return sum;
    };
    const qint64 height = drawnHeight(print.total, print.blocks);
    if (height > blocksHeight() && !pages.isEmpty())
        pages.last().height = qint32(std::min<qint64>(pages.last().height + (height - blocksHeight()),
                                                      SheetPicture::kMaxBlockHeightHmm + SheetPicture::kPagePaddingHmm));
    const qint64 sum = blocksHeight();
    return std::make_shared<SheetPicture>(print.total.Width, sum, std::move(pages));
}

} // namespace quorbel::lo
