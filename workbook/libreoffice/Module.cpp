// The entry point Spreadsheet.cpp resolves when it loads this module.

#include "CalcObjects.h"

#include "Failure.h"

#include <QtGlobal>

extern "C" Q_DECL_EXPORT quorbel::xl::XlApplication *quorbel_create_application(QString *error)
{
    try {
        return new quorbel::lo::CalcApplication();
    } catch (const quorbel::Failure &failure) {
        if (error)
            *error = failure.description();
    } catch (const std::exception &failure) {
        if (error)
            *error = QStringLiteral("LibreOffice Calc could not be started: %1").arg(QString::fromLocal8Bit(failure.what()));
    } catch (...) {
        if (error)
            *error = QStringLiteral("LibreOffice Calc could not be started.");
    }
    return nullptr;
}
