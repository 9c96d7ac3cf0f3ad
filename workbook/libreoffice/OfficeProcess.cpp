#include "OfficeProcess.h"

#include "Failure.h"
#include "ScratchFolder.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>
#include <QUrl>

#include <cerrno>
#include <cstdlib>
#include <set>
#include <filesystem>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorbel::lo {
namespace {

const QString kDefaultOffice = QStringLiteral("/usr/lib/libreoffice/program/soffice.bin");

// The office asks for one restart after it has initialised a fresh profile.
constexpr int kRestartExitCode = 81;

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// ~/.cache/quorbel (or $XDG_CACHE_HOME/quorbel).
QString cacheFolder()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.cache");
    const QString folder = base + QStringLiteral("/quorbel");
    makePrivateFolder(folder);
    return folder;
}

QString fileUrl(const QString &path)
{
    return QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded);
}

QString randomName()
{
    return QString::number(QRandomGenerator::system()->generate64(), 36);
}

// The arguments every office of ours runs with.
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

// The office's child gets its own process group (so that ending it ends
// everything it started) and dies with the program.
void prepareProcess(QProcess &process, const QString &fontConfig, const QString &tempFolder, const QString &logFile)
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

void checkProgram(const QString &program)
{
    const QFileInfo info(program);
    if (!info.exists())
        throw Failure(QStringLiteral("LibreOffice was not found: %1 does not exist.").arg(program));
    if (!info.isFile() || !info.isExecutable())
        throw Failure(QStringLiteral("LibreOffice cannot be started: %1 is not an executable file.").arg(program));
}

// Copies the folder `from` as `to` (which must not exist yet) inside a
// private folder; links are left out. A plain recursive copy: a profile is
// some fifty folders and twenty-five small files, and copying them one
// QFile at a time cost a tenth of a second of every office start.
void copyFolder(const QString &from, const QString &to)
{
    namespace fs = std::filesystem;
    std::error_code error;
    fs::copy(fs::path(QFile::encodeName(from).toStdString()), fs::path(QFile::encodeName(to).toStdString()),
             fs::copy_options::recursive | fs::copy_options::skip_symlinks, error);
    if (error)
        throw Failure(QStringLiteral("Could not copy the LibreOffice profile %1: %2")
                          .arg(from, QString::fromLocal8Bit(error.message().c_str())));
}

