// The /proc/<pid>/stat reader on any line: another process chooses its own
// command name (blanks, parentheses, anything but NUL). A line that parses
// must give the same fields again when written back in the kernel's form.
#include "ProcStat.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

using namespace quorbel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView line(reinterpret_cast<const char *>(data), qsizetype(size));
    const auto stat = parseProcStat(line);
    if (!stat)
        return 0;
    if (stat->pid <= 0 || stat->parentPid < 0 || stat->state == 0 || stat->name.size() >= line.size())
        std::abort();
    const QByteArray again = QByteArray::number(stat->pid) + " (" + stat->name + ") " + QByteArray(1, stat->state)
        + ' ' + QByteArray::number(stat->parentPid) + " 0 0 0 0 0 0 0 0 0 " + QByteArray::number(stat->userTicks)
        + ' ' + QByteArray::number(stat->systemTicks) + " 0 0 0 0 0 0 " + QByteArray::number(stat->startTicks) + '\n';
    const auto back = parseProcStat(again);
    if (again.size() <= kProcStatMaxBytes
        && (!back || back->pid != stat->pid || back->name != stat->name || back->state != stat->state
            || back->parentPid != stat->parentPid || back->userTicks != stat->userTicks
            || back->systemTicks != stat->systemTicks || back->startTicks != stat->startTicks))
        std::abort();
    return 0;
}
