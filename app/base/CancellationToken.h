#pragma once

// A request to stop work that is under way: the program's end. Copies share
// one state: whoever holds a copy sees the cancel that any copy made. Work
// asks isCancelled() where it can stop.

#include <atomic>
#include <functional>
#include <memory>

namespace quorbel {

class CancellationToken {
public:
    CancellationToken() : m_state(std::make_shared<State>()) {}

    void cancel() { m_state->cancelled = true; }

    // True once cancel() was called on any copy. Before it answers no, it
    // runs the poll (when one is set), which may cancel: a request that waits
    // to be delivered while the work holds the event loop is found so.
    bool isCancelled() const
    {
        if (!m_state->cancelled && m_state->poll)
            m_state->poll();
        return m_state->cancelled;
    }

    // The same without the poll: what the owner asks outside the work.
    bool cancelledAlready() const { return m_state->cancelled; }

    // What isCancelled() runs first (nothing when empty).
    void setPoll(std::function<void()> poll) { m_state->poll = std::move(poll); }

private:
    struct State {
        std::atomic<bool> cancelled {false};
        std::function<void()> poll;
    };
    std::shared_ptr<State> m_state;
};

} // namespace quorbel
