#include "FontConfigFile.h"

#include "Failure.h"

#include <QFile>

namespace quorbel::lo {

void writeFontConfigFile(const QString &path)
{
    QFile fonts(path);
    if (!fonts.open(QIODevice::WriteOnly))
        throw Failure(QStringLiteral("Could not write %1.").arg(path));
    fonts.write("<?xml version=\"1.0\"?>\n"
                "<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">\n"
                "<fontconfig>\n"
                "  <include ignore_missing=\"yes\">/etc/fonts/fonts.conf</include>\n"
                "  <dir>/usr/share/wine/fonts</dir>\n"
                "</fontconfig>\n");
}

} // namespace quorbel::lo
