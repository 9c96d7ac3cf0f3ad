#pragma once

// A UNO connection to one private office, with every call bounded: an office
// that dies during a call makes that call fail at once, an office that stops
// answering is ended (and its bridge disposed) by a watchdog after
// callTimeLimit(), and every later call on a connection whose office has
// ended fails at once. Only a socket of this user's own is connected to.

#include "OfficeProcess.h"
#include "UnoText.h"

#include "CancellationToken.h"
#include "InstanceFailure.h"

#include <com/sun/star/bridge/XBridge.hpp>
#include <com/sun/star/connection/XConnector.hpp>
#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/lang/XMultiComponentFactory.hpp>
#include <com/sun/star/uno/RuntimeException.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>

#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <type_traits>

namespace quorbel::lo {

// Runs `onTimeout` on its own thread when a call armed with arm() has not
// been disarmed within the limit.
class Watchdog {
public:
    explicit Watchdog(std::function<void()> onTimeout);
    ~Watchdog();
    Watchdog(const Watchdog &) = delete;
    Watchdog &operator=(const Watchdog &) = delete;

    void arm(std::chrono::milliseconds limit);
    void disarm();
    bool fired() const { return m_fired; }

private:
    void run();

    std::function<void()> m_onTimeout;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_armed = false;
    bool m_stop = false;
    std::chrono::steady_clock::time_point m_deadline;
    std::atomic<bool> m_fired {false};
    std::thread m_thread;
};

class OfficeConnection {
public:
    // Starts a private office of `options` (its program and its time
    // limits) and connects to it. Throws Failure.
    explicit OfficeConnection(const Options &options);
    // Starts a private office and returns while it is still starting:
    // tryConnect() then connects without waiting, waitUntilConnected() waits.
    struct Starting {};
    OfficeConnection(const Options &options, Starting);
    // Ends the office if Quit has not.
    ~OfficeConnection();
    OfficeConnection(const OfficeConnection &) = delete;
    OfficeConnection &operator=(const OfficeConnection &) = delete;

    // Runs `body` (UNO calls) as one bounded call. UNO exceptions become
    // Failure; when the office has ended (died, hung, quit) the Failure says
    // so and every later call fails at once. A Cancelled (checkpoint())
    // passes through as it is.
    template<typename Body>
    auto call(Body &&body) -> std::invoke_result_t<Body>
    {
        enter();
        try {
            if constexpr (std::is_void_v<std::invoke_result_t<Body>>) {
                body();
                leave();
            } else {
                auto result = body();
                leave();
                return result;
            }
        } catch (...) {
            leaveWithError();  // always throws
        }
    }

    const css::uno::Reference<css::uno::XComponentContext> &context() const { return m_context; }
    const css::uno::Reference<css::frame::XDesktop2> &desktop() const { return m_desktop; }
    css::uno::Reference<css::uno::XInterface> createInstance(const char *service);

    // One attempt to connect to the starting office, without waiting: true
    // once connected. Throws InstanceFailure (NotStarted) when the
    // office ended while starting or did not start within the call limit;
    // the office has been ended then.
    bool tryConnect();
    void waitUntilConnected();
    bool connected() const { return m_connected; }
    // True when the office is connected and answers one round trip.
    bool responds();
    // Called (from the event loop or from a wait for the process) whenever
    // the office process ends, expectedly or not.
    void setEndedNotice(std::function<void()> notice);

    // The limit of each later call (the options' call limit to begin with,
    // ordinaryCallLimit()). Work
    // done while nobody waits for it, such as warming an office kept ahead
    // of need, runs under a shorter one.
    void setCallLimit(std::chrono::milliseconds limit) { m_limit = limit; }
    std::chrono::milliseconds callLimit() const { return m_limit; }
    std::chrono::milliseconds ordinaryCallLimit() const { return m_ordinaryLimit; }
    // True once the office process has ended; never blocks.
    bool processEnded();

    // What long work asks between its calls to the office (null: nothing).
    void setCancellation(const CancellationToken *cancel) { m_cancel = cancel; }
    // Where long work may stop: throws Cancelled once the cancellation is
    // cancelled (asking it may let the program's event loop run a moment).
    void checkpoint() const
    {
        if (m_cancel)
            m_cancel->throwIfCancelled();
    }
    // True once the cancellation is cancelled (without asking it anew).
    bool cancelled() const { return m_cancel && m_cancel->cancelledAlready(); }

    // A folder of this instance's own for scratch files.
    QString scratchFolder() const;
    qint64 pid() const;
    bool ended() const { return m_ended; }

    // Ends the office (its process group is killed and reaped; the caller
    // has closed its workbooks) and removes its profile. Never fails; a
    // second call does nothing.
    void quit();
    // The same end for an office that was never handed out.
    void abandon();

private:
    bool connectOnce();
    void enter();
    void leave();
    [[noreturn]] void leaveWithError();
    // Marks the office as ended, ends and reaps it, and returns the Failure
    // that says why.
    InstanceFailure endAfterFault();
    void throwIfEnded() const;

    std::unique_ptr<OfficeProcess> m_process;
    QString m_pipeName;
    css::uno::Reference<css::connection::XConnector> m_connector;
    std::chrono::steady_clock::time_point m_startDeadline;
    bool m_connected = false;
    bool m_restarted = false;
    // Set under the mutex: the watchdog's thread disposes it.
    std::mutex m_bridgeMutex;
    css::uno::Reference<css::bridge::XBridge> m_bridge;
    css::uno::Reference<css::uno::XComponentContext> m_context;
    css::uno::Reference<css::lang::XMultiComponentFactory> m_factory;
    css::uno::Reference<css::frame::XDesktop2> m_desktop;
    std::shared_ptr<std::atomic<bool>> m_bridgeDisposed;
    std::unique_ptr<Watchdog> m_watchdog;
    std::chrono::milliseconds m_limit;
    std::chrono::milliseconds m_ordinaryLimit;
    QString m_program;
    int m_depth = 0;
    const CancellationToken *m_cancel = nullptr;
    bool m_ended = false;
    QString m_endReason;
    // How the office was lost (None after an ordinary Quit).
    InstanceLoss m_endLoss = InstanceLoss::None;
};

} // namespace quorbel::lo
