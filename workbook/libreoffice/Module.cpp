// The entry points Offices.cpp resolves when it loads this module.

#include "CalcObjects.h"
#include "OfficeProcess.h"
#include "WarmUp.h"

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

// An office launched and connected to from the event loop, and then warmed
// up in small steps from there too.
class CalcStart final : public xl::StartingApplication {
public:
    explicit CalcStart(const Options &options)
        : m_office(std::make_unique<OfficeConnection>(options, OfficeConnection::Starting {})) {}

    ~CalcStart() override
    {
        if (OfficeConnection *connection = office()) {
            connection->setEndedNotice({});
            // Nothing was ever done in it that is worth keeping (the round's
            // files go with the instance's folder).
            connection->abandon();
            m_warmUp.reset();
        }
    }

    bool poll() override
    {
        OfficeConnection *connection = office();
        if (!connection)
            return false;
        return connection->tryConnect();
    }

    bool warm(const QByteArray &templateBytes) override
    {
        if (!m_application) {
            if (!m_office || !m_office->connected())
                throw InstanceFailure(QStringLiteral("The office is not ready to warm up."), InstanceLoss::NotStarted);
            m_application = std::make_unique<CalcApplication>(std::move(m_office));
            m_warmUp = std::make_unique<WarmUp>(*m_application, templateBytes);
        }
        if (!m_warmUp)
            return true;
        try {
            return m_warmUp->step();
        } catch (...) {
            // A round that failed part way is not finished: the office goes.
            if (OfficeConnection *connection = office())
                connection->abandon();
            m_warmUp.reset();
            throw;
        }
    }

    bool responds() override
    {
        OfficeConnection *connection = office();
        return connection && connection->responds();
    }

    bool hasEnded() override
    {
        OfficeConnection *connection = office();
        return !connection || connection->processEnded();
    }

    std::unique_ptr<xl::XlApplication> take() override
    {
        OfficeConnection *connection = office();
        if (!connection)
            throw InstanceFailure(QStringLiteral("The started LibreOffice has already been taken."),
                                  InstanceLoss::NotStarted);
        connection->setEndedNotice({});
        if (m_application) {
            // Taken part way through its warm-up: what it has open closes.
            if (m_warmUp) {
                auto warmUp = std::move(m_warmUp);
                warmUp->finish();
            }
            return std::move(m_application);
        }
        connection->waitUntilConnected();
        return std::make_unique<CalcApplication>(std::move(m_office));
    }

    qint64 processId() const override
    {
        const OfficeConnection *connection = office();
        return connection ? connection->pid() : 0;
    }

    void setEndedNotice(std::function<void()> notice) override
    {
        if (OfficeConnection *connection = office())
            connection->setEndedNotice(std::move(notice));
    }

private:
    OfficeConnection *office() const
    {
        if (m_office)
            return m_office.get();
        if (m_application && m_application->session()->office)
            return m_application->session()->office.get();
        return nullptr;
    }

    std::unique_ptr<OfficeConnection> m_office;
    // Once the warm-up has begun, the instance that owns the office.
    std::unique_ptr<CalcApplication> m_application;
    std::unique_ptr<WarmUp> m_warmUp;
};

} // namespace
} // namespace quorbel::lo

// The program hands over its options (the office program and the time
// limits) with every instance it asks for.
extern "C" Q_DECL_EXPORT quorbel::xl::XlApplication *quorbel_create_application(const quorbel::Options *options,
                                                                               QString *error)
{
    try {
        return new quorbel::lo::CalcApplication(options ? *options : quorbel::Options());
    } catch (const std::exception &failure) {
        if (error)
            *error = quorbel::lo::startError(failure);
    } catch (...) {
        if (error)
            *error = QStringLiteral("LibreOffice Calc could not be started.");
    }
    return nullptr;
}

extern "C" Q_DECL_EXPORT quorbel::xl::StartingApplication *quorbel_start_application(const quorbel::Options *options,
                                                                                     QString *error)
{
    try {
        return new quorbel::lo::CalcStart(options ? *options : quorbel::Options());
    } catch (const std::exception &failure) {
        if (error)
            *error = quorbel::lo::startError(failure);
    } catch (...) {
        if (error)
            *error = QStringLiteral("LibreOffice Calc could not be started.");
    }
    return nullptr;
}

extern "C" Q_DECL_EXPORT void quorbel_defer_office_endings(bool on)
{
    quorbel::lo::OfficeProcess::deferEndings(on);
}
