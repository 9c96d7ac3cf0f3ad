#include "OwnFolder.h"

#include "FilesLog.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace quorbel::lo {

QString randomName()
{
    return QString::number(QRandomGenerator::system()->generate64(), 36);
}

bool removeOwnFolder(const QString &path)
{
    if (path.isEmpty())
        return true;
    // Cleaned, so that a trailing separator cannot make lstat follow a link.
    const QByteArray native = QFile::encodeName(QDir::cleanPath(path));
    struct stat info {};
    if (::lstat(native.constData(), &info) != 0)
        return errno == ENOENT;
    if (S_ISLNK(info.st_mode)) {
        // Removing the link itself never touches what it points to.
        qCWarning(lcQuorbelFiles).noquote()
            << QStringLiteral("a link stood in place of the folder %1; only the link is removed").arg(path);
        return ::unlink(native.constData()) == 0;
    }
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::getuid()) {
        qCWarning(lcQuorbelFiles).noquote()
            << QStringLiteral("%1 is not a folder of this user's own; it is not removed").arg(path);
        return false;
    }
    // QDir removes the links it meets inside as links.
    return QDir(QString::fromLocal8Bit(native)).removeRecursively();
}

} // namespace quorbel::lo
