#include "SpareOffice.h"

#include "Failure.h"

#include <QThread>

namespace quorbel {

namespace {
// How often a starting office is asked whether it listens yet.
constexpr int kPollMs = 5;
} // namespace

SpareOffice::SpareOffice()
{
    m_poll.setInterval(kPollMs);
    connect(&m_poll, &QTimer::timeout, this, &SpareOffice::advance);
    xl::setInstanceSource(this);
}

SpareOffice::~SpareOffice()
{
    xl::setInstanceSource(nullptr);
    stop();
}

bool SpareOffice::wanted()
{
    return qEnvironmentVariable("QUORBEL_SPARE_OFFICE") != QLatin1String("0") && xl::usingOffice();
}

void SpareOffice::keep()
{
    m_keeping = true;
    if (!m_starting)
        launch();
}

void SpareOffice::stop()
{
    m_keeping = false;
    m_poll.stop();
    m_ready = false;
    m_starting.reset();
}

qint64 SpareOffice::processId() const
{
    return m_starting ? m_starting->processId() : 0;
}

bool SpareOffice::startNow()
{
    if (!wanted())
        return false;
    m_poll.stop();
    m_ready = false;
    m_starting.reset();
    if (!begin())
        return false;
    try {
        while (!m_starting->poll())
            QThread::msleep(kPollMs);
    } catch (const Failure &) {
        m_starting.reset();
        return false;
    }
    m_ready = true;
    return true;
}

// Starts the office to keep; false when it cannot be started.
bool SpareOffice::begin()
{
    try {
        m_starting = xl::StartApplication();
    } catch (const Failure &) {
        m_starting.reset();
        return false;
    }
    ++m_starts;
    // Queued: the notice may come from inside a wait for the process.
    m_starting->setEndedNotice([this] { QMetaObject::invokeMethod(this, &SpareOffice::checkEnded, Qt::QueuedConnection); });
    return true;
}

void SpareOffice::launch()
{
    if (!wanted() || m_starting)
        return;
    m_ready = false;
    // When the start fails there is nothing to keep: the instance is
    // started when it is needed, and that start reports what is wrong.
    if (begin())
        m_poll.start();
}

void SpareOffice::advance()
{
    if (!m_starting) {
        m_poll.stop();
        return;
    }
    try {
        if (m_starting->poll()) {
            m_ready = true;
            m_poll.stop();
        }
    } catch (const Failure &) {
        // A start that failed is not tried again until the next keep():
        // an office that cannot start would otherwise be started forever.
        m_poll.stop();
        m_starting.reset();
        m_ready = false;
    }
}

// An office ended: a ready one that no longer answers is replaced; one that
// is still starting is looked after by advance().
void SpareOffice::checkEnded()
{
    if (!m_starting || !m_ready)
        return;
    if (m_starting->responds())
        return;
    m_ready = false;
    m_starting.reset();
    if (m_keeping)
        launch();
}

std::unique_ptr<xl::XlApplication> SpareOffice::takeInstance()
{
    if (!m_starting) {
        // Taken while none was there (the last start failed, or none was
        // asked for): the next one starts after this.
        if (m_keeping)
            launch();
        return nullptr;
    }
    m_poll.stop();
    std::unique_ptr<xl::StartingApplication> starting = std::move(m_starting);
    const bool wasReady = m_ready;
    m_ready = false;
    starting->setEndedNotice({});
    std::unique_ptr<xl::XlApplication> application;
    try {
        // A ready office is asked once whether it still answers; one still
        // starting is waited for.
        if (!wasReady || starting->responds())
            application = starting->take();
    } catch (const Failure &) {
        application.reset();
    }
    starting.reset();  // a dead or unfinished office goes
    if (m_keeping)
        launch();
    return application;
}

} // namespace quorbel
