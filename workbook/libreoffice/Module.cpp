// The entry points Spreadsheet.cpp resolves when it loads this module.

#include "CalcObjects.h"

#include "Failure.h"

#include <QtGlobal>

namespace quorbel::lo {
namespace {

QString startError(const std::exception &failure)
{
    if (const auto *own = dynamic_cast<const Failure *>(&failure))
        return own->description();
    return QStringLiteral("LibreOffice Calc could not be started: %1").arg(QString::fromLocal8Bit(failure.what()));
}

// An office launched and connected to from the event loop.
class CalcStart final : public xl::StartingApplication {
public:
    CalcStart() : m_office(std::make_unique<OfficeConnection>(OfficeConnection::Starting {})) {}

    ~CalcStart() override
    {
        if (m_office) {
            m_office->setEndedNotice({});
            // Nothing was ever done in it.
            m_office->abandon();
        }
    }

    bool poll() override
    {
        if (!m_office)
            return false;
        return m_office->tryConnect();
    }

    bool responds() override { return m_office && m_office->responds(); }

    std::unique_ptr<xl::XlApplication> take() override
    {
        if (!m_office)
            throw Failure(QStringLiteral("The started LibreOffice has already been taken."), InstanceLoss::NotStarted);
        m_office->setEndedNotice({});
        m_office->waitUntilConnected();
        return std::make_unique<CalcApplication>(std::move(m_office));
    }

    qint64 processId() const override { return m_office ? m_office->pid() : 0; }

    void setEndedNotice(std::function<void()> notice) override
    {
        if (m_office)
            m_office->setEndedNotice(std::move(notice));
    }

private:
    std::unique_ptr<OfficeConnection> m_office;
};

} // namespace
} // namespace quorbel::lo

extern "C" Q_DECL_EXPORT quorbel::xl::XlApplication *quorbel_create_application(QString *error)
{
    try {
        return new quorbel::lo::CalcApplication();
    } catch (const std::exception &failure) {
        if (error)
            *error = quorbel::lo::startError(failure);
    } catch (...) {
        if (error)
            *error = QStringLiteral("LibreOffice Calc could not be started.");
    }
    return nullptr;
}

extern "C" Q_DECL_EXPORT quorbel::xl::StartingApplication *quorbel_start_application(QString *error)
{
    try {
        return new quorbel::lo::CalcStart();
    } catch (const std::exception &failure) {
        if (error)
            *error = quorbel::lo::startError(failure);
    } catch (...) {
        if (error)
            *error = QStringLiteral("LibreOffice Calc could not be started.");
    }
    return nullptr;
}
