#include "OfficeConnection.h"

#include "OfficePipes.h"

#include <com/sun/star/bridge/BridgeFactory.hpp>
#include <com/sun/star/connection/ConnectionSetupException.hpp>
#include <com/sun/star/connection/Connector.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/lang/XEventListener.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <cppuhelper/exc_hlp.hxx>
#include <cppuhelper/implbase1.hxx>
#include <rtl/bootstrap.hxx>

#include <QFileInfo>
#include <QRandomGenerator>
#include <QThread>

#include <csignal>
#include <dlfcn.h>
#include <unistd.h>

namespace quorbel::lo {

using css::uno::Reference;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;

namespace {

QString secondsText(std::chrono::milliseconds limit)
{
    const double seconds = double(limit.count()) / 1000.0;
    return QString::number(seconds, 'g', 4) + (seconds == 1.0 ? QStringLiteral(" second") : QStringLiteral(" seconds"));
}

// The bridge writes to the office's pipe with plain send(). When the office
// has just died, a write that comes before the bridge notices raises
// SIGPIPE, whose default action would end this program with the office.
// Ignored, the write fails with EPIPE and the call with DisposedException,
// which is reported like any other loss of the office.
void ignoreBrokenPipes()
{
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action {};
        action.sa_handler = SIG_IGN;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGPIPE, &action, nullptr);
    });
}

// The component context of this process: the UNO runtime the module is
// linked against, with the office's type library, made once.
Reference<css::uno::XComponentContext> localContext()
{
    static std::mutex mutex;
    static Reference<css::uno::XComponentContext> context;
    static QString error;
    std::lock_guard lock(mutex);
    if (!context.is() && error.isEmpty()) {
        try {
            Dl_info info {};
            QString programDir;
            if (::dladdr(reinterpret_cast<void *>(&rtl_uString_new), &info) && info.dli_fname)
                programDir = QFileInfo(QString::fromLocal8Bit(info.dli_fname)).canonicalPath();
            if (programDir.isEmpty())
                programDir = QStringLiteral(QUORBEL_OFFICE_PROGRAM_DIR);
            rtl::Bootstrap::set(rtl::OUString("URE_BOOTSTRAP"),
                                toU(QStringLiteral("vnd.sun.star.pathname:") + programDir + QStringLiteral("/fundamentalrc")));
            context = cppu::defaultBootstrap_InitialComponentContext();
        } catch (const css::uno::Exception &e) {
            error = describe(e);
        } catch (const std::exception &e) {
            error = QString::fromLocal8Bit(e.what());
        }
        if (!context.is() && error.isEmpty())
            error = QStringLiteral("no context");
    }
    if (!context.is())
        throw Failure(QStringLiteral("The UNO runtime of LibreOffice could not be set up: %1").arg(error));
    return context;
}

class BridgeListener : public cppu::WeakImplHelper1<css::lang::XEventListener> {
public:
    explicit BridgeListener(std::shared_ptr<std::atomic<bool>> flag) : m_flag(std::move(flag)) {}
    void SAL_CALL disposing(const css::lang::EventObject &) override { *m_flag = true; }

private:
    std::shared_ptr<std::atomic<bool>> m_flag;
};

void disposeQuietly(const Reference<css::bridge::XBridge> &bridge)
{
    try {
        const Reference<css::lang::XComponent> component(bridge, UNO_QUERY);
        if (component.is())
            component->dispose();
    } catch (...) {
    }
}

} // namespace

// ---------------------------------------------------------------- Watchdog

Watchdog::Watchdog(std::function<void()> onTimeout)
    : m_onTimeout(std::move(onTimeout))
    , m_thread([this] { run(); })
{
}

Watchdog::~Watchdog()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void Watchdog::arm(std::chrono::milliseconds limit)
{
    {
        std::lock_guard lock(m_mutex);
        m_armed = true;
        m_deadline = std::chrono::steady_clock::now() + limit;
    }
    m_wake.notify_all();
}

void Watchdog::disarm()
{
    std::lock_guard lock(m_mutex);
    m_armed = false;
}

void Watchdog::run()
{
    std::unique_lock lock(m_mutex);
    while (!m_stop) {
        if (!m_armed) {
            m_wake.wait(lock);
            continue;
        }
        m_wake.wait_until(lock, m_deadline);
        if (!m_stop && m_armed && std::chrono::steady_clock::now() >= m_deadline) {
            m_armed = false;
            m_fired = true;
            // Runs under the lock: the caller reaps the office only after
            // disarming, so the process is never killed after its reaping.
            m_onTimeout();
        }
    }
}

// ---------------------------------------------------------------- OfficeConnection

