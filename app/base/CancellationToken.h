#pragma once

// A request to stop work that is under way: the program's end, or the user's
// Cancel of one command. Copies share one state: whoever holds a copy sees
// the cancel that any copy made. Work asks isCancelled() where it can stop;
// work that can only stop by leaving what it is in throws Cancelled
// (throwIfCancelled()). A child token (child()) is cancelled on its own or
// with its parent: one command's work, which the program's end stops too.

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

    // A new token that is cancelled when it is, or when this one is.
    CancellationToken child() const
    {
        CancellationToken token;
        token.m_state->parent = m_state;
        return token;
    }

    // True once cancel() was called on any copy (or on a parent's). Before
    // it answers no, it runs the polls (when set: its own, then its
    // parent's), which may cancel: a request that waits to be delivered
    // while the work holds the event loop is found so.
    bool isCancelled() const
    {
        for (const State *state = m_state.get(); state && !cancelledAlready(); state = state->parent.get()) {
            if (state->poll)
                state->poll();
        }
        return cancelledAlready();
    }

    // Throws Cancelled once isCancelled().
    void throwIfCancelled() const
    {
        if (isCancelled())
            throw Cancelled();
    }

    // The same without the polls: what the owner asks outside the work.
    bool cancelledAlready() const
    {
        for (const State *state = m_state.get(); state; state = state->parent.get()) {
            if (state->cancelled)
                return true;
        }
        return false;
    }

    // What isCancelled() runs first (nothing when empty).
    void setPoll(std::function<void()> poll) { m_state->poll = std::move(poll); }

private:
    struct State {
        std::atomic<bool> cancelled {false};
        std::function<void()> poll;
        std::shared_ptr<const State> parent;
    };
    std::shared_ptr<State> m_state;
};

} // namespace quorbel
