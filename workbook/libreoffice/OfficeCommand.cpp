#include "OfficeCommand.h"

#include "FileUrl.h"
#include "Failure.h"
#include "ScratchFolder.h"

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

QProcessEnvironment officeEnvironment(const QProcessEnvironment &base, const QString &profile,
                                      const QString &fontConfig, const QString &tempFolder)
{
    QProcessEnvironment environment = base;
    // The office reads its bootstrap variables from the environment as well
    // as from -env: arguments. Given here, the profile's path stays out of
    // the command line, which every user can read; the name of the pipe
    // through which a second office of the same profile hands over its
    // arguments is made from it.
    environment.insert(QStringLiteral("UserInstallation"), fileUrl(profile));
    if (!fontConfig.isEmpty())
        environment.insert(QStringLiteral("FONTCONFIG_FILE"), fontConfig);
    // The office's own temporary files go with its folder, also when it is
    // killed, and never into a folder that others can reach.
    for (const char *name : {"TMPDIR", "TMP", "TEMP"})
        environment.insert(QLatin1String(name), tempFolder);
    // Others could take or read what the office keeps in a runtime folder
    // that is not the user's alone (GLib's dconf files among them).
    const QString runtime = QStringLiteral("XDG_RUNTIME_DIR");
    if (environment.contains(runtime) && !isOwnPrivateFolder(environment.value(runtime)))
        environment.remove(runtime);
    return environment;
}

void prepareOfficeProcess(QProcess &process, const QString &profile, const QString &fontConfig,
                          const QString &tempFolder, const QString &logFile)
{
    process.setProcessEnvironment(
        officeEnvironment(QProcessEnvironment::systemEnvironment(), profile, fontConfig, tempFolder));
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
        ::umask(kOfficeUmask);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);
    });
}

} // namespace quorbel::lo
