#pragma once

// A process as the kernel describes it in /proc/<pid>/stat: the few fields
// the program, its tests and benchmarks look at.

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

#include <optional>

namespace quorbel {

struct ProcStat {
    qint64 pid = 0;
    QByteArray name;       // the command name (at most 15 bytes, any but NUL)
    char state = 0;        // a letter: R, S, D, Z, T (stopped), t (traced), ...
    qint64 parentPid = 0;
    quint64 userTicks = 0;    // CPU time in user mode, in clock ticks
    quint64 systemTicks = 0;  // CPU time in kernel mode, in clock ticks
    quint64 startTicks = 0;   // when the process started, in clock ticks after boot

    // Stopped by a signal (SIGSTOP, SIGTSTP) or held by a debugger.
    bool stopped() const { return state == 'T' || state == 't'; }
    bool zombie() const { return state == 'Z'; }
};

// The longest stat line read; the kernel's are well under this.
inline constexpr qsizetype kProcStatMaxBytes = 4096;

// Parses one stat line: "pid (name) state ppid ...". The name may hold
// blanks and parentheses; it ends at the line's last ')'. Empty when the
// line is not of that form or a field needed is missing or out of range.
std::optional<ProcStat> parseProcStat(QByteArrayView line);

// Reads /proc/<pid>/stat (at most kProcStatMaxBytes). Empty when there is no
// such process or its line does not parse.
std::optional<ProcStat> readProcStat(qint64 pid);

} // namespace quorbel