OfficeConnection::OfficeConnection(const Options &options)
    : OfficeConnection(options, Starting {})
{
    waitUntilConnected();
}

OfficeConnection::OfficeConnection(const Options &options, Starting)
    : m_bridgeDisposed(std::make_shared<std::atomic<bool>>(false))
    , m_limit(options.callTimeLimit)
    , m_ordinaryLimit(options.callTimeLimit)
    , m_program(options.officeProgram)
{
    ignoreBrokenPipes();
    const auto local = localContext();
    m_pipeName = QStringLiteral("quorbel-%1-%2")
                     .arg(::getpid())
                     .arg(QRandomGenerator::system()->generate64(), 0, 36);
    m_process = std::make_unique<OfficeProcess>(m_pipeName, options);
    // A call that outlives its limit is freed both ways: the office is
    // killed, and the bridge (a call blocks on its pipe) is disposed.
    m_watchdog = std::make_unique<Watchdog>([this] {
        m_process->kill();
        Reference<css::bridge::XBridge> bridge;
        {
            std::lock_guard lock(m_bridgeMutex);
            bridge = m_bridge;
        }
        disposeQuietly(bridge);
    });
    try {
        m_connector = css::connection::Connector::create(local);
    } catch (const css::uno::Exception &e) {
        m_process->finish(0);
        throw Failure(QStringLiteral("Could not connect to LibreOffice: %1").arg(describe(e)));
    }
    m_startDeadline = std::chrono::steady_clock::now() + m_limit;
}

OfficeConnection::~OfficeConnection()
{
    quit();
}

void OfficeConnection::waitUntilConnected()
{
    while (!tryConnect())
        QThread::msleep(5);
}

bool OfficeConnection::tryConnect()
{
    if (m_connected)
        return true;
    throwIfEnded();
    try {
        if (!connectOnce())
            return false;
    } catch (const Failure &failure) {
        m_watchdog->disarm();
        disposeQuietly(m_bridge);
        m_process->finish(0);
        m_ended = true;
        m_endReason = failure.description();
        m_endLoss = InstanceLoss::NotStarted;
        throw InstanceFailure(m_endReason, m_endLoss);
    }
    m_connected = true;
    return true;
}

bool OfficeConnection::connectOnce()
{
    const auto local = localContext();
    Reference<css::connection::XConnection> connection;
    switch (officePipeState(m_pipeName)) {
    case PipeState::Missing:
        // Not listening yet.
        break;
    case PipeState::Foreign:
        // Whoever listens there would read every cell and choose every
        // reply: the office counts as one that did not start.
        throw Failure(QStringLiteral("LibreOffice could not be started: the pipe %1 is not a socket of this user's "
                                     "own, so it is not used.")
                          .arg(officePipePath(m_pipeName)));
    case PipeState::Own:
        // Connecting to a socket is bounded as a call is.
        m_watchdog->arm(m_limit);
        try {
            connection = m_connector->connect(toU(QStringLiteral("pipe,name=") + m_pipeName));
        } catch (const css::connection::NoConnectException &) {
            // Not accepting yet.
        } catch (const css::uno::Exception &e) {
            m_watchdog->disarm();
            throw Failure(QStringLiteral("Could not connect to LibreOffice: %1").arg(describe(e)));
        }
        m_watchdog->disarm();
        if (m_watchdog->fired())
            throw Failure(QStringLiteral("LibreOffice did not answer within %1 while starting.").arg(secondsText(m_limit)));
        break;
    }
    if (!connection.is()) {
        if (m_process->hasEnded()) {
            // A profile the office had to initialise once more.
            if (m_process->exitCode() == kOfficeRestartExitCode && !m_restarted) {
                m_restarted = true;
                m_process->restart();
                return false;
            }
            const QString log = m_process->logTail();
            throw Failure(QStringLiteral("LibreOffice (%1) ended while starting (%2).%3")
                              .arg(m_program, m_process->endDescription(),
                                   log.isEmpty() ? QString() : QStringLiteral("\n") + log));
        }
        if (std::chrono::steady_clock::now() > m_startDeadline)
            throw Failure(QStringLiteral("LibreOffice (%1) did not start within %2.")
                              .arg(m_program, secondsText(m_limit)));
        return false;
    }

    m_watchdog->arm(m_limit);
    try {
        const Reference<css::bridge::XBridge> bridge = css::bridge::BridgeFactory::create(local)->createBridge(
            rtl::OUString(), rtl::OUString("urp"), connection, nullptr);
        {
            std::lock_guard lock(m_bridgeMutex);
            m_bridge = bridge;
        }
        const Reference<css::lang::XComponent> bridgeComponent(m_bridge, UNO_QUERY_THROW);
        bridgeComponent->addEventListener(new BridgeListener(m_bridgeDisposed));
        m_context.set(m_bridge->getInstance(rtl::OUString("StarOffice.ComponentContext")), UNO_QUERY_THROW);
        m_factory = m_context->getServiceManager();
        if (!m_factory.is())
            throw Failure(QStringLiteral("LibreOffice gave no service manager."));
        m_desktop = css::frame::Desktop::create(m_context);
    } catch (const css::uno::Exception &e) {
        m_watchdog->disarm();
        if (m_watchdog->fired())
            throw Failure(QStringLiteral("LibreOffice did not answer within %1 while starting.").arg(secondsText(m_limit)));
        throw Failure(QStringLiteral("Could not connect to LibreOffice: %1").arg(describe(e)));
    }
    m_watchdog->disarm();
    return true;
}

