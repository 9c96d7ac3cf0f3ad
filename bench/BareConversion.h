#pragma once

// The yardstick of the benchmarks: one bare `soffice --headless --convert-to
// xls` of the template (one office start, load, save), in milliseconds.

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QUrl>

namespace quorbel::bench {

inline double bareConversionMs(const QString &folder, const QString &templatePath)
{
    const QString profile = QDir(folder).filePath(QStringLiteral("convert-profile"));
    const QString out = QDir(folder).filePath(QStringLiteral("converted"));
    QDir().mkpath(out);
    QProcess soffice;
    soffice.setProcessChannelMode(QProcess::MergedChannels);
    const QStringList arguments = {
        QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(profile).toString(QUrl::FullyEncoded),
        QStringLiteral("--headless"), QStringLiteral("--convert-to"), QStringLiteral("xls"),
        QStringLiteral("--outdir"), out, templatePath};
    QElapsedTimer timer;
    timer.start();
    soffice.start(QStringLiteral("/usr/lib/libreoffice/program/soffice"), arguments);
    soffice.waitForFinished(120000);
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace quorbel::bench