// The office's own major.minor version ("7.4"), from the ProductKey of the
// bootstraprc beside its program; empty when it cannot be read.
QString officeVersion(const QString &program)
{
    QFile file(QFileInfo(program).absolutePath() + QStringLiteral("/bootstraprc"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    static const QRegularExpression productKey(QStringLiteral("^ProductKey=.*?(\\d+\\.\\d+)"),
                                               QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = productKey.match(QString::fromUtf8(file.readAll()));
    return match.hasMatch() ? match.captured(1) : QString();
}

// Settings of a private office that no user sees: no lock files next to the
// workbooks, no autosave or recovery copies; and the profile counts as made
// by this version of the office, which otherwise takes it for an upgrade at
// every start and first runs its graphics self-test (about 0.7 s).
void tuneProfile(const QString &profile, const QString &version)
{
    QFile file(profile + QStringLiteral("/user/registrymodifications.xcu"));
    if (!file.open(QIODevice::ReadOnly))
        return;
    QByteArray text = file.readAll();
    file.close();
    const QByteArray end = "</oor:items>";
    const qsizetype at = text.lastIndexOf(end);
    if (at < 0)
        return;
    text.insert(at,
                "<item oor:path=\"/org.openoffice.Office.Common/Misc\"><prop oor:name=\"UseLocking\" oor:op=\"fuse\">"
                "<value>false</value></prop></item>\n"
                "<item oor:path=\"/org.openoffice.Office.Recovery/AutoSave\"><prop oor:name=\"Enabled\" oor:op=\"fuse\">"
                "<value>false</value></prop></item>\n"
                "<item oor:path=\"/org.openoffice.Office.Recovery/RecoveryInfo\"><prop oor:name=\"Enabled\" "
                "oor:op=\"fuse\"><value>false</value></prop></item>\n");
    if (!version.isEmpty()) {
        text.insert(text.lastIndexOf(end),
                    "<item oor:path=\"/org.openoffice.Setup/Product\"><prop oor:name=\"ooSetupLastVersion\" "
                    "oor:op=\"fuse\"><value>"
                        + version.toLatin1() + "</value></prop></item>\n");
    }
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(text);
}

// An initialised profile kept per user and per office program, made once:
// the office initialises a fresh profile and exits asking for a restart.
// Each instance starts from a copy, which saves that restart.
QString masterProfile(const QString &program)
{
    const QFileInfo info(program);
    const QByteArray key = QCryptographicHash::hash(
        (info.absoluteFilePath() + QString::number(info.lastModified().toSecsSinceEpoch())
         + QString::number(info.size())).toUtf8(),
        QCryptographicHash::Sha1).toHex().left(16);
    const QString cache = cacheFolder();
    const QString master = cache + QStringLiteral("/profile-v2-") + QString::fromLatin1(key);
    const QString marker = master + QStringLiteral("/complete");
    if (QFileInfo::exists(marker))
        return master;

    // Profiles half made by a program that ended meanwhile.
    const QDateTime hourAgo = QDateTime::currentDateTime().addSecs(-3600);
    for (const QFileInfo &old : QDir(cache).entryInfoList({QStringLiteral("profile-staging-*")}, QDir::Dirs)) {
        if (old.lastModified() < hourAgo)
            QDir(old.absoluteFilePath()).removeRecursively();
    }
    const QString staging = cache + QStringLiteral("/profile-staging-") + randomName();
    makePrivateFolder(staging);
    QProcess process;
    prepareProcess(process, QString(), QString(), QString());
    process.start(program, officeArguments(staging + QStringLiteral("/profile"), QString()));
    // Setting up a profile on a slow or cold disk can take far longer than
    // any call: it has a limit of its own, in minutes.
    const int limit = int(profileSetUpTimeLimit().count());
    if (!process.waitForStarted(limit)) {
        QDir(staging).removeRecursively();
        throw Failure(QStringLiteral("LibreOffice could not be started (%1): %2").arg(program, process.errorString()));
    }
    const bool ended = process.waitForFinished(limit);
    if (!ended) {
        ::kill(-pid_t(process.processId()), SIGKILL);
        process.waitForFinished(5000);
    }
    const bool initialised = ended && process.exitStatus() == QProcess::NormalExit
        && (process.exitCode() == kRestartExitCode || process.exitCode() == 0)
        && QFileInfo::exists(staging + QStringLiteral("/profile/user"));
    if (!initialised) {
        QDir(staging).removeRecursively();
        throw Failure(QStringLiteral("LibreOffice (%1) could not set up its profile: it %2.")
                          .arg(program, ended ? QStringLiteral("ended with exit code %1").arg(process.exitCode())
                                              : QStringLiteral("did not finish within %1 minutes")
                                                    .arg(QString::number(limit / 60000.0, 'g', 3))));
    }
    tuneProfile(staging + QStringLiteral("/profile"), officeVersion(program));
    QFile(staging + QStringLiteral("/complete")).open(QIODevice::WriteOnly);
    // Another program may have made the same profile meanwhile: keep theirs.
    if (::rename(QFile::encodeName(staging).constData(), QFile::encodeName(master).constData()) != 0)
        QDir(staging).removeRecursively();
    if (!QFileInfo::exists(marker))
        throw Failure(QStringLiteral("The LibreOffice profile %1 could not be set up.").arg(master));
    return master;
}

// The file in an instance folder that names the office's pipe, so that the
// pipe can be removed also after the program was killed.
const QString kPipeRecord = QStringLiteral("pipe-name");

// Removes the pipes an office leaves behind when it is killed: the one it
// accepted connections on, and the one through which a second office of
// the same profile would talk to it (named after the MD5 of the profile's
// URL in UTF-16, each byte in hex without padding). Both names are the
// instance's own.
void removeOfficePipes(const QString &pipeName, const QString &profilePath)
{
    const QString pipes = QStringLiteral("/tmp/OSL_PIPE_%1_").arg(::getuid());
    if (!pipeName.isEmpty() && !pipeName.contains(QLatin1Char('/')))
        ::unlink(QFile::encodeName(pipes + pipeName).constData());
    if (!profilePath.isEmpty()) {
        const QString url = fileUrl(profilePath);
        const QByteArray digest = QCryptographicHash::hash(
            QByteArray(reinterpret_cast<const char *>(url.utf16()), url.size() * 2), QCryptographicHash::Md5);
        QString hash;
        for (const char byte : digest)
            hash += QString::number(quint8(byte), 16);
        ::unlink(QFile::encodeName(pipes + QStringLiteral("SingleOfficeIPC_") + hash).constData());
    }
}

// Removes instance folders whose lock nobody holds any more (a program that
// was killed, crashed or lost its display), with their office's pipes. A
// folder whose lock a running program holds is left alone.
void removeAbandonedFolders(const QString &instances)
{
    const QStringList locks = QDir(instances).entryList({QStringLiteral("*.lock")}, QDir::Files);
    for (const QString &lockName : locks) {
        const QString lockPath = instances + QLatin1Char('/') + lockName;
        const int fd = ::open(QFile::encodeName(lockPath).constData(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0)
            continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            const QString folder = instances + QLatin1Char('/') + lockName.chopped(5);
            QFile record(folder + QLatin1Char('/') + kPipeRecord);
            if (record.open(QIODevice::ReadOnly))
                removeOfficePipes(QString::fromUtf8(record.read(200)).trimmed(), folder + QStringLiteral("/profile"));
            QDir(folder).removeRecursively();
            ::unlink(QFile::encodeName(lockPath).constData());
        }
        ::close(fd);
    }
}

// A lock file that is held from the moment it can be seen: made unnamed
// (O_TMPFILE), locked, then linked under its name, so that another
// program's clean-up never finds it unheld. Where the file system has no
// unnamed files, the file is made under its name and locked at once.
int createHeldLock(const QString &lockPath, const QString &folder)
{
    const QByteArray path = QFile::encodeName(lockPath);
    int fd = ::open(QFile::encodeName(folder).constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) {
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0
            && ::linkat(AT_FDCWD, self.constData(), AT_FDCWD, path.constData(), AT_SYMLINK_FOLLOW) == 0)
            return fd;
        ::close(fd);
    }
    fd = ::open(path.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        ::unlink(path.constData());
        errno = EWOULDBLOCK;
        return -1;
    }
    return fd;
}

// The offices of this program that are running. When the program is ended
// by exit() from inside a library (Qt's X11 connection does so when the
// display goes away), no destructor runs: the exit handler ends them and
// removes their folders and pipes.
std::mutex &runningMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::set<OfficeProcess *> &runningOffices()
{
    static std::set<OfficeProcess *> offices;
    return offices;
}

void endRunningOfficesAtExit()
{
    std::set<OfficeProcess *> offices;
    {
        std::lock_guard lock(runningMutex());
        offices.swap(runningOffices());
    }
    for (OfficeProcess *office : offices)
        office->finish(0);
}

void registerRunningOffice(OfficeProcess *office)
{
    std::lock_guard lock(runningMutex());
    std::set<OfficeProcess *> &offices = runningOffices();
    // Exit handlers and the destructors of statics run in the reverse order
    // of their making: the handler, made after the set, runs while the set
    // still exists.
    static const bool hookInstalled = (std::atexit(endRunningOfficesAtExit), true);
    Q_UNUSED(hookInstalled);
    offices.insert(office);
}

void unregisterRunningOffice(OfficeProcess *office)
{
    std::lock_guard lock(runningMutex());
    runningOffices().erase(office);
}

} // namespace

QString officeProgram()
{
    const QString configured = qEnvironmentVariable("QUORBEL_SOFFICE");
    return configured.isEmpty() ? kDefaultOffice : configured;
}

namespace {

// Milliseconds from the environment variable `name`, else `otherwise`.
std::chrono::milliseconds limitFromEnvironment(const char *name, std::chrono::milliseconds otherwise)
{
    bool ok = false;
    const qint64 value = qEnvironmentVariable(name).toLongLong(&ok);
    return ok && value > 0 ? std::chrono::milliseconds(value) : otherwise;
}

} // namespace

std::chrono::milliseconds callTimeLimit()
{
    return limitFromEnvironment("QUORBEL_CALL_TIMEOUT_MS", std::chrono::seconds(60));
}

std::chrono::milliseconds profileSetUpTimeLimit()
{
    return limitFromEnvironment("QUORBEL_PROFILE_TIMEOUT_MS", std::chrono::minutes(10));
}

// ---------------------------------------------------------------- InstanceFolder

InstanceFolder::InstanceFolder()
{
    const QString instances = cacheFolder() + QStringLiteral("/instances");
    makePrivateFolder(instances);
    removeAbandonedFolders(instances);

    const QString name = QStringLiteral("%1-%2").arg(::getpid()).arg(randomName());
    m_lockPath = instances + QLatin1Char('/') + name + QStringLiteral(".lock");
    m_lockFd = createHeldLock(m_lockPath, instances);
    if (m_lockFd < 0)
        throw Failure(QStringLiteral("Could not create the lock %1: %2").arg(m_lockPath, systemError()));
    m_path = instances + QLatin1Char('/') + name;
    if (::mkdir(QFile::encodeName(m_path).constData(), 0700) != 0) {
        const QString error = systemError();
        remove();
        throw Failure(QStringLiteral("Could not create the folder %1: %2").arg(m_path, error));
    }

    // Tahoma and Marlett come with Wine's fonts, which fontconfig does not
    // scan by itself.
    QFile fonts(fontConfigPath());
    if (!fonts.open(QIODevice::WriteOnly)) {
        remove();
        throw Failure(QStringLiteral("Could not write %1.").arg(fontConfigPath()));
    }
    fonts.write("<?xml version=\"1.0\"?>\n"
                "<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">\n"
                "<fontconfig>\n"
                "  <include ignore_missing=\"yes\">/etc/fonts/fonts.conf</include>\n"
                "  <dir>/usr/share/wine/fonts</dir>\n"
                "</fontconfig>\n");
}

InstanceFolder::~InstanceFolder()
{
    remove();
}

QString InstanceFolder::profilePath() const
{
    return m_path + QStringLiteral("/profile");
}

QString InstanceFolder::fontConfigPath() const
{
    return m_path + QStringLiteral("/fonts.conf");
}

void InstanceFolder::remove()
{
    if (!m_path.isEmpty())
        QDir(m_path).removeRecursively();
    m_path.clear();
    if (m_lockFd >= 0) {
        ::unlink(QFile::encodeName(m_lockPath).constData());
        ::close(m_lockFd);
        m_lockFd = -1;
    }
}

// ---------------------------------------------------------------- OfficeProcess

OfficeProcess::OfficeProcess(const QString &pipeName)
    : m_program(officeProgram())
    , m_pipeName(pipeName)
{
    checkProgram(m_program);
    const QString master = masterProfile(m_program);
    m_folder = std::make_unique<InstanceFolder>();
    if (!m_pipeName.isEmpty()) {
        QFile record(m_folder->path() + QLatin1Char('/') + kPipeRecord);
        if (record.open(QIODevice::WriteOnly))
            record.write(m_pipeName.toUtf8());
    }
    copyFolder(master + QStringLiteral("/profile"), m_folder->profilePath());
    registerRunningOffice(this);
    try {
        launch();
    } catch (...) {
        unregisterRunningOffice(this);
        throw;
    }
}

OfficeProcess::~OfficeProcess()
{
    unregisterRunningOffice(this);
    finish(0);
}

void OfficeProcess::launch()
{
    m_process = std::make_unique<QProcess>();
    const QString tempFolder = m_folder->path() + QStringLiteral("/tmp");
    QDir().mkpath(tempFolder);
    prepareProcess(*m_process, m_folder->fontConfigPath(), tempFolder, m_folder->path() + QStringLiteral("/office.log"));
    QObject::connect(m_process.get(), &QProcess::finished, [this] {
        if (m_endedNotice)
            m_endedNotice();
    });
    m_process->start(m_program, officeArguments(m_folder->profilePath(), m_pipeName));
    if (!m_process->waitForStarted(int(callTimeLimit().count())))
        throw Failure(QStringLiteral("LibreOffice could not be started (%1): %2")
                          .arg(m_program, m_process->errorString()));
    std::lock_guard lock(m_reapMutex);
    m_pid = m_process->processId();
    m_reaped = false;
}

void OfficeProcess::restart()
{
    waitForEnd(5000);
    kill();
    waitForEnd(5000);
    launch();
}

bool OfficeProcess::hasEnded()
{
    return waitForEnd(0);
}

bool OfficeProcess::waitForEnd(int ms)
{
    if (!m_process || m_process->state() == QProcess::NotRunning) {
        std::lock_guard lock(m_reapMutex);
        m_reaped = true;
        return true;
    }
    if (m_process->waitForFinished(ms) || m_process->state() == QProcess::NotRunning) {
        std::lock_guard lock(m_reapMutex);
        m_reaped = true;
        return true;
    }
    return false;
}

QString OfficeProcess::endDescription() const
{
    if (!m_process)
        return QStringLiteral("not started");
    if (m_process->exitStatus() == QProcess::CrashExit)
        return QStringLiteral("it crashed or was killed");
    return QStringLiteral("exit code %1").arg(m_process->exitCode());
}

int OfficeProcess::exitCode() const
{
    return m_process && m_process->exitStatus() == QProcess::NormalExit ? m_process->exitCode() : -1;
}

QString OfficeProcess::logTail() const
{
    if (!m_folder || m_folder->path().isEmpty())
        return {};
    QFile log(m_folder->path() + QStringLiteral("/office.log"));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    const QByteArray text = log.readAll().trimmed();
    return QString::fromLocal8Bit(text.right(600));
}

void OfficeProcess::kill()
{
    std::lock_guard lock(m_reapMutex);
    const qint64 pid = m_pid;
    if (!m_reaped && pid > 0)
        ::kill(-pid_t(pid), SIGKILL);
}

void OfficeProcess::finish(int graceMs)
{
    if (m_process) {
        if (!waitForEnd(graceMs)) {
            kill();
            waitForEnd(10000);
        }
        if (m_process->state() != QProcess::NotRunning) {
            // Should never happen after SIGKILL; leave the reaping to QProcess.
            m_process->kill();
            m_process->waitForFinished(5000);
        }
        removeOfficePipes(m_pipeName, m_folder && !m_folder->path().isEmpty() ? m_folder->profilePath() : QString());
    }
    if (m_folder)
        m_folder->remove();
}

} // namespace quorbel::lo
