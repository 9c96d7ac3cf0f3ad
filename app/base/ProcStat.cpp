#include "ProcStat.h"

#include <cerrno>
#include <type_traits>
#include <fcntl.h>
#include <unistd.h>

namespace quorbel {
namespace {

// A field of decimal digits, optionally signed, that fits in `T`.
template <typename T>
std::optional<T> number(QByteArrayView field)
{
    bool ok = false;
    const T value = [&] {
        if constexpr (std::is_signed_v<T>)
            return T(field.toLongLong(&ok));
        else
            return T(field.toULongLong(&ok));
    }();
    if (!ok || field.isEmpty() || !(field.front() == '-' || (field.front() >= '0' && field.front() <= '9')))
        return std::nullopt;
    return value;
}

bool isLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

} // namespace

std::optional<ProcStat> parseProcStat(QByteArrayView line)
{
    if (line.size() > kProcStatMaxBytes)
        return std::nullopt;
    const qsizetype open = line.indexOf('(');
    const qsizetype close = line.lastIndexOf(')');
    // "pid (" ... ") " and at least the state after it.
    if (open < 2 || line.at(open - 1) != ' ' || close < open || close + 2 >= line.size() || line.at(close + 1) != ' ')
        return std::nullopt;

    ProcStat stat;
    const auto pid = number<qint64>(line.first(open - 1));
    if (!pid || *pid <= 0)
        return std::nullopt;
    stat.pid = *pid;
    stat.name = line.sliced(open + 1, close - open - 1).toByteArray();

    // The fields after the name, counted from the state (0): 1 ppid,
    // 11 utime, 12 stime, 19 starttime.
    QByteArrayView rest = line.sliced(close + 2);
    if (rest.endsWith('\n'))
        rest.chop(1);
    int index = 0;
    while (index <= 19) {
        const qsizetype blank = rest.indexOf(' ');
        const QByteArrayView field = blank < 0 ? rest : rest.first(blank);
        switch (index) {
        case 0:
            // One letter, as the kernel writes every state.
            if (field.size() != 1 || !isLetter(field.front()))
                return std::nullopt;
            stat.state = field.front();
            break;
        case 1:
            if (const auto value = number<qint64>(field); value && *value >= 0)
                stat.parentPid = *value;
            else
                return std::nullopt;
            break;
        case 11:
        case 12:
        case 19:
            if (const auto value = number<quint64>(field))
                (index == 11 ? stat.userTicks : index == 12 ? stat.systemTicks : stat.startTicks) = *value;
            else
                return std::nullopt;
            break;
        default:
            break;
        }
        ++index;
        if (blank < 0)
            break;
        rest = rest.sliced(blank + 1);
    }
    if (index <= 19)
        return std::nullopt;
    return stat;
}

std::optional<ProcStat> readProcStat(qint64 pid)
{
    if (pid <= 0)
        return std::nullopt;
    const QByteArray path = "/proc/" + QByteArray::number(pid) + "/stat";
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return std::nullopt;
    // One byte over the limit tells a line that is too long from one that fits.
    QByteArray line(kProcStatMaxBytes + 1, Qt::Uninitialized);
    qsizetype size = 0;
    while (size < line.size()) {
        const ssize_t got = ::read(fd, line.data() + size, size_t(line.size() - size));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        size += got;
    }
    ::close(fd);
    line.truncate(size);
    return parseProcStat(line);
}

} // namespace quorbel