bool OfficeConnection::responds()
{
    if (m_ended || !m_connected || *m_bridgeDisposed || m_process->hasEnded())
        return false;
    try {
        // One round trip: an office that has died fails it at once.
        call([&] { m_desktop->getCurrentComponent(); });
        return true;
    } catch (const Failure &) {
        return false;
    }
}

bool OfficeConnection::processEnded()
{
    return m_ended || m_process->hasEnded();
}

void OfficeConnection::abandon()
{
    if (m_ended)
        return;
    m_ended = true;
    m_endReason = QStringLiteral("This LibreOffice instance has already been ended.");
    m_watchdog->disarm();
    disposeQuietly(m_bridge);
    m_process->finish(0);
}

Reference<css::uno::XInterface> OfficeConnection::createInstance(const char *service)
{
    return call([&] {
        const auto instance = m_factory->createInstanceWithContext(rtl::OUString::createFromAscii(service), m_context);
        if (!instance.is())
            throw Failure(QStringLiteral("LibreOffice has no %1.").arg(QLatin1String(service)));
        return instance;
    });
}

void OfficeConnection::setEndedNotice(std::function<void()> notice)
{
    m_process->setEndedNotice(std::move(notice));
}

QString OfficeConnection::scratchFolder() const
{
    throwIfEnded();
    return m_process->folder().path();
}

qint64 OfficeConnection::pid() const
{
    return m_process ? m_process->pid() : 0;
}

void OfficeConnection::throwIfEnded() const
{
    if (m_ended)
        throw InstanceFailure(m_endReason, m_endLoss);
}

void OfficeConnection::enter()
{
    throwIfEnded();
    if (m_depth++ == 0)
        m_watchdog->arm(m_limit);
}

void OfficeConnection::leave()
{
    if (--m_depth == 0)
        m_watchdog->disarm();
}

void OfficeConnection::leaveWithError()
{
    leave();
    try {
        throw;
    } catch (const Failure &) {
        throw;
    } catch (const Cancelled &) {
        throw;
    } catch (const css::lang::DisposedException &) {
        throw endAfterFault();
    } catch (const css::uno::Exception &e) {
        if (*m_bridgeDisposed || m_watchdog->fired() || m_process->hasEnded())
            throw endAfterFault();
        QString message = describe(e);
        if (message.isEmpty())
            message = toQ(cppu::getCaughtException().getValueTypeName());
        throw Failure(QStringLiteral("LibreOffice reported an error: %1").arg(message));
    } catch (const std::exception &e) {
        throw Failure(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        throw Failure(QStringLiteral("An unknown error occurred while talking to LibreOffice."));
    }
}

InstanceFailure OfficeConnection::endAfterFault()
{
    m_watchdog->disarm();
    m_depth = 0;
    QString reason;
    if (m_watchdog->fired()) {
        reason = QStringLiteral("LibreOffice did not answer within %1 and was stopped.").arg(secondsText(m_limit));
    } else {
        m_process->waitForEnd(2000);
        reason = m_process->hasEnded()
            ? QStringLiteral("LibreOffice ended unexpectedly (%1).").arg(m_process->endDescription())
            : QStringLiteral("The connection to LibreOffice was lost; the office was stopped.");
    }
    m_ended = true;
    m_endReason = reason + QStringLiteral(" Start the command again.");
    m_endLoss = m_watchdog->fired() ? InstanceLoss::Hung : InstanceLoss::Ended;
    disposeQuietly(m_bridge);
    m_process->finish(0);
    return InstanceFailure(m_endReason, m_endLoss);
}

void OfficeConnection::quit()
{
    // The office holds nothing worth keeping once its workbooks are closed:
    // its profile and temporary files are this instance's own and go with
    // it. Asking it to shut down cleanly (terminate) costs a few hundred
    // milliseconds of writing settings nobody reads again, so it is ended
    // at once.
    abandon();
}

} // namespace quorbel::lo
