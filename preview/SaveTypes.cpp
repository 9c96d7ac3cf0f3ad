#include "SaveTypes.h"

namespace quorbel {

const QList<SaveType> &saveTypes()
{
    static const QList<SaveType> types {
        {SheetFormat::Xls, QStringLiteral("Excel Files (*.xls)"), QStringLiteral("xls")},
        {SheetFormat::Xlsx, QStringLiteral("Excel Workbook (*.xlsx)"), QStringLiteral("xlsx")},
        {SheetFormat::Ods, QStringLiteral("OpenDocument Spreadsheet (*.ods)"), QStringLiteral("ods")},
        {SheetFormat::Pdf, QStringLiteral("PDF (*.pdf)"), QStringLiteral("pdf")},
    };
    return types;
}

QStringList saveFilters()
{
    QStringList filters;
    for (const SaveType &type : saveTypes())
        filters << type.filter;
    return filters;
}

const SaveType &saveType(SheetFormat format)
{
    for (const SaveType &type : saveTypes()) {
        if (type.format == format)
            return type;
    }
    return saveTypes().constFirst();
}

SaveTarget saveTarget(const QString &chosen, const QString &filter)
{
    const QString fileName = chosen.mid(chosen.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0) {
        const QString typed = fileName.mid(dot + 1).toLower();
        for (const SaveType &type : saveTypes()) {
            if (type.extension == typed)
                return {chosen, type.format};
        }
    }
    const SaveType *selected = &saveTypes().constFirst();
    for (const SaveType &type : saveTypes()) {
        if (type.filter == filter)
            selected = &type;
    }
    if (dot < 0 && !fileName.isEmpty() && selected->format != SheetFormat::Xls)
        return {chosen + QLatin1Char('.') + selected->extension, selected->format};
    return {chosen, selected->format};
}

} // namespace quorbel
