#include "OfficeProcess.h"

#include "Failure.h"
#include "FontConfigFile.h"
#include "MasterProfile.h"
#include "OfficePipes.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <csignal>
#include <cstdlib>
#include <set>
#include <vector>

namespace quorbel::lo {
namespace {

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

// Offices killed while endings are deferred: what is left of their ending.
struct PendingEnding {
    std::unique_ptr<QProcess> process;
    std::unique_ptr<InstanceFolder> folder;
    QString pipeName;
};

struct Endings {
    std::mutex mutex;
    bool deferred = false;
    std::vector<PendingEnding> pending;
};

Endings &endings()
{
    static Endings all;
    return all;
}

void settle(PendingEnding &ending)
{
    if (ending.process && ending.process->state() != QProcess::NotRunning && !ending.process->waitForFinished(10000)) {
        // Should never happen after SIGKILL; leave the reaping to QProcess.
        ending.process->kill();
        ending.process->waitForFinished(5000);
    }
    removeOfficePipes(ending.pipeName,
                      ending.folder && !ending.folder->path().isEmpty() ? ending.folder->profilePath() : QString());
    if (ending.folder)
        ending.folder->remove();
}

void settlePendingEndings()
{
    std::vector<PendingEnding> pending;
    {
        std::lock_guard lock(endings().mutex);
        pending.swap(endings().pending);
    }
    for (PendingEnding &ending : pending)
        settle(ending);
}

void endRunningOfficesAtExit()
{
    OfficeProcess::deferEndings(false);
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
    // still exists, and so do the pending endings, made first.
    endings();
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

OfficeProcess::OfficeProcess(const QString &pipeName, const Options &options)
    : m_program(options.officeProgram)
    , m_startLimit(options.callTimeLimit)
    , m_pipeName(pipeName)
{
    checkOfficeProgram(m_program);
    const QString master = masterProfile(m_program, options.profileSetUpTimeLimit);
    m_folder = std::make_unique<InstanceFolder>();
    writeFontConfigFile(m_folder->fontConfigPath());
    if (!m_pipeName.isEmpty())
        m_folder->recordPipeName(m_pipeName);
    copyMasterProfile(master, m_folder->profilePath());
    if (!m_pipeName.isEmpty())
        setAcceptedPipe(m_folder->profilePath(), m_pipeName);
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
    prepareOfficeProcess(*m_process, m_folder->profilePath(), m_folder->fontConfigPath(), tempFolder,
                         m_folder->path() + QStringLiteral("/office.log"));
    QObject::connect(m_process.get(), &QProcess::finished, [this] {
        if (m_endedNotice)
            m_endedNotice();
    });
    m_process->start(m_program, officeArguments());
    if (!m_process->waitForStarted(int(m_startLimit.count())))
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

void OfficeProcess::deferEndings(bool on)
{
    {
        std::lock_guard lock(endings().mutex);
        endings().deferred = on;
    }
    if (!on)
        settlePendingEndings();
}

void OfficeProcess::finish(int graceMs)
{
    if (m_process && graceMs == 0 && m_process->state() != QProcess::NotRunning) {
        std::unique_lock lock(endings().mutex);
        if (endings().deferred) {
            kill();
            {
                // Killed: this object sends no signal to that process id again
                // (once reaped, the id may name another process).
                std::lock_guard reapLock(m_reapMutex);
                m_reaped = true;
            }
            m_process->disconnect();
            endings().pending.push_back({std::move(m_process), std::move(m_folder), m_pipeName});
            return;
        }
    }
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
