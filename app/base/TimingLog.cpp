#include "TimingLog.h"

#include <ctime>

Q_LOGGING_CATEGORY(lcQuorbelTiming, "quorbel.timing", QtWarningMsg)

namespace quorbel {

void logTiming(const char *stage)
{
    if (!lcQuorbelTiming().isDebugEnabled())
        return;
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const double ms = double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
    qCDebug(lcQuorbelTiming, "%.3f %s", ms, stage);
}

} // namespace quorbel
