#pragma once

// What the benchmark programs share: the program's services, a count of the
// boxes a run shows, and figures of a process read from /proc.

#include "Dialogs.h"
#include "Form1.h"
#include "ProcessMemory.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstdio>

namespace quorbel::bench {

// Counts the boxes (a good run shows none) and prints each one's text.
class CountingDialogs final : public Dialogs {
public:
    int boxes = 0;
    BoxAnswer showBox(const Box &box) override
    {
        ++boxes;
        std::fprintf(stderr, "box: %s\n", qUtf8Printable(box.text));
        return box.defaultButton;
    }
    SaveChoice getSaveFileName(const QString &, const QStringList &filters) override
    {
        return {QString(), filters.value(0)};
    }
};

// The program's services for a run: the office is known to be installed
// (the benchmark checks nothing), nothing ends the process, and `dialogs`
// show the boxes.
inline Form1::Services programServices(Dialogs &dialogs)
{
    Form1::Services services;
    services.dialogs = &dialogs;
    services.isInstalled = [] { return true; };
    services.endProgram = [] {};
    return services;
}

// Runs the program's windows offscreen (unless a platform is named), with
// its settings and scratch files in `home`. Before the QApplication.
inline void useBenchHome(const QTemporaryDir &home)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
    qputenv("TEMP", home.path().toUtf8());
}

inline double statusMiB(const QString &pid, const char *field)
{
    const double kib = statusKiB(pid, field);
    return kib < 0 ? -1 : kib / 1024.0;
}

} // namespace quorbel::bench
