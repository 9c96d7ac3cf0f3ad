#include "OfficeCommand.h"

#include "FileUrl.h"
#include "Failure.h"

#include <QFileInfo>
#include <QProcess>

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace quorbel::lo {
namespace {

const QString kDefaultOffice = QStringLiteral("/usr/lib/libreoffice/program/soffice.bin");

// Milliseconds from the environment variable `name`, else `otherwise`.
std::chrono::milliseconds limitFromEnvironment(const char *name, std::chrono::milliseconds otherwise)
{
    bool ok = false;
    const qint64 value = qEnvironmentVariable(name).toLongLong(&ok);
    return ok && value > 0 ? std::chrono::milliseconds(value) : otherwise;
}

} // namespace

QString officeProgram()
{
    const QString configured = qEnvironmentVariable("QUORBEL_SOFFICE");
    return configured.isEmpty() ? kDefaultOffice : configured;
}

std::chrono::milliseconds callTimeLimit()
{
    return limitFromEnvironment("QUORBEL_CALL_TIMEOUT_MS", std::chrono::seconds(60));
}

std::chrono::milliseconds profileSetUpTimeLimit()
{
    return limitFromEnvironment("QUORBEL_PROFILE_TIMEOUT_MS", std::chrono::minutes(10));
}

void checkOfficeProgram(const QString &program)
{
    const QFileInfo info(program);
    if (!info.exists())
        throw Failure(QStringLiteral("LibreOffice was not found: %1 does not exist.").arg(program));
    if (!info.isFile() || !info.isExecutable())
        throw Failure(QStringLiteral("LibreOffice cannot be started: %1 is not an executable file.").arg(program));
}

QStringList officeArguments(const QString &profile, const QString &pipeName)
{
    QStringList arguments = {
        QStringLiteral("--headless"),  QStringLiteral("--invisible"), QStringLiteral("--nologo"),
        QStringLiteral("--norestore"), QStringLiteral("--nolockcheck"), QStringLiteral("--nodefault"),
        QStringLiteral("-env:UserInstallation=") + fileUrl(profile),
    };
    if (!pipeName.isEmpty())
        arguments << QStringLiteral("--accept=pipe,name=%1;urp;").arg(pipeName);
    return arguments;
}

void prepareOfficeProcess(QProcess &process, const QString &fontConfig, const QString &tempFolder,
                          const QString &logFile)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
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
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);
    });
}

} // namespace quorbel::lo
