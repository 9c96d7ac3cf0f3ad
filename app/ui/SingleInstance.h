#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class QLocalServer;
class QLocalSocket;

namespace quorbel {

class SocketAddress;

// What the desktop hands a program it starts so that the program's window
// may come to the front: XDG_ACTIVATION_TOKEN on Wayland, DESKTOP_STARTUP_ID
// on X11 (some Wayland launchers hand the activation token in the latter).
// Either is empty when not given. A value is kept only when it is 1 to
// kMaxSize bytes of printable ASCII without space, quote or backslash, which
// every launcher's tokens are; anything else is dropped.
struct LaunchToken {
    static constexpr int kMaxSize = 255;

    QByteArray activationToken;
    QByteArray startupId;

    bool operator==(const LaunchToken &) const = default;

    // The two variables as they are now. Qt's X11 connection takes
    // DESKTOP_STARTUP_ID out of the environment when the application object
    // is made, so main() reads them before that.
    static LaunchToken fromEnvironment();
    // True when `value` is a token kept by the rule above.
    static bool isValid(const QByteArray &value);
};

// One running program per user and settings store. The first start holds a
// lock (a file lock, which the system releases when the program ends in any
// way, so a killed program never blocks the next start) and listens on a
// local socket in a folder of the user's own: the runtime folder
// ($XDG_RUNTIME_DIR, when it is this user's own folder, not a link, and
// closed to the group and to others), else the program's private cache
// folder. A later start finds the lock held, asks the running program
// through that socket to show its window (handing over its launch token),
// and ends. Only a held lock means that another copy runs: a lock file that
// cannot be opened or locked for another reason lets the program run on its
// own.
//
// Nobody else can take the socket's name or put anything where the socket
// goes. A socket of the user's own left at that path by a killed copy is
// replaced; anything else there (a link, a file, another user's socket) is
// left alone and not followed, the log says why, and the next folder is
// tried. A later start connects only to a socket of the user's own whose
// other end runs as this user.
//
// The request is a few lines of at most kMaxRequestSize bytes in all:
// "show", then "activation-token=" and "startup-id=" with their values, each
// at most once, and an empty line. Anything else, more, or a request not
// complete within kRequestWaitMs, is refused (the connection is closed and
// the log says why).
class SingleInstance final : public QObject {
    Q_OBJECT

public:
    static constexpr int kMaxRequestSize = 1024;
    static constexpr int kRequestWaitMs = 2000;

    // `key` names the lock and the socket; see keyFor().
    explicit SingleInstance(const QString &key, QObject *parent = nullptr);
    ~SingleInstance() override;
    SingleInstance(const SingleInstance &) = delete;
    SingleInstance &operator=(const SingleInstance &) = delete;

    // This program holds the lock: it is the one that runs.
    bool isFirst() const { return m_lockFd >= 0; }

    // The socket this program listens on; empty when it cannot be asked to
    // show its window (a later start then finds no one to ask).
    QString socketPath() const { return m_socketPath; }

    // For a later start: asks the running program to show its window, and
    // hands it `launch`. Tries for up to `waitMs` (the first may still be
    // starting, or just ending, in which case this one takes the lock and
    // becomes the first). True when the request was handed over.
    bool askFirstToShow(const LaunchToken &launch = {}, int waitMs = 3000);

    // The key for this user and the settings file `settingsFile`: two starts
    // that share a store share the key, a test with a store of its own does
    // not meet the user's program.
    static QString keyFor(const QString &settingsFile);

signals:
    // A later start asked this program to show its window; `launch` is what
    // its launcher handed it.
    void showRequested(const quorbel::LaunchToken &launch);

private:
    // True when this program runs as the first: it holds the lock, or the
    // lock cannot be had for another reason than being held (this program
    // then runs on its own, and says why in the log).
    bool tryLock();
    bool runAlone(const QString &why);
    bool holdsLock() const { return m_lockFd >= 0 && !m_lockPath.isEmpty(); }
    // The socket's path in each folder it may be in, in the order tried.
    QStringList socketPaths() const;
    void listen();
    void acceptConnections();
    struct PendingRequest;
    void readRequest(QLocalSocket *socket, PendingRequest &pending);

    QString m_key;
    QString m_lockPath;
    int m_lockFd = -1;
    QLocalServer *m_server = nullptr;
    // How the server's socket is reached while it listens.
    std::unique_ptr<SocketAddress> m_socketAddress;
    QString m_socketPath;
};

} // namespace quorbel
