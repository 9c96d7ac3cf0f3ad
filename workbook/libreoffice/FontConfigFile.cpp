#include "FontConfigFile.h"

#include "Failure.h"

#include <QFile>
#include <QXmlStreamWriter>

namespace quorbel::lo {

void writeFontConfigFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw Failure(QStringLiteral("Could not write %1: %2").arg(path, file.errorString()));
    QXmlStreamWriter xml(&file);
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(2);
    xml.writeStartDocument();
    xml.writeDTD(QStringLiteral("<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">"));
    xml.writeStartElement(QStringLiteral("fontconfig"));
    xml.writeStartElement(QStringLiteral("include"));
    xml.writeAttribute(QStringLiteral("ignore_missing"), QStringLiteral("yes"));
    xml.writeCharacters(QStringLiteral("/etc/fonts/fonts.conf"));
    xml.writeEndElement();
    xml.writeTextElement(QStringLiteral("dir"), QStringLiteral("/usr/share/wine/fonts"));
    xml.writeEndElement();
    xml.writeEndDocument();
    file.close();
    if (xml.hasError() || file.error() != QFileDevice::NoError)
        throw Failure(QStringLiteral("Could not write %1: %2").arg(path, file.errorString()));
}

} // namespace quorbel::lo
