#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace quorbel {

// One running program per user and settings store. The first start holds a
// lock (a file lock, which the system releases when the program ends in any
// way, so a killed program never blocks the next start) and listens on a
// local socket in the abstract namespace (which leaves no file behind); a
// later start finds the lock held, asks the running program through the
// socket to show its window, and ends. Only a held lock means that another
// copy runs: a lock file that cannot be opened or locked for another reason
// lets the program run on its own.
class SingleInstance final : public QObject {
    Q_OBJECT

public:
    // `key` names the lock and the socket; see keyFor().
    explicit SingleInstance(const QString &key, QObject *parent = nullptr);
    ~SingleInstance() override;
    SingleInstance(const SingleInstance &) = delete;
    SingleInstance &operator=(const SingleInstance &) = delete;

    // This program holds the lock: it is the one that runs.
    bool isFirst() const { return m_lockFd >= 0; }

    // For a later start: asks the running program to show its window.
    // Tries for up to `waitMs` (the first may still be starting, or just
    // ending, in which case this one takes the lock and becomes the first).
    // True when the request was handed over.
    bool askFirstToShow(int waitMs = 5000);

    // The key for this user and the settings file `settingsFile`: two starts
    // that share a store share the key, a test with a store of its own does
    // not meet the user's program.
    static QString keyFor(const QString &settingsFile);

signals:
    // A later start asked this program to show its window.
    void showRequested();

private:
    // True when this program runs as the first: it holds the lock, or the
    // lock cannot be had for another reason than being held (this program
    // then runs on its own, and says why in the log).
    bool tryLock();
    bool runAlone(const QString &why);
    void listen();
    void acceptConnections();

    QString m_key;
    QString m_lockPath;
    int m_lockFd = -1;
    QLocalServer *m_server = nullptr;
};

} // namespace quorbel
