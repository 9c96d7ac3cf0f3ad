#pragma once

// The offices a program started, seen in /proc: shared by the tests and the
// benchmark programs that count what is left running.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
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
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const qsizetype open = line.indexOf('(');
        const qsizetype close = line.lastIndexOf(')');
        if (open < 0 || close < open)
            continue;
        const QByteArray name = line.mid(open + 1, close - open - 1);
        const QList<QByteArray> rest = line.mid(close + 2).split(' ');
        if (rest.size() < 2)
            continue;
        if (name == "soffice.bin" && rest.at(1).toLongLong() == ::getpid())
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
