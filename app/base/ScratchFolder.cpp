#include "ScratchFolder.h"

#include "Failure.h"
#include "FileProcs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quorbel {
namespace {

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
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

namespace {

// The private folders made inside shared temporary folders by this process,
// as native paths: a plain list, as the clean-up at exit runs after Qt is
// gone.
std::vector<std::string> &madeFolders()
{
    static std::vector<std::string> folders;
    return folders;
}

std::mutex &madeFoldersLock()
{
    static std::mutex lock;
    return lock;
}

// The names the program's scratch files have: "template.xlt", "temp.bmp"
// and "vantyk" with eight digits and ".xls".
bool isScratchName(const char *name)
{
    if (std::strcmp(name, "template.xlt") == 0 || std::strcmp(name, "temp.bmp") == 0)
        return true;
    if (std::strlen(name) != 18 || std::strncmp(name, "vantyk", 6) != 0 || std::strcmp(name + 14, ".xls") != 0)
        return false;
    for (int i = 6; i < 14; ++i) {
        if (name[i] < '0' || name[i] > '9')
            return false;
    }
    return true;
}

// True when `folder` is a real folder (not a link) of this user's that no
// one else can enter.
bool isOwnPrivateFolder(const char *folder)
{
    struct stat info {};
    return ::lstat(folder, &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid()
        && (info.st_mode & 077) == 0;
}

// Removes the program's scratch files from a private folder it made, and
// the folder when nothing else is left in it. Never follows a link: links
// are removed as entries, and a folder that is no longer this user's
// private folder is left alone. Plain system calls only.
void removeMadeFolder(const std::string &folder)
{
    if (!isOwnPrivateFolder(folder.c_str()))
        return;
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return;
    if (DIR *dir = ::fdopendir(fd)) {
        std::vector<std::string> names;
        while (const dirent *entry = ::readdir(dir)) {
            if (isScratchName(entry->d_name))
                names.emplace_back(entry->d_name);
        }
        for (const std::string &name : names)
            ::unlinkat(::dirfd(dir), name.c_str(), 0);
        ::closedir(dir);
    } else {
        ::close(fd);
    }
    ::rmdir(folder.c_str());
}

void removeMadeFoldersAtExit()
{
    std::lock_guard<std::mutex> guard(madeFoldersLock());
    for (const std::string &folder : madeFolders())
        removeMadeFolder(folder);
    madeFolders().clear();
}

// True when others can write to `folder` (it is someone else's, or its
// group or everyone may write there): scratch files must not go straight
// into it. A folder that cannot be read is used as it is, as before.
bool writableByOthers(const QString &folder)
{
    struct stat info {};
    if (::stat(QFile::encodeName(folder).constData(), &info) != 0 || !S_ISDIR(info.st_mode))
        return false;
    return info.st_uid != ::geteuid() || (info.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

// This process's private folder inside the shared folder `temp`: the one
// made before while it is still there, else a new one (mkdtemp, 0700).
QString privateFolderIn(const QString &temp)
{
    const std::string prefix = QFile::encodeName(QDir(temp).filePath(QStringLiteral("quorbel-"))).toStdString();
    std::lock_guard<std::mutex> guard(madeFoldersLock());
    std::vector<std::string> &folders = madeFolders();
    for (const std::string &folder : folders) {
        if (folder.size() == prefix.size() + 6 && folder.compare(0, prefix.size(), prefix) == 0
            && isOwnPrivateFolder(folder.c_str()))
            return QFile::decodeName(QByteArray::fromStdString(folder));
    }
    std::string name = prefix + "XXXXXX";
    if (!::mkdtemp(name.data())) {
        const int error = errno;
        throw Failure(QStringLiteral("Could not create a private folder in %1: %2.").arg(temp, systemError(error)));
    }
    static const bool cleanUpAtExit = (std::atexit(removeMadeFoldersAtExit), true);
    Q_UNUSED(cleanUpAtExit);
    folders.push_back(name);
    return QFile::decodeName(QByteArray::fromStdString(name));
}

} // namespace

QString scratchFolder()
{
    const QString temp = qEnvironmentVariable("TEMP");
    if (!temp.isEmpty())
        return writableByOthers(temp) ? privateFolderIn(temp) : temp;
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

void releaseScratchFolder(const QString &file)
{
    if (file.isEmpty())
        return;
    const std::string folder = QFile::encodeName(QFileInfo(file).absolutePath()).toStdString();
    std::lock_guard<std::mutex> guard(madeFoldersLock());
    std::vector<std::string> &folders = madeFolders();
    for (auto it = folders.begin(); it != folders.end(); ++it) {
        if (*it != folder)
            continue;
        // Only an empty folder goes: rmdir removes nothing else.
        if (isOwnPrivateFolder(folder.c_str()) && ::rmdir(folder.c_str()) == 0)
            folders.erase(it);
        return;
    }
}

bool restrictToOwner(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info {};
    const bool done = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid()
        && ((info.st_mode & 077) == 0 || ::fchmod(fd, info.st_mode & 0700) == 0);
    ::close(fd);
    return done;
}

bool isOwnRegularFile(const QString &path)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return false;
    return S_ISREG(info.st_mode) && info.st_uid == ::geteuid();
}

} // namespace quorbel
