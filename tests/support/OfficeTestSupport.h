#pragma once

// Helpers of the workbook tests that drive a real office: the offices this
// test process started, the template copy, an independent read of a saved
// .xls (Debian's python3-xlrd), and a look at the pixels of a picture.

#include "OfficeChildren.h"
#include "Offices.h"
#include "Options.h"
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
#include <memory>
#include <unistd.h>

namespace quorbel::test {

// The offices the code under test gets, made afresh for the environment as
// the test has set it, each call; none kept ahead of need.
class FreshOffices {
public:
    Offices &operator()()
    {
        m_offices = std::make_unique<Offices>(Options::fromEnvironment().withoutOfficesAhead());
        return *m_offices;
    }

private:
    std::unique_ptr<Offices> m_offices;
};

// Writes a shell script that only its owner may run: a stand-in for the
// office. False when it could not be written.
inline bool writeScript(const QString &path, const QByteArray &text)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return false;
    file.close();
    return file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
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
