#include "InstanceFolder.h"

#include "Failure.h"
#include "OfficePipes.h"
#include "OwnFolder.h"
#include "ScratchFolder.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorbel::lo {
namespace {

// The file in an instance folder that names the office's pipe.
const QString kPipeRecord = QStringLiteral("pipe-name");

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

bool isOwnFolder(const QString &path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode)
        && info.st_uid == ::getuid();
}

// The pipe name noted in an abandoned folder: at most 200 bytes of a
// regular file, opened without following a link.
QString readPipeRecord(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return {};
    struct stat info {};
    char bytes[200];
    ssize_t size = -1;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode))
        size = ::read(fd, bytes, sizeof bytes);
    ::close(fd);
    return size > 0 ? QString::fromUtf8(bytes, int(size)).trimmed() : QString();
}

// Removes instance folders whose lock nobody holds any more (a program that
// was killed, crashed or lost its display), with their office's pipes. A
// folder whose lock a running program holds is left alone.
void removeAbandonedFolders(const QString &instances)
{
    const QStringList locks =
        QDir(instances).entryList({QStringLiteral("*.lock")}, QDir::Files | QDir::NoSymLinks);
    for (const QString &lockName : locks) {
        const QString lockPath = instances + QLatin1Char('/') + lockName;
        const int fd = ::open(QFile::encodeName(lockPath).constData(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0)
            continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            const QString folder = instances + QLatin1Char('/') + lockName.chopped(5);
            // The record is read only from a real folder of the user's own,
            // and never through a link.
            if (isOwnFolder(folder)) {
                const QString record = readPipeRecord(folder + QLatin1Char('/') + kPipeRecord);
                removeOfficePipes(record, folder + QStringLiteral("/profile"));
            }
            removeOwnFolder(folder);
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

} // namespace

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
    const QString path = instances + QLatin1Char('/') + name;
    if (::mkdir(QFile::encodeName(path).constData(), 0700) != 0) {
        const QString error = systemError();
        remove();
        throw Failure(QStringLiteral("Could not create the folder %1: %2").arg(path, error));
    }
    m_path = path;
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

void InstanceFolder::recordPipeName(const QString &pipeName)
{
    QFile record(m_path + QLatin1Char('/') + kPipeRecord);
    if (record.open(QIODevice::WriteOnly))
        record.write(pipeName.toUtf8());
}

void InstanceFolder::remove()
{
    if (!m_path.isEmpty())
        removeOwnFolder(m_path);
    m_path.clear();
    if (m_lockFd >= 0) {
        ::unlink(QFile::encodeName(m_lockPath).constData());
        ::close(m_lockFd);
        m_lockFd = -1;
    }
}

} // namespace quorbel::lo
