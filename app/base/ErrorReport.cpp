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

void ReportError(Dialogs &dialogs, const QString &description, const QString &location, int step)
{
    Box box;
    box.title = QStringLiteral("Application Error");
    box.text = errorReportText(description, location, step);
    box.icon = BoxIcon::Exclamation;
    box.buttons = BoxButtons::Ok;
    box.defaultButton = BoxAnswer::Ok;
    dialogs.showBox(box);
}

Steps::Steps(Dialogs &dialogs, QString location, StepPolicy policy)
    : m_dialogs(dialogs), m_location(std::move(location)), m_policy(std::move(policy))
{
}

bool Steps::operator()(int number, const std::function<void()> &statement)
{
    return run(number, statement, Kind::Ordinary);
}

bool Steps::essential(int number, const std::function<void()> &statement)
{
    return run(number, statement, Kind::Essential);
}

bool Steps::closing(int number, const std::function<void()> &statement)
{
    return run(number, statement, Kind::Closing);
}

bool Steps::test(int number, const std::function<bool()> &condition)
{
    bool result = true;
    (*this)(number, [&] { result = condition(); });
    return result && !stopped();
}

bool Steps::run(int number, const std::function<void()> &statement, Kind kind)
{
    if (stopped())
        return false;
    if (m_cancel && m_cancel->isCancelled()) {
        cancelled(number, std::make_exception_ptr(Cancelled()));
        return false;
    }
    try {
        statement();
        return true;
    } catch (const Cancelled &) {
        cancelled(number, std::current_exception());
    } catch (const Failure &failure) {
        failed(number, failure, kind);
    } catch (const std::exception &error) {
        failed(number, Failure(QString::fromLocal8Bit(error.what())), kind);
    } catch (...) {
        failed(number, Failure(QString()), kind);
    }
    return false;
}

// Called inside the catch of the failure, whose exception the stop keeps.
void Steps::failed(int number, const Failure &failure, Kind kind)
{
    const bool stops = m_policy.stops && m_policy.stops(failure);
    if (kind == Kind::Closing && stops)
        return;
    if (kind == Kind::Essential || stops)
        m_stop = Stop {number, failure.description(), std::current_exception(), false};
    else
        report(failure.description(), number);
}

void Steps::cancelled(int number, std::exception_ptr cancel)
{
    m_stop = Stop {number, QString(), std::move(cancel), true};
}

void Steps::report(const QString &description, int number)
{
    ++m_failures;
    if (m_policy.shown) {
        const QString key = QString::number(number) + QLatin1Char('\n') + description;
        if (m_policy.shown->contains(key))
            return;
        m_policy.shown->insert(key);
    }
    ReportError(m_dialogs, description, m_location, number);
}

} // namespace quorbel
