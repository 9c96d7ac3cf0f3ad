#pragma once

// The offices a program started, seen in /proc: shared by the tests and the
// benchmark programs that count what is left running.

#include "ProcStat.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUrl>

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

// The private folder of the office `pid` (its profile and scratch files):
// the parent of the profile its environment names; empty when there is none.
inline QString instanceFolderOf(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/environ").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray key = "UserInstallation=";
    for (const QByteArray &argument : file.readAll().split('\0')) {
        if (argument.startsWith(key)) {
            const QString profile = QUrl(QString::fromUtf8(argument.mid(key.size()))).toLocalFile();
            return QFileInfo(profile).path();
        }
    }
    return {};
}

} // namespace quorbel::test
