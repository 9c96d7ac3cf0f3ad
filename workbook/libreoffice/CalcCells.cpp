// Sheets and cells of an open workbook as the handles use them: the sheet
// state, the used area, number formats, and cell values written as typed
// and read back.

#include "CalcInternals.h"

#include "CellInput.h"

#include <algorithm>

namespace quorbel::lo {

// ---------------------------------------------------------------- helpers

css::lang::Locale unoLocale(const QLocale &locale)
{
    const OfficeLocale office = officeLocale(locale);
    return css::lang::Locale(toU(office.language), toU(office.country), rtl::OUString());
}

Reference<css::beans::XPropertySet> propertiesOf(const Reference<css::uno::XInterface> &object)
{
    return Reference<css::beans::XPropertySet>(object, UNO_QUERY_THROW);
}

template<typename T>
T property(const Reference<css::uno::XInterface> &object, const char *name)
{
    T value {};
    propertiesOf(object)->getPropertyValue(rtl::OUString::createFromAscii(name)) >>= value;
    return value;
}

void checkOpen(const Document &document)
{
    if (document.closed)
        throw Failure(QStringLiteral("The workbook has been closed."));
}

css::table::CellRangeAddress unoArea(const Area &area)
{
    return css::table::CellRangeAddress(sal_Int16(area.sheet), area.firstColumn, area.firstRow, area.lastColumn,
                                        area.lastRow);
}

Area toArea(const css::table::CellRangeAddress &address)
{
    return Area {address.Sheet, address.StartRow, address.StartColumn, address.EndRow, address.EndColumn};
}

SheetState &sheetState(Document &document, int index)
{
    checkOpen(document);
    SheetState &state = document.sheets[index];
    if (!state.sheet.is()) {
        const Reference<css::container::XIndexAccess> sheets(document.spreadsheet->getSheets(), UNO_QUERY_THROW);
        if (index < 0 || index >= sheets->getCount())
            throw Failure(QStringLiteral("The workbook has no worksheet %1.").arg(index + 1));
        state.sheet.set(sheets->getByIndex(index), UNO_QUERY_THROW);
    }
    return state;
}

Reference<css::table::XCell> cellAt(Document &document, int sheet, int row, int column)
{
    return sheetState(document, sheet).sheet->getCellByPosition(column, row);
}

Reference<css::table::XCellRange> rangeAt(Document &document, const Area &area)
{
    return sheetState(document, area.sheet)
        .sheet->getCellRangeByPosition(area.firstColumn, area.firstRow, area.lastColumn, area.lastRow);
}

// The bounding box of every cell that holds content or a format other than
// the sheet's default, as a desktop spreadsheet counts its used range.
// Formats that run to the sheet's last row or column (whole-column and
// whole-row formats) do not count.
std::optional<Area> usedArea(Document &document, int sheetIndex)
{
    const auto sheet = sheetState(document, sheetIndex).sheet;
    std::optional<Area> box;
    auto extend = [&](const css::table::CellRangeAddress &address) {
        const Area area = toArea(address);
        if (!box) {
            box = area;
            return;
        }
        box->firstRow = std::min(box->firstRow, area.firstRow);
        box->firstColumn = std::min(box->firstColumn, area.firstColumn);
        box->lastRow = std::max(box->lastRow, area.lastRow);
        box->lastColumn = std::max(box->lastColumn, area.lastColumn);
    };

    const Reference<css::sheet::XUniqueCellFormatRangesSupplier> supplier(sheet, UNO_QUERY_THROW);
    const auto groups = supplier->getUniqueCellFormatRanges();
    const sal_Int32 groupCount = groups->getCount();
    for (sal_Int32 i = 0; i < groupCount; ++i) {
        const Reference<css::sheet::XSheetCellRanges> group(groups->getByIndex(i), UNO_QUERY);
        if (!group.is())
            continue;
        const auto addresses = group->getRangeAddresses();
        const bool holdsLastCell = std::any_of(addresses.begin(), addresses.end(), [&](const auto &address) {
            return address.EndRow >= document.maxRow && address.EndColumn >= document.maxColumn;
        });
        if (holdsLastCell)
            continue;
        for (const auto &address : addresses) {
            if (address.EndRow >= document.maxRow || address.EndColumn >= document.maxColumn)
                continue;
            extend(address);
        }
    }

    const Reference<css::sheet::XCellRangesQuery> query(sheet, UNO_QUERY_THROW);
    const auto content = query->queryContentCells(sal_Int16(css::sheet::CellFlags::VALUE | css::sheet::CellFlags::DATETIME
                                                            | css::sheet::CellFlags::STRING
                                                            | css::sheet::CellFlags::FORMULA));
    if (content.is()) {
        for (const auto &address : content->getRangeAddresses())
            extend(address);
    }
    if (box)
        box->sheet = sheetIndex;
    return box;
}

int lastUsedColumn(Document &document, int sheetIndex)
{
    SheetState &state = sheetState(document, sheetIndex);
    if (!state.lastUsedColumnKnown) {
        const auto area = usedArea(document, sheetIndex);
        state.lastUsedColumn = area ? area->lastColumn : -1;
        state.lastUsedColumnKnown = true;
    }
    return state.lastUsedColumn;
}

void noteColumnUsed(Document &document, int sheetIndex, int column)
{
    SheetState &state = document.sheets[sheetIndex];
    if (state.lastUsedColumnKnown)
        state.lastUsedColumn = std::max(state.lastUsedColumn, column);
}

// ---------------------------------------------------------------- number formats

FormatKind formatKind(Document &document, sal_Int32 key)
{
    const auto known = document.formatKinds.find(key);
    if (known != document.formatKinds.end())
        return known->second;
    const auto format = document.formats->getByKey(key);
    sal_Int16 type = 0;
    format->getPropertyValue(rtl::OUString("Type")) >>= type;
    css::lang::Locale locale;
    format->getPropertyValue(rtl::OUString("Locale")) >>= locale;
    FormatKind kind = FormatKind::Other;
    if (type & css::util::NumberFormat::DATE)
        kind = FormatKind::Date;
    else if (type & css::util::NumberFormat::TEXT)
        kind = FormatKind::Text;
    else if (document.formatTypes->getStandardIndex(locale) == key)
        kind = FormatKind::General;
    document.formatKinds[key] = kind;
    return kind;
}

sal_Int32 standardKey(Document &document, const QLocale &program)
{
    const auto known = document.standardKeys.find(program.name());
    if (known != document.standardKeys.end())
        return known->second;
    const sal_Int32 key = document.formatTypes->getStandardIndex(unoLocale(program));
    document.standardKeys[program.name()] = key;
    return key;
}

// The program locale's short date with the year in full.
sal_Int32 dateFormatKey(Document &document, const QLocale &program)
{
    const auto known = document.dateFormatKeys.find(program.name());
    if (known != document.dateFormatKeys.end())
        return known->second;
    const auto locale = unoLocale(program);
    const rtl::OUString code = toU(officeDateFormatCode(program));
    sal_Int32 key = document.formats->queryKey(code, locale, false);
    if (key < 0) {
        try {
            key = document.formats->addNew(code, locale);
        } catch (const css::uno::Exception &) {
            key = document.formatTypes->getStandardFormat(css::util::NumberFormat::DATE, locale);
        }
    }
    document.dateFormatKeys[program.name()] = key;
    return key;
}

// ---------------------------------------------------------------- cell values

void clearCell(const Reference<css::table::XCell> &cell)
{
    const Reference<css::sheet::XSheetOperation> operation(cell, UNO_QUERY_THROW);
    operation->clearContents(css::sheet::CellFlags::VALUE | css::sheet::CellFlags::DATETIME
                             | css::sheet::CellFlags::STRING | css::sheet::CellFlags::FORMULA);
}

// Literal text. The office marks a cell as text ("@") when the text would
// otherwise read as a number or formula; the cell keeps its own format.
void putLiteral(const Reference<css::table::XCell> &cell, const QString &text, sal_Int32 formatKey)
{
    const Reference<css::text::XTextRange> textRange(cell, UNO_QUERY_THROW);
    textRange->setString(toU(text));
    const auto properties = propertiesOf(cell);
    sal_Int32 after = formatKey;
    properties->getPropertyValue(rtl::OUString("NumberFormat")) >>= after;
    if (after != formatKey)
        properties->setPropertyValue(rtl::OUString("NumberFormat"), Any(formatKey));
}

void putDate(Document &document, const Reference<css::table::XCell> &cell, QDate date, FormatKind kind,
             const QLocale &locale)
{
    cell->setValue(dateSerial(date));
    if (kind != FormatKind::Date)
        propertiesOf(cell)->setPropertyValue(rtl::OUString("NumberFormat"), Any(dateFormatKey(document, locale)));
}

Reference<css::util::XNumberFormatter> formatter(Session &session, Document &document)
{
    if (!document.formatter.is()) {
        const Reference<css::util::XNumberFormatter> made(
            session.connection().createInstance("com.sun.star.util.NumberFormatter"), UNO_QUERY_THROW);
        made->attachNumberFormatsSupplier(
            Reference<css::util::XNumberFormatsSupplier>(document.spreadsheet, UNO_QUERY_THROW));
        document.formatter = made;
    }
    return document.formatter;
}

// The office's reading of a text in the locale's standard format. The same
// text always reads the same in one document.
NumberReading numberReading(Session &session, Document &document, const QString &text, const QLocale &locale)
{
    const sal_Int32 standard = standardKey(document, locale);
    const auto key = std::make_pair(standard, text);
    const auto known = document.numberReadings.find(key);
    if (known != document.numberReadings.end())
        return known->second;
    const auto numbers = formatter(session, document);
    NumberReading reading;
    try {
        reading.format = numbers->detectNumberFormat(standard, toU(text));
        reading.value = numbers->convertStringToNumber(standard, toU(text));
        reading.numeric = true;
    } catch (const css::util::NotNumericException &) {
        reading = NumberReading();
    }
    document.numberReadings[key] = reading;
    return reading;
}

void putText(Session &session, Document &document, const Reference<css::table::XCell> &cell, const QString &text,
             const QLocale &locale)
{
    const TypedText typed = classifyTypedText(text, locale);
    if (typed.kind == TextKind::Empty) {
        clearCell(cell);
        return;
    }
    if (typed.kind == TextKind::Literal && !text.startsWith(QLatin1Char('='))) {
        // Nothing the office could read as a number or formula: the cell's
        // format stays as it is.
        Reference<css::text::XTextRange>(cell, UNO_QUERY_THROW)->setString(toU(text));
        return;
    }
    sal_Int32 key = 0;
    propertiesOf(cell)->getPropertyValue(rtl::OUString("NumberFormat")) >>= key;
    const FormatKind kind = formatKind(document, key);
    if (kind == FormatKind::Text || typed.kind == TextKind::Literal) {
        putLiteral(cell, text, key);
        return;
    }
    if (typed.kind == TextKind::Date) {
        putDate(document, cell, typed.date, kind, locale);
        return;
    }
    // A number as the office reads it in the program's locale: 1.5, 1,5,
    // 12%, $3, 1e3, and dates in forms the short date does not cover.
    const NumberReading reading = numberReading(session, document, text, locale);
    if (!reading.numeric) {
        putLiteral(cell, text, key);
        return;
    }
    const sal_Int32 detected = reading.format;
    cell->setValue(reading.value);
    const FormatKind detectedKind = formatKind(document, detected);
    if (detected != key && (kind == FormatKind::General || (detectedKind == FormatKind::Date && kind != FormatKind::Date)))
        propertiesOf(cell)->setPropertyValue(rtl::OUString("NumberFormat"), Any(detected));
}

void writeCell(Session &session, Document &document, int sheet, int row, int column, const xl::CellValue &value,
               const QLocale &locale)
{
    const auto cell = cellAt(document, sheet, row, column);
    if (std::holds_alternative<std::monostate>(value)) {
        clearCell(cell);
    } else if (const auto *text = std::get_if<QString>(&value)) {
        putText(session, document, cell, *text, locale);
    } else if (const auto *date = std::get_if<QDate>(&value)) {
        if (!date->isValid())
            throw Failure(QStringLiteral("The date is not valid."));
        sal_Int32 key = 0;
        propertiesOf(cell)->getPropertyValue(rtl::OUString("NumberFormat")) >>= key;
        putDate(document, cell, *date, formatKind(document, key), locale);
    } else if (const auto *number = std::get_if<double>(&value)) {
        cell->setValue(*number);
    }
    noteColumnUsed(document, sheet, column);
}

xl::CellValue readNumber(Document &document, const Reference<css::table::XCell> &cell, double value)
{
    sal_Int32 key = 0;
    propertiesOf(cell)->getPropertyValue(rtl::OUString("NumberFormat")) >>= key;
    if (formatKind(document, key) == FormatKind::Date) {
        const QDate date = dateFromSerial(value);
        if (date.isValid())
            return date;
    }
    return value;
}

xl::CellValue readCell(Document &document, int sheet, int row, int column)
{
    const auto cell = cellAt(document, sheet, row, column);
    switch (cell->getType()) {
    case css::table::CellContentType_EMPTY:
        return std::monostate();
    case css::table::CellContentType_VALUE:
        return readNumber(document, cell, cell->getValue());
    case css::table::CellContentType_FORMULA: {
        sal_Int32 result = 0;
        propertiesOf(cell)->getPropertyValue(rtl::OUString("FormulaResultType2")) >>= result;
        if (result == css::sheet::FormulaResult::VALUE)
            return readNumber(document, cell, cell->getValue());
        break;
    }
    default:
        break;
    }
    return toQ(Reference<css::text::XTextRange>(cell, UNO_QUERY_THROW)->getString());
}

// ---------------------------------------------------------------- view

Reference<css::frame::XController> controllerOf(Document &document)
{
    const auto controller = document.model->getCurrentController();
    if (!controller.is())
        throw Failure(QStringLiteral("The workbook has no view."));
    return controller;
}

void showSheet(Document &document, int index)
{
    const auto sheet = sheetState(document, index).sheet;
    const Reference<css::sheet::XSpreadsheetView> view(controllerOf(document), UNO_QUERY_THROW);
    view->setActiveSheet(sheet);
    document.activeSheet = index;
}

// The view's own selection (one block), or its active sheet's first cell.
Area viewSelection(Document &document)
{
    try {
        const Reference<css::view::XSelectionSupplier> view(controllerOf(document), UNO_QUERY_THROW);
        const Reference<css::sheet::XCellRangeAddressable> selected(view->getSelection(), UNO_QUERY);
        if (selected.is())
            return toArea(selected->getRangeAddress());
    } catch (const Failure &) {
    }
    return Area {document.activeSheet, 0, 0, 0, 0};
}


} // namespace quorbel::lo
