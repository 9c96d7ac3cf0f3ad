#pragma once

// One private LibreOffice process: soffice.bin started directly (never the
// soffice wrapper), headless, with a profile folder of its own that no other
// office shares, and ended by its process id only.

#include <QString>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>

class QProcess;

namespace quorbel::lo {

// The office program: $QUORBEL_SOFFICE when set, else Debian's soffice.bin.
QString officeProgram();

// The longest a call into the office (and an office start) may take before
// the office is taken to be hung: $QUORBEL_CALL_TIMEOUT_MS, else 60 s.
std::chrono::milliseconds callTimeLimit();

// The longest the office may take to set up the per-user profile the first
// time (its first start ever, or after an office upgrade):
// $QUORBEL_PROFILE_TIMEOUT_MS, else 10 minutes.
std::chrono::milliseconds profileSetUpTimeLimit();

// A folder of this instance's own under the user's cache folder: holds the
// office's profile, its fontconfig file and scratch files. The folder is
// locked while it is in use; folders whose owner has gone (a crashed
// program) are removed the next time an instance starts.
class InstanceFolder {
public:
    InstanceFolder();   // throws Failure
    ~InstanceFolder();  // removes the folder
    InstanceFolder(const InstanceFolder &) = delete;
    InstanceFolder &operator=(const InstanceFolder &) = delete;

    const QString &path() const { return m_path; }
    QString profilePath() const;
    QString fontConfigPath() const;
    void remove();

private:
    QString m_path;
    QString m_lockPath;
    int m_lockFd = -1;
};

class OfficeProcess {
public:
    // Starts the office with a private copy of the per-user initialised
    // profile, accepting UNO connections on the named pipe. Returns once the
    // process runs; the caller connects. Throws Failure.
    explicit OfficeProcess(const QString &pipeName);
    ~OfficeProcess();  // ends the process (if still running) and removes its folder
    OfficeProcess(const OfficeProcess &) = delete;
    OfficeProcess &operator=(const OfficeProcess &) = delete;

    qint64 pid() const { return m_pid; }
    const InstanceFolder &folder() const { return *m_folder; }

    // True once the process has ended; reaps it. Never blocks.
    bool hasEnded();
    // Waits up to `ms` for the process to end, reaping it.
    bool waitForEnd(int ms);
    // "exit code 81", "signal 9", ... for an ended process.
    QString endDescription() const;
    int exitCode() const;
    // The last lines the office wrote to its standard error and output.
    QString logTail() const;

    // Sends SIGKILL to the office's process group, unless the process has
    // been reaped. Safe to call from another thread.
    void kill();

    // Ends the process: waits `graceMs` for it to end by itself, then kills
    // it, reaps it and removes the folder. Never fails.
    void finish(int graceMs);

    // Called whenever the process ends (also inside waitForEnd and finish).
    void setEndedNotice(std::function<void()> notice) { m_endedNotice = std::move(notice); }

    // Starts the same office again in the same folder (after an exit 81).
    void restart();

private:
    void launch();

    QString m_program;
    QString m_pipeName;
    std::unique_ptr<InstanceFolder> m_folder;
    std::unique_ptr<QProcess> m_process;
    std::atomic<qint64> m_pid {0};
    std::function<void()> m_endedNotice;
    std::mutex m_reapMutex;
    bool m_reaped = true;
};

} // namespace quorbel::lo
