#include "ScratchFolder.h"

#include "Failure.h"
#include "FileProcs.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace quorbel {
namespace {

QString ensurePrivateFolder(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        throw Failure(QStringLiteral("Could not create the folder %1: %2")
                          .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    struct stat info {};
    if (::lstat(native.constData(), &info) != 0)
        throw Failure(QStringLiteral("Could not read the folder %1").arg(path));
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::geteuid() || (info.st_mode & 077) != 0)
        throw Failure(QStringLiteral("The folder %1 is not a private folder of this user; "
                                     "remove it or set TEMP to a folder of your own.")
                          .arg(path));
    return path;
}

} // namespace

QString makePrivateFolder(const QString &path)
{
    if (!QDir().mkpath(path))
        throw Failure(QStringLiteral("Could not create the folder %1.").arg(path));
    const QByteArray native = QFile::encodeName(path);
    struct stat info {};
    if (::lstat(native.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid())
        throw Failure(QStringLiteral("The folder %1 is not a folder of this user's own.").arg(path));
    if ((info.st_mode & 077) != 0 && ::chmod(native.constData(), 0700) != 0)
        throw Failure(QStringLiteral("Could not make the folder %1 private: %2")
                          .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    return path;
}

QString scratchFolder()
{
    const QString temp = qEnvironmentVariable("TEMP");
    if (!temp.isEmpty())
        return temp;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists())
        return ensurePrivateFolder(joinPath(runtime, QStringLiteral("quorbel")));
    return ensurePrivateFolder(
        joinPath(QDir::tempPath(), QStringLiteral("quorbel-%1").arg(::geteuid())));
}

QString scratchPath(const QString &name)
{
    return joinPath(scratchFolder(), name);
}

bool isOwnRegularFile(const QString &path)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return false;
    return S_ISREG(info.st_mode) && info.st_uid == ::geteuid();
}

} // namespace quorbel
