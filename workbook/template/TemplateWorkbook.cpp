#include "TemplateWorkbook.h"

#include "Failure.h"

#include <QFile>
#include <QString>

// Registers the compiled-in resource. Called by name, it also makes the linker
// keep the resource's object file when this library is linked statically.
static void registerTemplateResource()
{
    Q_INIT_RESOURCE(templateworkbook);
}

namespace quorbel {

QByteArray templateWorkbookBytes()
{
    static const bool registered = (registerTemplateResource(), true);
    Q_UNUSED(registered);

    QFile file(QStringLiteral(":/quorbel/template.xls"));
    if (!file.open(QIODevice::ReadOnly)) {
        throw Failure(QStringLiteral(
            "The template workbook built into the program is missing."));
    }
    QByteArray bytes = file.readAll();
    if (bytes.isEmpty()) {
        throw Failure(QStringLiteral(
            "The template workbook built into the program could not be read."));
    }
    return bytes;
}

} // namespace quorbel
