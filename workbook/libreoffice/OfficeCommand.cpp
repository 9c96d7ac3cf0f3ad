#include "OfficeCommand.h"

#include "FileUrl.h"
#include "Failure.h"

#include <QFileInfo>
#include <QProcess>

#include <algorithm>
#include <csignal>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorbel::lo {

void checkOfficeProgram(const QString &program)
{
    const QFileInfo info(program);
    if (!info.exists())
        throw Failure(QStringLiteral("LibreOffice was not found: %1 does not exist.").arg(program));
    if (!info.isFile() || !info.isExecutable())
        throw Failure(QStringLiteral("LibreOffice cannot be started: %1 is not an executable file.").arg(program));
}

QStringList officeArguments()
{
    return {
        QStringLiteral("--headless"),  QStringLiteral("--invisible"), QStringLiteral("--nologo"),
        QStringLiteral("--norestore"), QStringLiteral("--nolockcheck"), QStringLiteral("--nodefault"),
    };
}

QString officeConnectionUrl(const QString &pipeName)
{
    return QStringLiteral("pipe,name=%1;urp;").arg(pipeName);
}

void prepareOfficeProcess(QProcess &process, const QString &profile, const QString &fontConfig,
                          const QString &tempFolder, const QString &logFile)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // The office reads its bootstrap variables from the environment as well
    // as from -env: arguments. Given here, the profile's path stays out of
    // the command line, which every user can read; the name of the pipe
    // through which a second office of the same profile hands over its
    // arguments is made from it.
    environment.insert(QStringLiteral("UserInstallation"), fileUrl(profile));
    if (!fontConfig.isEmpty())
        environment.insert(QStringLiteral("FONTCONFIG_FILE"), fontConfig);
    // The office's own temporary files go with its folder, also when it is
    // killed.
    if (!tempFolder.isEmpty()) {
        for (const char *name : {"TMPDIR", "TMP", "TEMP"})
            environment.insert(QLatin1String(name), tempFolder);
    }
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    if (logFile.isEmpty()) {
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
    } else {
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.setStandardOutputFile(logFile);
    }
    const pid_t parent = ::getpid();
    process.setChildProcessModifier([parent] {
        ::setpgid(0, 0);
        // The office's pipes, profile and temporary files are this user's
        // alone.
        ::umask(077);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);
    });
}

} // namespace quorbel::lo
