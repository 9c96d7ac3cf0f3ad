#include "FileProcs.h"

#include "Failure.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorbel {

bool FileExists(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.isFile() && info.lastModified().isValid();
}

void DeleteFileQuietly(const QString &path)
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
    if (path.isEmpty())
        return;
    if (QFile::remove(path))
        return;
    try {
        ForceDeleteFile(path);
    } catch (...) {
        // Quiet by design: the caller carries on whatever happened.
    }
}

void ForceDeleteFile(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat fileStat {};
    if (::lstat(native.constData(), &fileStat) != 0)
        throw Failure(QStringLiteral("File not found: %1").arg(path));
    if (S_ISDIR(fileStat.st_mode))
        throw Failure(QStringLiteral("Not a file: %1").arg(path));

    if (!S_ISLNK(fileStat.st_mode) && (fileStat.st_mode & S_IWUSR) == 0)
        ::chmod(native.constData(), fileStat.st_mode | S_IWUSR);
    if (::unlink(native.constData()) == 0)
        return;

    // A read-only folder of the user's own: open it for the delete and close
    // it again.
    const int firstError = errno;
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    struct stat folderStat {};
    if (firstError == EACCES && ::stat(folder.constData(), &folderStat) == 0
        && folderStat.st_uid == ::geteuid()
        && ::chmod(folder.constData(), folderStat.st_mode | S_IWUSR | S_IXUSR) == 0) {
        const int result = ::unlink(native.constData());
        const int error = errno;
        ::chmod(folder.constData(), folderStat.st_mode);
        if (result == 0)
            return;
        throw Failure(QStringLiteral("Could not delete %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(error))));
    }
    throw Failure(QStringLiteral("Could not delete %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(firstError))));
}

// Makes `path` with mode 0700, after any folder missing above it, each with
// mode 0700 as well. A folder that exists already is left as it is. False,
// with errno set, when a folder cannot be made.
bool makeFolders(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) == 0 || errno == EEXIST)
        return true;
    if (errno != ENOENT)
        return false;
    const QString parent = QFileInfo(path).path();
    if (parent == path || !makeFolders(parent))
        return false;
    return ::mkdir(native.constData(), 0700) == 0 || errno == EEXIST;
}

int writeAll(int fd, const char *data, qsizetype size)
{
    qsizetype written = 0;
    while (written < size) {
        const ssize_t n = ::write(fd, data + written, size_t(size - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        written += n;
    }
    return 0;
}

void WriteBytesToFile(const QByteArray &bytes, const QString &path)
{
    // Never through a link: the bytes go into the named file or nowhere.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        throw Failure(QStringLiteral("Could not open %1 for writing: %2")
                          .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    if (const int error = writeAll(fd, bytes.constData(), bytes.size())) {
        ::close(fd);
        throw Failure(QStringLiteral("Could not write %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(error))));
    }
    if (::close(fd) != 0)
        throw Failure(QStringLiteral("Could not write %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
}

QByteArray readOwnFile(const QString &path, qint64 maxBytes)
{
    const auto fail = [&](const QString &why) {
        return Failure(QStringLiteral("Could not read %1: %2").arg(path, why));
    };
    // O_NONBLOCK: a pipe or device planted in the file's place never stalls
    // the open; fstat then refuses it.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throw fail(QString::fromLocal8Bit(std::strerror(errno)));
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) {
        ::close(fd);
        throw fail(QStringLiteral("it is not a file of your own."));
    }
    if (info.st_size > maxBytes) {
        ::close(fd);
        throw fail(QStringLiteral("it is too large."));
    }
    QByteArray bytes;
    bytes.resize(qsizetype(info.st_size));
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            throw fail(QString::fromLocal8Bit(std::strerror(error)));
        }
        if (n == 0)
            break;
        done += n;
    }
    ::close(fd);
    // A file that shrank while it was read is what was there.
    bytes.truncate(done);
    return bytes;
}

QString programFolder()
{
    return QCoreApplication::applicationDirPath();
}

} // namespace quorbel
