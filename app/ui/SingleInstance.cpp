#include "SingleInstance.h"

#include "Failure.h"
#include "FilesLog.h"
#include "ScratchFolder.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace quorbel {

// A connection's request as it comes in.
struct SingleInstance::PendingRequest {
    QByteArray received;
    bool done = false;
};

namespace {

const QByteArray kShowLine = "show";
const QByteArray kActivationTokenName = "activation-token";
const QByteArray kStartupIdName = "startup-id";

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The socket's other end runs as this user.
bool peerIsThisUser(qintptr descriptor)
{
    ucred peer = {};
    socklen_t size = sizeof peer;
    return ::getsockopt(int(descriptor), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::getuid();
}

// A socket of this user's own is at `path` (the path itself, not what a link
// there leads to).
bool isOwnSocket(const QString &path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISSOCK(info.st_mode)
        && info.st_uid == ::getuid();
}

} // namespace

// The address to bind or connect to for the socket at `path`: the path
// itself while a socket address holds it; a longer one (a deep cache or
// runtime folder) is reached through the descriptor of its folder, opened
// here, in /proc/self/fd, which the kernel resolves to the same entry. The
// folder stays open as long as the address is used.
class SocketAddress {
    // Qt refuses a path some bytes short of what a socket address holds
    // (108 bytes with its NUL): a path of 107 bytes fails to listen.
    static constexpr qsizetype kLongestDirectPath = 96;

public:
    explicit SocketAddress(const QString &path)
    {
        if (QFile::encodeName(path).size() < kLongestDirectPath) {
            m_address = path;
            return;
        }
        const QFileInfo info(path);
        m_folder = ::open(QFile::encodeName(info.path()).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (m_folder >= 0)
            m_address = QStringLiteral("/proc/self/fd/%1/%2").arg(m_folder).arg(info.fileName());
        if (QFile::encodeName(m_address).size() >= qsizetype(sizeof(sockaddr_un::sun_path)))
            m_address.clear();
    }
    ~SocketAddress()
    {
        if (m_folder >= 0)
            ::close(m_folder);
    }
    SocketAddress(const SocketAddress &) = delete;
    SocketAddress &operator=(const SocketAddress &) = delete;

    // Empty when the socket cannot be reached (a folder that cannot be
    // opened, a file name too long on its own).
    QString address() const { return m_address; }

private:
    QString m_address;
    int m_folder = -1;
};

namespace {

// $XDG_RUNTIME_DIR when it is a folder of this user's own (not a link) that
// the group and others cannot enter. Otherwise empty, and `why` says why
// when the variable is set.
QString privateRuntimeFolder(QString &why)
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.isEmpty())
        return {};
    // Clean, so that a trailing separator cannot make lstat follow a link.
    const QString folder = QDir::cleanPath(runtime);
    struct stat info {};
    if (!QDir::isAbsolutePath(folder))
        why = QStringLiteral("is not an absolute path");
    else if (::lstat(QFile::encodeName(folder).constData(), &info) != 0)
        why = QStringLiteral("could not be read (%1)").arg(systemError(errno));
    else if (!S_ISDIR(info.st_mode))
        why = QStringLiteral("is not a folder");
    else if (info.st_uid != ::getuid())
        why = QStringLiteral("belongs to another user");
    else if ((info.st_mode & 077) != 0)
        why = QStringLiteral("is open to the group or to others");
    // The scratch files' test of a private folder decides, as it does for
    // them: it also looks at the folders above.
    else if (!isOwnPrivateFolder(folder))
        why = QStringLiteral("lies below a folder that others could rename");
    else
        return folder;
    return {};
}

// The request a later start sends: "show", the launch token's values that
// are valid, and an empty line.
QByteArray showRequest(const LaunchToken &launch)
{
    QByteArray request = kShowLine + '\n';
    if (LaunchToken::isValid(launch.activationToken))
        request += kActivationTokenName + '=' + launch.activationToken + '\n';
    if (LaunchToken::isValid(launch.startupId))
        request += kStartupIdName + '=' + launch.startupId + '\n';
    return request + '\n';
}

// Reads the lines of a request up to (not including) its empty line, each
// ended by '\n'. Nothing when they are not exactly what showRequest() writes.
std::optional<LaunchToken> parseShowRequest(const QByteArray &lines)
{
    QList<QByteArray> fields = lines.split('\n');
    // The last '\n' leaves an empty piece behind it.
    if (fields.size() < 2 || fields.takeFirst() != kShowLine || !fields.takeLast().isEmpty())
        return std::nullopt;
    LaunchToken launch;
    for (const QByteArray &field : std::as_const(fields)) {
        const qsizetype equals = field.indexOf('=');
        if (equals < 0)
            return std::nullopt;
        const QByteArray name = field.left(equals);
        const QByteArray value = field.mid(equals + 1);
        if (!LaunchToken::isValid(value))
            return std::nullopt;
        QByteArray *slot = name == kActivationTokenName ? &launch.activationToken
            : name == kStartupIdName                    ? &launch.startupId
                                                        : nullptr;
        if (!slot || !slot->isEmpty())
            return std::nullopt;
        *slot = value;
    }
    return launch;
}

} // namespace

