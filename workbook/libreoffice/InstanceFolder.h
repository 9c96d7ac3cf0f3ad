#pragma once

#include <QString>

namespace quorbel::lo {

// A folder of this instance's own under the user's cache folder: holds the
// office's profile, its fontconfig file and scratch files. The folder is
// locked while it is in use; folders whose owner has gone (a crashed
// program) are removed, with their office's pipes, the next time an
// instance starts.
class InstanceFolder {
public:
    InstanceFolder();   // throws Failure
    ~InstanceFolder();  // removes the folder
    InstanceFolder(const InstanceFolder &) = delete;
    InstanceFolder &operator=(const InstanceFolder &) = delete;

    const QString &path() const { return m_path; }
    QString profilePath() const;
    QString fontConfigPath() const;

    // Notes the name of the office's pipe in the folder, so that the pipe
    // can be removed also after the program was killed.
    void recordPipeName(const QString &pipeName);

    void remove();

private:
    QString m_path;
    QString m_lockPath;
    int m_lockFd = -1;
};

} // namespace quorbel::lo
