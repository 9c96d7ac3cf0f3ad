#include "IsInstalled.h"

#include "Dialogs.h"
#include "Offices.h"

#include <QStringList>

namespace quorbel {

QString notInstalledMessage()
{
    const QStringList paragraphs = {
        QStringLiteral("Error 842001. A normal instance of Excel could not be created."),
        QStringLiteral("1. Please make sure Excel is installed on this computer."),
        QStringLiteral("2. Please open Excel normally and make sure a blank spreadsheet opens immediately without "
                       "any interrupting window (such as an Excel file recovery window)."),
        QStringLiteral("3. Please make sure that when you double-click on a XLS or XLSX file that Excel opens "
                       "normally without any interrupting messages."),
        QStringLiteral("4. All versions of Excel are supported by this software except for the rare Excel "
                       "Starter and Student editions."),
        QStringLiteral("On Linux the spreadsheet application is LibreOffice Calc: please install the packages "
                       "libreoffice-calc-nogui (or libreoffice-calc) and libreoffice-draw-nogui. A LibreOffice "
                       "installed elsewhere (for example under /opt) is used when the environment variable "
                       "QUORBEL_SOFFICE names its soffice.bin."),
    };
    return paragraphs.join(QStringLiteral("\r\n\r\n"));
}

bool IsInstalled(Offices &offices, Dialogs &dialogs)
{
    bool created = false;
    try {
        if (offices.spare().wanted()) {
            created = offices.spare().startNow();
        } else {
            // Released at once, without Quit: releasing ends the instance too.
            created = offices.createApplication() != nullptr;
        }
    } catch (...) {
        created = false;
    }
    if (created)
        return true;
    messageBox(dialogs, notInstalledMessage());
    return false;
}

} // namespace quorbel