LaunchToken LaunchToken::fromEnvironment()
{
    LaunchToken launch;
    const QByteArray activationToken = qgetenv("XDG_ACTIVATION_TOKEN");
    if (isValid(activationToken))
        launch.activationToken = activationToken;
    const QByteArray startupId = qgetenv("DESKTOP_STARTUP_ID");
    if (isValid(startupId))
        launch.startupId = startupId;
    return launch;
}

bool LaunchToken::isValid(const QByteArray &value)
{
    if (value.isEmpty() || value.size() > kMaxSize)
        return false;
    for (const char c : value) {
        if (c <= ' ' || c > '~' || c == '"' || c == '\\')
            return false;
    }
    return true;
}

QString SingleInstance::keyFor(const QString &settingsFile)
{
    const QByteArray hash = QCryptographicHash::hash(QFileInfo(settingsFile).absoluteFilePath().toUtf8(),
                                                     QCryptographicHash::Sha1).toHex().left(12);
    return QStringLiteral("quorbel-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash));
}

SingleInstance::SingleInstance(const QString &key, QObject *parent)
    : QObject(parent), m_key(key)
{
    try {
        m_lockPath = cacheFolder() + QLatin1Char('/') + key + QStringLiteral(".lock");
    } catch (const Failure &failure) {
        // No private folder for the lock: nothing can be shared, so this
        // program runs on its own.
        qCWarning(lcQuorbelFiles).noquote() << "no folder for the single-instance lock, this copy runs on its own:"
                                            << failure.description();
        m_lockPath.clear();
    } catch (...) {
        m_lockPath.clear();
    }
    if (tryLock())
        listen();
}

SingleInstance::~SingleInstance()
{
    // The socket goes (its file with it) while the lock is still held: a
    // later start that takes the lock finds no socket of this program.
    delete m_server;
    m_socketAddress.reset();
    if (m_lockFd >= 0) {
        // Unlinked while still held: a later start that opened the old file
        // finds it gone when it checks, and opens the path again.
        if (!m_lockPath.isEmpty())
            ::unlink(QFile::encodeName(m_lockPath).constData());
        ::close(m_lockFd);
    }
}

bool SingleInstance::runAlone(const QString &why)
{
    qCWarning(lcQuorbelFiles).noquote() << "the single-instance lock" << m_lockPath << why
                                        << "- this copy runs on its own";
    m_lockPath.clear();
    m_lockFd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    return m_lockFd >= 0;
}

bool SingleInstance::tryLock()
{
    if (m_lockFd >= 0)
        return true;
    if (m_lockPath.isEmpty()) {
        m_lockFd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        return m_lockFd >= 0;
    }
    // Only a lock that another program holds means that another copy runs;
    // a lock file that cannot be had for any other reason (a read-only or
    // full home, a link or a folder at its path) lets this copy run on its
    // own, as when there is no cache folder at all.
    const QByteArray path = QFile::encodeName(m_lockPath);
    for (int attempt = 0; attempt < 5; ++attempt) {
        const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
        if (fd < 0)
            return runAlone(QStringLiteral("could not be opened (%1)").arg(systemError(errno)));
        struct stat opened = {};
        if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
            ::close(fd);
            return runAlone(QStringLiteral("is not a plain file"));
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            if (error == EWOULDBLOCK)
                return false;
            return runAlone(QStringLiteral("could not be locked (%1)").arg(systemError(error)));
        }
        // The file locked must still be the one at the path (the program
        // that held it may have removed it just now).
        struct stat named = {};
        if (::stat(path.constData(), &named) == 0 && opened.st_dev == named.st_dev && opened.st_ino == named.st_ino) {
            m_lockFd = fd;
            return true;
        }
        ::close(fd);
    }
    return runAlone(QStringLiteral("kept being replaced"));
}

QStringList SingleInstance::socketPaths() const
{
    const QString name = m_key + QStringLiteral(".socket");
    QStringList paths;
    QString why;
    const QString runtime = privateRuntimeFolder(why);
    if (!runtime.isEmpty())
        paths.append(runtime + QLatin1Char('/') + name);
    try {
        paths.append(cacheFolder() + QLatin1Char('/') + name);
    } catch (...) {
        // The constructor said so when it looked for the lock's folder.
    }
    return paths;
}

