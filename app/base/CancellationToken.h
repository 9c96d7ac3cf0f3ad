#pragma once

// A request to stop work that is under way: the program's end. Copies share
// one state: whoever holds a copy sees the cancel that any copy made. Work
// asks isCancelled() where it can stop; work that can only stop by leaving
// what it is in throws Cancelled (throwIfCancelled()).

#include <atomic>
#include <exception>
#include <functional>
#include <memory>

namespace quorbel {

// Thrown by work that stops because its token was cancelled. It is no
// failure: nobody reports it, and what catches it only cleans up.
class Cancelled : public std::exception {
public:
    const char *what() const noexcept override { return "The work was cancelled."; }
};

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

    // Throws Cancelled once isCancelled().
    void throwIfCancelled() const
    {
        if (isCancelled())
            throw Cancelled();
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
