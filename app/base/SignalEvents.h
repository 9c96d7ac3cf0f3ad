#pragma once

#include <QObject>

#include <initializer_list>
#include <memory>

class QSocketNotifier;

namespace quorbel {

// Turns Unix signals into a Qt signal on the thread that made this object.
// The signal handler only writes the signal's number into one end of a
// socket pair; a QSocketNotifier on the other end reads it in the event
// loop and emits received(). While no event loop runs (a long command),
// pending() tells whether a signal waits, and deliverPending() delivers it.
//
// One object at a time; the earlier handlers come back when it goes.
class SignalEvents final : public QObject {
    Q_OBJECT

public:
    explicit SignalEvents(std::initializer_list<int> signalNumbers, QObject *parent = nullptr);
    ~SignalEvents() override;
    SignalEvents(const SignalEvents &) = delete;
    SignalEvents &operator=(const SignalEvents &) = delete;

    // A signal has arrived that received() has not reported yet.
    bool pending() const;
    // Emits received() for every signal that has arrived, without waiting.
    void deliverPending();

signals:
    void received(int signalNumber);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace quorbel
