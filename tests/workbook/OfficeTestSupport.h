#pragma once

// Helpers of the workbook tests that drive a real office: the offices this
// test process started, the template copy, an independent read of a saved
// .xls (Debian's python3-xlrd), and a look at the pixels of a picture.

#include "Spreadsheet.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QString>
#include <QTest>

#include <csignal>
#include <unistd.h>

namespace quorbel::test {

// Process ids of the soffice.bin processes that are children of this test
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

inline QString valueText(const xl::CellValue &value)
{
    if (std::holds_alternative<std::monostate>(value))
        return QStringLiteral("<empty>");
    if (const auto *text = std::get_if<QString>(&value))
        return QStringLiteral("text \"%1\"").arg(*text);
    if (const auto *date = std::get_if<QDate>(&value))
        return QStringLiteral("date %1").arg(date->toString(Qt::ISODate));
    return QStringLiteral("number %1").arg(std::get<double>(value), 0, 'g', 17);
}

// Everything python3-xlrd reads from a saved workbook (see xls_facts.py).
inline QJsonObject xlsFacts(const QString &path)
{
    QProcess python;
    python.start(QStringLiteral(QUORBEL_SYSTEM_PYTHON), {QStringLiteral(QUORBEL_XLS_FACTS), path});
    if (!python.waitForFinished(60000) || python.exitCode() != 0) {
        qWarning("xls_facts.py failed: %s", python.readAllStandardError().constData());
        return {};
    }
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

// A pixel counts as ink when it is clearly darker than the white paper.
inline bool isInk(QRgb pixel)
{
    return qGray(pixel) < 160;
}

} // namespace quorbel::test
