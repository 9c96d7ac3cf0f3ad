#include "SpareOffice.h"

#include "Failure.h"
#include "InputPause.h"
#include "Offices.h"
#include "ProcStat.h"
#include "TemplateWorkbook.h"
#include "TimingLog.h"

#include <QThread>

namespace quorbel {

namespace {
// How often a starting office is asked whether it listens yet, and the
// pause between two steps of a warm-up, in which the window gets its turn.
constexpr int kPollMs = 5;
// Warm-ups in a row that went wrong before offices are kept cold.
constexpr int kWarmUpTries = 2;
// The pause in the user's input a warm-up step waits for.
constexpr int kInputPauseMs = 300;

// A process stopped by a signal (SIGSTOP, SIGTSTP) or a debugger: it would
// answer no call, and a call would hold the window until the call limit.
bool processStopped(qint64 pid)
{
    const auto stat = readProcStat(pid);
    return stat && stat->stopped();
}
} // namespace

SpareOffice::SpareOffice(Offices &offices, const InputPause *input) : m_offices(offices), m_input(input)
{
    m_poll.setInterval(kPollMs);
    connect(&m_poll, &QTimer::timeout, this, &SpareOffice::advance);
}

SpareOffice::~SpareOffice()
{
    stop();
}

bool SpareOffice::wanted() const
{
    return m_offices.options().spareOffice && m_offices.usingOffice();
}

bool SpareOffice::warming() const
{
    return m_offices.options().warmOffice;
}

void SpareOffice::keep()
{
    m_keeping = true;
    if (!wanted() || m_held)
        return;
    topUp();  // the first office is launched at once
    m_poll.start();
}

void SpareOffice::hold(bool held)
{
    m_held = held;
    if (held)
        m_poll.stop();
    else if (m_keeping && wanted())
        m_poll.start();
}

void SpareOffice::stop()
{
    m_keeping = false;
    m_poll.stop();
    m_kept.clear();
}

bool SpareOffice::ready() const
{
    if (int(m_kept.size()) < kKept)
        return false;
    for (const Kept &kept : m_kept) {
        if (kept.stage != Stage::Ready)
            return false;
    }
    return true;
}

bool SpareOffice::hasReadyOffice() const
{
    for (const Kept &kept : m_kept) {
        if (kept.stage == Stage::Ready)
            return true;
    }
    return false;
}

bool SpareOffice::warmingUp() const
{
    for (const Kept &kept : m_kept) {
        if (kept.stage == Stage::Warming)
            return true;
    }
    return false;
}

qint64 SpareOffice::processId() const
{
    return m_kept.empty() ? 0 : m_kept.front().office->processId();
}

QList<qint64> SpareOffice::processIds() const
{
    QList<qint64> ids;
    for (const Kept &kept : m_kept)
        ids.append(kept.office->processId());
    return ids;
}

void SpareOffice::launchFirst()
{
    if (!wanted() || !m_kept.empty())
        return;
    logTiming("first office launching");
    begin();
    logTiming("first office launched");
}

bool SpareOffice::startNow()
{
    if (!wanted())
        return false;
    m_poll.stop();
    // The office launched ahead of the check, when it is still starting.
    const bool launched = m_kept.size() == 1 && m_kept.back().stage == Stage::Starting;
    if (!launched) {
        m_kept.clear();
        if (!begin())
            return false;
    }
    Kept &kept = m_kept.back();
    try {
        while (!kept.office->poll())
            QThread::msleep(kPollMs);
    } catch (const Failure &) {
        m_kept.clear();
        return false;
    }
    logTiming("first office connected");
    // Warmed up from the event loop once the window shows.
    kept.stage = warming() && m_failedWarmUps < kWarmUpTries ? Stage::Warming : Stage::Ready;
    return true;
}

// Starts an office to keep; false when it cannot be started.
bool SpareOffice::begin()
{
    std::unique_ptr<xl::StartingApplication> office;
    try {
        office = m_offices.startApplication();
    } catch (const Failure &) {
        return false;
    }
    ++m_starts;
    // Queued: the notice may come from inside a wait for the process.
    office->setEndedNotice([this] { QMetaObject::invokeMethod(this, &SpareOffice::checkEnded, Qt::QueuedConnection); });
    m_kept.push_back(Kept {std::move(office), Stage::Starting});
    return true;
}

// Launches the next office once every kept one is ready, so that two
// never start at the same time.
void SpareOffice::topUp()
{
    if (!m_keeping || !wanted() || int(m_kept.size()) >= kKept)
        return;
    for (const Kept &kept : m_kept) {
        if (kept.stage != Stage::Ready)
            return;
    }
    // When the start fails there is nothing to keep: the instance is
    // started when it is needed, and that start reports what is wrong. A
    // start that failed is not tried again until the next keep(): an office
    // that cannot start would otherwise be started forever.
    if (!begin())
        m_keeping = false;
}

void SpareOffice::drop(size_t index)
{
    std::unique_ptr<xl::StartingApplication> office = std::move(m_kept[index].office);
    m_kept.erase(m_kept.begin() + long(index));
    office->setEndedNotice({});
    office.reset();  // ends the office
}

// One step of the first office's warm-up that is not over. One that fails
// or hangs goes, and another is started in its place.
void SpareOffice::warmStep(Kept &kept)
{
    const size_t index = size_t(&kept - m_kept.data());
    if (processStopped(kept.office->processId())) {
        drop(index);
        ++m_failedWarmUps;
        return;
    }
    try {
        if (m_templateBytes.isEmpty())
            m_templateBytes = templateWorkbookBytes();
        if (kept.office->warm(m_templateBytes)) {
            kept.stage = Stage::Ready;
            m_failedWarmUps = 0;
            ++m_warmed;
            logTiming("kept office warmed up");
        }
    } catch (const Failure &) {
        drop(index);
        ++m_failedWarmUps;
    }
}

void SpareOffice::advance()
{
    if (m_held) {
        m_poll.stop();
        return;
    }
    const bool warm = warming() && m_failedWarmUps < kWarmUpTries;
    for (size_t i = 0; i < m_kept.size();) {
        Kept &kept = m_kept[i];
        if (kept.stage == Stage::Starting) {
            try {
                if (kept.office->poll()) {
                    kept.stage = warm ? Stage::Warming : Stage::Ready;
                    logTiming("kept office connected");
                }
            } catch (const Failure &) {
                // Not started again until the next keep() (see topUp).
                drop(i);
                m_keeping = false;
                continue;
            }
        } else if (kept.stage == Stage::Warming && !warm) {
            kept.stage = Stage::Ready;
        }
        ++i;
    }
    // One step of one warm-up a turn, in a pause of the user's input: the
    // window waits a step at most, and not while the user types or clicks.
    if (!m_input || m_input->sinceInputMs() >= kInputPauseMs) {
        for (Kept &kept : m_kept) {
            if (kept.stage == Stage::Warming) {
                warmStep(kept);
                break;
            }
        }
    }
    topUp();
    bool busy = false;
    for (const Kept &kept : m_kept)
        busy = busy || kept.stage != Stage::Ready;
    if (!busy)
        m_poll.stop();
}

// An office ended: one that waits is dropped (and replaced while offices
// are kept); one still starting or warming is looked after by advance().
void SpareOffice::checkEnded()
{
    for (size_t i = m_kept.size(); i-- > 0;) {
        if (m_kept[i].stage == Stage::Ready && m_kept[i].office->hasEnded())
            drop(i);
    }
    if (m_keeping && wanted() && !m_held && int(m_kept.size()) < kKept)
        m_poll.start();
}

std::unique_ptr<xl::XlApplication> SpareOffice::takeInstance()
{
    // Replacements start from the event loop, after the command: an office
    // starting beside the build would slow it down.
    if (m_keeping && wanted() && !m_held)
        m_poll.start();
    while (!m_kept.empty()) {
        // The readiest office first: ready, then warming, then starting.
        size_t best = 0;
        for (size_t i = 1; i < m_kept.size(); ++i) {
            if (int(m_kept[i].stage) > int(m_kept[best].stage))
                best = i;
        }
        const Stage stage = m_kept[best].stage;
        std::unique_ptr<xl::StartingApplication> office = std::move(m_kept[best].office);
        m_kept.erase(m_kept.begin() + long(best));
        office->setEndedNotice({});
        if (processStopped(office->processId()))
            continue;  // ends it
        try {
            // A ready office is asked once whether it still answers. One
            // still warming is taken as it is: what its round has open is
            // closed, and the command's own calls pay what is left of the
            // first-use cost, never more than finishing the round would
            // (that would pay it on throwaway work first). One still
            // starting is waited for.
            if (stage == Stage::Ready && (office->hasEnded() || !office->responds()))
                continue;
            return office->take();
        } catch (const Failure &) {
        }
    }
    return nullptr;
}

} // namespace quorbel
