#include "ErrorReport.h"

#include "Dialogs.h"
#include "Failure.h"

#include <exception>

namespace quorbel {

QString errorReportText(const QString &description, const QString &location, int step)
{
    return description + QStringLiteral("\r\n") + QStringLiteral("in ") + kLocationPrefix + location
        + QLatin1Char(' ') + QStringLiteral("at line ") + QString::number(step) + QStringLiteral("\r\r")
        + QStringLiteral("Please email screenshot of this message to ") + kSupportAddress;
}

void ReportError(const QString &description, const QString &location, int step)
{
    Box box;
    box.title = QStringLiteral("Application Error");
    box.text = errorReportText(description, location, step);
    box.icon = BoxIcon::Exclamation;
    box.buttons = BoxButtons::Ok;
    box.defaultButton = BoxAnswer::Ok;
    Dialogs::current().showBox(box);
}

Steps::Steps(QString location)
    : m_location(std::move(location))
{
}

bool Steps::operator()(int number, const std::function<void()> &statement)
{
    try {
        statement();
        return true;
    } catch (const Failure &failure) {
        report(failure.description(), number);
    } catch (const std::exception &error) {
        report(QString::fromLocal8Bit(error.what()), number);
    } catch (...) {
        report(QString(), number);
    }
    return false;
}

bool Steps::test(int number, const std::function<bool()> &condition)
{
    bool result = true;
    (*this)(number, [&] { result = condition(); });
    return result;
}

void Steps::report(const QString &description, int number)
{
    ++m_failures;
    ReportError(description, m_location, number);
}

} // namespace quorbel
