// The start-up availability check on its own, for trying it by hand on a
// machine (or in a mount namespace) without LibreOffice:
//
//     workbook_office_check
//
// prints the box the check shows (through the built-in Dialogs, which write
// boxes to standard error) and exits with 0 when an instance could be
// started, 1 when not.

#include "Dialogs.h"
#include "IsInstalled.h"
#include "Offices.h"
#include "Title.h"

#include <QGuiApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    quorbel::SetApplicationTitle();
    quorbel::Offices offices(quorbel::Options::fromEnvironment().withoutOfficesAhead());
    quorbel::StderrDialogs dialogs;
    const bool installed = quorbel::IsInstalled(offices, dialogs);
    std::printf("%s\n", installed ? "LibreOffice can be started." : "No spreadsheet application: the program would end here.");
    return installed ? 0 : 1;
}
