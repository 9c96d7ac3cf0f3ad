#include "SingleInstance.h"

#include "Failure.h"
#include "FilesLog.h"
#include "ScratchFolder.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorbel {
namespace {

const QByteArray kShowRequest = "show\n";

// The socket's other end runs as this user.
bool peerIsThisUser(qintptr descriptor)
{
    ucred peer = {};
    socklen_t size = sizeof peer;
    return ::getsockopt(int(descriptor), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::getuid();
}

} // namespace

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
    delete m_server;
    if (m_lockFd >= 0) {
        // Unlinked while still held: a later start that opened the old file
        // finds it gone when it checks, and opens the path again.
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
            return runAlone(QStringLiteral("could not be opened (%1)").arg(QString::fromLocal8Bit(std::strerror(errno))));
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
            return runAlone(QStringLiteral("could not be locked (%1)").arg(QString::fromLocal8Bit(std::strerror(error))));
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

void SingleInstance::listen()
{
    m_server = new QLocalServer;
    m_server->setSocketOptions(QLocalServer::AbstractNamespaceOption);
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
    // A name taken by someone else: this program runs all the same, it just
    // cannot be asked to show itself.
    m_server->listen(m_key);
}

void SingleInstance::acceptConnections()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (!peerIsThisUser(socket->socketDescriptor())) {
            socket->abort();
            continue;
        }
        const auto readRequest = [this, socket] {
            if (socket->bytesAvailable() < kShowRequest.size())
                return;
            const QByteArray request = socket->readAll();
            socket->disconnectFromServer();
            if (request.startsWith(kShowRequest))
                emit showRequested();
        };
        connect(socket, &QLocalSocket::readyRead, this, readRequest);
        readRequest();
    }
}

bool SingleInstance::askFirstToShow(int waitMs)
{
    const QDeadlineTimer deadline(waitMs);
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
        socket.connectToServer(m_key);
        if (socket.waitForConnected(250) && peerIsThisUser(socket.socketDescriptor())) {
            socket.write(kShowRequest);
            if (socket.waitForBytesWritten(1000)) {
                socket.disconnectFromServer();
                return true;
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
