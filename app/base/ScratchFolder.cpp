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
bool isPrivateFolderOfMine(const char *folder)
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
    if (!isPrivateFolderOfMine(folder.c_str()))
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

// True when `uid` owns folders this process may build on: the user, or
// root, who can do anything anyway.
bool isTrustedOwner(uid_t uid)
{
    return uid == ::geteuid() || uid == 0;
}

// True when no folder above the resolved path `folder` can be renamed or
// replaced by anyone but the user and root: each is a real folder of
// theirs, and sticky when others may write to it.
bool hasSafeAncestors(const QString &folder)
{
    QString above = QFileInfo(folder).path();
    for (;;) {
        struct stat info {};
        if (::lstat(QFile::encodeName(above).constData(), &info) != 0 || !S_ISDIR(info.st_mode)
            || !isTrustedOwner(info.st_uid))
            return false;
        if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0 && (info.st_mode & S_ISVTX) == 0)
            return false;
        const QString next = QFileInfo(above).path();
        if (next == above)
            return true;
        above = next;
    }
}

// How the folder TEMP names may hold scratch files.
enum class TempUse {
    Direct,   // the user's own, no one else may enter it
    Inside,   // in a private folder made inside it
    NotUsed,  // not at all
};

// How the resolved folder `folder` may hold scratch files. Files go straight
// in only where no one else can see them being made (the office makes its
// files with a umask that lets others read them until the program restricts
// them). Into a folder that others may write to, only a private folder of
// its own goes, and only when it is sticky: elsewhere others could rename
// that folder away and put their own in its place.
TempUse tempUse(const QString &folder)
{
    struct stat info {};
    if (folder.isEmpty() || ::lstat(QFile::encodeName(folder).constData(), &info) != 0 || !S_ISDIR(info.st_mode)
        || !isTrustedOwner(info.st_uid) || !hasSafeAncestors(folder))
        return TempUse::NotUsed;
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return (info.st_mode & S_ISVTX) != 0 ? TempUse::Inside : TempUse::NotUsed;
    if (info.st_uid != ::geteuid() || (info.st_mode & 077) != 0)
        return TempUse::Inside;
    return TempUse::Direct;
}

// This process's private folder in `folder`, named `prefix` and six random
// characters: the one made before while it is still there, else a new one
// (mkdtemp, 0700).
QString privateFolderIn(const QString &folder, const QString &prefix)
{
    const std::string start = QFile::encodeName(QDir(folder).filePath(prefix)).toStdString();
    std::lock_guard<std::mutex> guard(madeFoldersLock());
    std::vector<std::string> &folders = madeFolders();
    for (const std::string &made : folders) {
        if (made.size() == start.size() + 6 && made.compare(0, start.size(), start) == 0
            && isPrivateFolderOfMine(made.c_str()))
            return QFile::decodeName(QByteArray::fromStdString(made));
    }
    std::string name = start + "XXXXXX";
    if (!::mkdtemp(name.data())) {
        const int error = errno;
        throw Failure(QStringLiteral("Could not create a private folder in %1: %2.").arg(folder, systemError(error)));
    }
    static const bool cleanUpAtExit = (std::atexit(removeMadeFoldersAtExit), true);
    Q_UNUSED(cleanUpAtExit);
    folders.push_back(name);
    return QFile::decodeName(QByteArray::fromStdString(name));
}

// The system temporary folder (TMPDIR, else /tmp), where it can hold a
// private folder; /tmp otherwise.
QString systemTempFolder()
{
    const QString folder = QFileInfo(QDir::tempPath()).canonicalFilePath();
    return tempUse(folder) == TempUse::NotUsed ? QStringLiteral("/tmp") : folder;
}

// True when something other than a folder of the user's own that others
// cannot write to stands at `path`.
bool takenBySomeoneElse(const QString &path)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return false;
    return !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid() || (info.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

} // namespace

QString scratchFolder()
{
    const QString temp = QFileInfo(qEnvironmentVariable("TEMP")).canonicalFilePath();
    switch (tempUse(temp)) {
    case TempUse::Direct:
        return temp;
    case TempUse::Inside:
        return privateFolderIn(temp, QStringLiteral("quorbel-"));
    case TempUse::NotUsed:
        break;
    }
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const bool inRuntime = !runtime.isEmpty() && isOwnPrivateFolder(runtime);
    const QString base = inRuntime ? QFileInfo(runtime).canonicalFilePath() : systemTempFolder();
    const QString name = inRuntime ? QStringLiteral("quorbel") : QStringLiteral("quorbel-%1").arg(::geteuid());
    const QString folder = QDir(base).filePath(name);
    try {
        return makePrivateFolder(folder);
    } catch (const Failure &failure) {
        // In a folder that others can write to, someone may have taken the
        // name first: a fresh folder then, which nobody can have made.
        if (!inRuntime && takenBySomeoneElse(folder))
            return privateFolderIn(base, name + QLatin1Char('-'));
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
        if (isPrivateFolderOfMine(folder.c_str()) && ::rmdir(folder.c_str()) == 0)
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

bool isOwnPrivateFolder(const QString &path)
{
    struct stat info {};
    return !path.isEmpty() && ::lstat(QFile::encodeName(QDir::cleanPath(path)).constData(), &info) == 0
        && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & 077) == 0
        && hasSafeAncestors(QFileInfo(path).canonicalFilePath());
}

bool isOwnRegularFile(const QString &path)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return false;
    return S_ISREG(info.st_mode) && info.st_uid == ::geteuid();
}

} // namespace quorbel
