#include "ScratchFolder.h"

#include "Failure.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace quorbel {
namespace {

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
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

} // namespace

QString makePrivateFolder(const QString &path)
{
    // Clean, so that a trailing separator cannot make lstat follow a link.
    const QString folder = QDir::cleanPath(path);
    if (!makeFolders(folder)) {
        const int error = errno;
        throw Failure(QStringLiteral("Could not create the folder %1: %2.").arg(path, systemError(error)));
    }
    const QByteArray native = QFile::encodeName(folder);
    struct stat info {};
    if (::lstat(native.constData(), &info) != 0) {
        const int error = errno;
        throw Failure(QStringLiteral("Could not read the folder %1: %2.").arg(path, systemError(error)));
    }
    // Others may have put anything into a folder they could write to: such
    // a folder is refused, not made private after the fact.
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::geteuid() || (info.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        throw Failure(QStringLiteral("The folder %1 is not a private folder of this user; remove it.").arg(path));
    if ((info.st_mode & 077) != 0 && ::chmod(native.constData(), 0700) != 0) {
        const int error = errno;
        throw Failure(QStringLiteral("Could not make the folder %1 private: %2.").arg(path, systemError(error)));
    }
    return path;
}

QString cacheFolder()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.cache");
    return makePrivateFolder(base + QStringLiteral("/quorbel"));
}

QString scratchFolder()
{
    const QString temp = qEnvironmentVariable("TEMP");
    if (!temp.isEmpty())
        return temp;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString folder = !runtime.isEmpty() && QDir(runtime).exists()
        ? QDir(runtime).filePath(QStringLiteral("quorbel"))
        : QDir(QDir::tempPath()).filePath(QStringLiteral("quorbel-%1").arg(::geteuid()));
    try {
        return makePrivateFolder(folder);
    } catch (const Failure &failure) {
        throw Failure(failure.description() + QStringLiteral(" Setting TEMP to a folder of your own avoids it."));
    }
}

QString scratchPath(const QString &name)
{
    return QDir(scratchFolder()).filePath(name);
}

bool isOwnRegularFile(const QString &path)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return false;
    return S_ISREG(info.st_mode) && info.st_uid == ::geteuid();
}

} // namespace quorbel
