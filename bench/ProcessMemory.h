#pragma once

// What a process holds in memory, as its /proc/<pid>/status tells it.

#include <QByteArray>
#include <QFile>
#include <QString>

namespace quorbel::bench {

// A memory line of /proc/<pid>/status ("VmHWM", "VmRSS") in KiB, or -1.
inline double statusKiB(const QString &pid, const char *field)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').first().toDouble();
    }
    return -1;
}

} // namespace quorbel::bench
