#pragma once

#include <QLoggingCategory>

// When the program's stages happen: start-up, the availability check, the
// steps of "Start Creating Template" and the preview shown. Quiet by default;
// QT_LOGGING_RULES=quorbel.timing.debug=true writes one line a stage to the
// error stream, "quorbel.timing: <ms> <stage>", the time read from the
// system's monotonic clock (CLOCK_MONOTONIC, in milliseconds with three
// decimals), so that a program watching from outside (bench_user_click)
// can set the stages beside what it saw on the screen.
Q_DECLARE_LOGGING_CATEGORY(lcQuorbelTiming)

namespace quorbel {

// Writes `stage` with the time now, when the category is enabled.
void logTiming(const char *stage);

} // namespace quorbel
