#pragma once

// The offices a program started, seen in /proc: shared by the tests and the
// benchmark programs that count what is left running.

#include "ProcStat.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QString>
#include <QStringList>

#include <unistd.h>

namespace quorbel::test {

// Process ids of the soffice.bin processes that are children of this
// process: exactly the offices it started and has not reaped.
inline QSet<qint64> officeChildren()
{
    QSet<qint64> result;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool ok = false;
        const qint64 pid = entry.toLongLong(&ok);
        if (!ok)
            continue;
        const auto stat = readProcStat(pid);
        if (stat && stat->name == "soffice.bin" && stat->parentPid == ::getpid())
            result.insert(pid);
    }
    return result;
}

// True while `pid` names a process (a zombie included).
inline bool processExists(qint64 pid)
{
    return pid > 0 && QFile::exists(QStringLiteral("/proc/%1").arg(pid));
}

} // namespace quorbel::test
