#include "SignalEvents.h"

#include "Failure.h"

#include <QList>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quorbel {
namespace {

// The end the handler writes to; -1 while no object exists.
volatile int g_writeEnd = -1;

extern "C" void writeSignalNumber(int signalNumber)
{
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    // A full socket buffer drops the byte: one waiting signal is enough.
    [[maybe_unused]] const ssize_t written = ::write(g_writeEnd, &byte, 1);
    errno = savedErrno;
}

} // namespace

struct SignalEvents::Private {
    int ends[2] = {-1, -1};
    QSocketNotifier *notifier = nullptr;
    QList<std::pair<int, struct sigaction>> previous;
};

SignalEvents::SignalEvents(std::initializer_list<int> signalNumbers, QObject *parent)
    : QObject(parent), d(std::make_unique<Private>())
{
    if (g_writeEnd >= 0)
        throw Failure(QStringLiteral("Unix signals are already turned into events."));
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, d->ends) != 0)
        throw Failure(QStringLiteral("Could not make a socket pair for signals: %1")
                          .arg(QString::fromLocal8Bit(std::strerror(errno))));
    g_writeEnd = d->ends[0];
    d->notifier = new QSocketNotifier(d->ends[1], QSocketNotifier::Read, this);
    connect(d->notifier, &QSocketNotifier::activated, this, &SignalEvents::deliverPending);

    for (const int signalNumber : signalNumbers) {
        struct sigaction action = {};
        action.sa_handler = writeSignalNumber;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        struct sigaction old = {};
        if (::sigaction(signalNumber, &action, &old) == 0)
            d->previous.append({signalNumber, old});
    }
}

SignalEvents::~SignalEvents()
{
    for (auto it = d->previous.crbegin(); it != d->previous.crend(); ++it)
        ::sigaction(it->first, &it->second, nullptr);
    g_writeEnd = -1;
    delete d->notifier;
    ::close(d->ends[0]);
    ::close(d->ends[1]);
}

bool SignalEvents::pending() const
{
    pollfd readable = {d->ends[1], POLLIN, 0};
    return ::poll(&readable, 1, 0) > 0 && (readable.revents & POLLIN);
}

void SignalEvents::deliverPending()
{
    unsigned char bytes[64];
    for (;;) {
        const ssize_t count = ::read(d->ends[1], bytes, sizeof bytes);
        if (count <= 0)
            break;
        for (ssize_t i = 0; i < count; ++i)
            emit received(bytes[i]);
    }
}

} // namespace quorbel
