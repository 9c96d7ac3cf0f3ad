#pragma once

// One private LibreOffice process: soffice.bin started directly (never the
// soffice wrapper), headless, with a profile folder of its own that no other
// office shares, and ended by its process id only.

#include "InstanceFolder.h"
#include "OfficeCommand.h"

#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class QProcess;

namespace quorbel::lo {

class OfficeProcess {
public:
    // Starts the office with a private copy of the per-user initialised
    // profile, accepting UNO connections on the named pipe. Returns once the
    // process runs; the caller connects. `options`: the office program
    // and the limits of its start and of a first profile set-up. Throws
    // Failure.
    OfficeProcess(const QString &pipeName, const Options &options);
    ~OfficeProcess();  // ends the process (if still running) and removes its folder
    OfficeProcess(const OfficeProcess &) = delete;
    OfficeProcess &operator=(const OfficeProcess &) = delete;

    qint64 pid() const { return m_pid; }
    const InstanceFolder &folder() const { return *m_folder; }

    // True once the process has ended; reaps it. Never blocks.
    bool hasEnded();
    // Waits up to `ms` for the process to end, reaping it.
    bool waitForEnd(int ms);
    // "exit code 81", "it crashed or was killed", ... for an ended process.
    QString endDescription() const;
    // The exit code of a process that ended by itself, else -1.
    int exitCode() const;
    // The last lines the office wrote to its standard error and output.
    QString logTail() const;

    // Sends SIGKILL to the office's process group, unless the process has
    // been reaped. Safe to call from another thread.
    void kill();

    // Ends the process: waits `graceMs` for it to end by itself, then kills
    // it, reaps it, removes its pipes and the folder. Never fails. While
    // endings are deferred (deferEndings) a finish without grace only kills
    // the office; settling the endings reaps it and removes the rest.
    void finish(int graceMs);

    // From `on` until it is called with false, offices finished without
    // grace are killed at once and the rest of their ending (waiting for
    // the kernel to reap them, removing their pipes and folders, some tens
    // of milliseconds each) waits for the settling: the call with false, or
    // the program's exit. A user's command that ends two offices on its way
    // to showing its result settles them once the result is on screen. Used
    // from the user-interface thread only.
    static void deferEndings(bool on);

    // Called whenever the process ends (also inside waitForEnd and finish).
    void setEndedNotice(std::function<void()> notice) { m_endedNotice = std::move(notice); }

    // Starts the same office again in the same folder (after it ended with
    // kOfficeRestartExitCode).
    void restart();

private:
    void launch();

    QString m_program;
    std::chrono::milliseconds m_startLimit;
    QString m_pipeName;
    std::unique_ptr<InstanceFolder> m_folder;
    std::unique_ptr<QProcess> m_process;
    std::atomic<qint64> m_pid {0};
    std::function<void()> m_endedNotice;
    std::mutex m_reapMutex;
    bool m_reaped = true;
};

} // namespace quorbel::lo