void SingleInstance::listen()
{
    QString why;
    if (privateRuntimeFolder(why).isEmpty() && !why.isEmpty()) {
        qCInfo(lcQuorbelFiles).noquote() << "the runtime folder" << qEnvironmentVariable("XDG_RUNTIME_DIR") << why
                                         << "- the single-instance socket goes into the cache folder";
    }
    for (const QString &path : socketPaths()) {
        const auto skip = [&path](const QString &reason) {
            qCWarning(lcQuorbelFiles).noquote() << "the single-instance socket" << path << reason;
        };
        const QByteArray native = QFile::encodeName(path);
        auto address = std::make_unique<SocketAddress>(path);
        if (address->address().isEmpty()) {
            skip(QStringLiteral("cannot be reached as a socket (%1)").arg(systemError(errno)));
            continue;
        }
        struct stat info {};
        if (::lstat(native.constData(), &info) == 0) {
            if (!S_ISSOCK(info.st_mode) || info.st_uid != ::getuid()) {
                skip(QStringLiteral("is taken by something else than a socket of this user's own; it is left alone"));
                continue;
            }
            // A socket of this user's own, left by a copy that was killed:
            // this one holds the lock, so no other copy listens on it. A
            // copy that runs without the lock cannot tell, and leaves it.
            if (!holdsLock()) {
                skip(QStringLiteral("is there already, and this copy runs without the lock; it is left alone"));
                continue;
            }
            if (::unlink(native.constData()) != 0) {
                skip(QStringLiteral("is left from a copy that ended, and could not be removed (%1)")
                         .arg(systemError(errno)));
                continue;
            }
            qCInfo(lcQuorbelFiles).noquote() << "removed the single-instance socket" << path
                                             << "of a copy that ended";
        } else if (errno != ENOENT) {
            skip(QStringLiteral("could not be read (%1)").arg(systemError(errno)));
            continue;
        }
        // The folder is the user's alone, so the socket in it is too. (Qt's
        // access options would bind a longer path first, in a folder of
        // their own beside it.)
        auto server = std::make_unique<QLocalServer>();
        if (!server->listen(address->address())) {
            skip(QStringLiteral("could not be listened on (%1)").arg(server->errorString()));
            continue;
        }
        m_server = server.release();
        m_socketAddress = std::move(address);
        m_socketPath = path;
        connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
        return;
    }
    // The program runs all the same; a later start finds no one to ask.
    qCWarning(lcQuorbelFiles) << "no single-instance socket: a later start cannot bring this copy's window forward";
}

namespace {

void refuse(QLocalSocket *socket, const char *why)
{
    qCWarning(lcQuorbelFiles) << "a request to show the window was refused: it" << why;
    socket->abort();
    socket->deleteLater();
}

} // namespace

void SingleInstance::acceptConnections()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (!peerIsThisUser(socket->socketDescriptor())) {
            refuse(socket, "came from another user");
            continue;
        }
        // What the socket buffers is bounded as the request is.
        socket->setReadBufferSize(kMaxRequestSize + 1);
        auto pending = std::make_shared<PendingRequest>();
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, pending] { readRequest(socket, *pending); });
        QTimer::singleShot(kRequestWaitMs, socket, [socket, pending] {
            if (!pending->done) {
                pending->done = true;
                refuse(socket, "was not complete in time");
            }
        });
        readRequest(socket, *pending);
    }
}

void SingleInstance::readRequest(QLocalSocket *socket, PendingRequest &pending)
{
    if (pending.done)
        return;
    pending.received += socket->read(kMaxRequestSize + 1 - pending.received.size());
    if (pending.received.size() > kMaxRequestSize) {
        pending.done = true;
        refuse(socket, "was too long");
        return;
    }
    const qsizetype end = pending.received.indexOf("\n\n");
    if (end < 0)
        return;
    pending.done = true;
    // Nothing may follow the empty line.
    const std::optional<LaunchToken> launch = end + 2 == pending.received.size()
        ? parseShowRequest(pending.received.left(end + 1))
        : std::nullopt;
    if (!launch) {
        refuse(socket, "was not a request to show the window");
        return;
    }
    socket->disconnectFromServer();
    emit showRequested(*launch);
}

bool SingleInstance::askFirstToShow(const LaunchToken &launch, int waitMs)
{
    const QByteArray request = showRequest(launch);
    const QDeadlineTimer deadline(waitMs);
    while (!deadline.hasExpired()) {
        // The first program listens in one of these folders (in the first
        // that it could use, which another environment may not name).
        for (const QString &path : socketPaths()) {
            if (!isOwnSocket(path))
                continue;
            const SocketAddress address(path);
            QLocalSocket socket;
            socket.connectToServer(address.address());
            if (socket.waitForConnected(250) && peerIsThisUser(socket.socketDescriptor())) {
                socket.write(request);
                if (socket.waitForBytesWritten(1000)) {
                    socket.disconnectFromServer();
                    return true;
                }
            }
        }
        // Not listening: the first program is starting, or has just ended.
        if (tryLock()) {
            listen();
            return false;
        }
        QThread::msleep(100);
    }
    return false;
}

} // namespace quorbel
