#include "AccessiblePicture.h"
#include "AccessibleWindows.h"
#include "RunQuorbel.h"
#include "SystemPrinting.h"
#include "TimingLog.h"
#include "WidgetDialogs.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    quorbel::logTiming("main starts");
    // Read before the application object: Qt's X11 connection takes the
    // startup id out of the environment.
    const quorbel::LaunchToken launch = quorbel::LaunchToken::fromEnvironment();
    QApplication app(argc, argv);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/quorbel/quorbel.png")));

    quorbel::installAccessibleWindows();
    quorbel::installAccessiblePicture();

    quorbel::WidgetDialogs dialogs;
    quorbel::Form1::Services services;
    services.dialogs = &dialogs;
    // The preview converts the workbook through the program's offices and
    // prints through the system's print dialog and CUPS.
    quorbel::SystemPrinting printing;
    quorbel::Form2Services preview;
    preview.printing = &printing;
    return quorbel::runQuorbel(app, services, launch, preview);
}
