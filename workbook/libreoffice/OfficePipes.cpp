#include "OfficePipes.h"

#include "FileUrl.h"

#include <QCryptographicHash>
#include <QFile>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace quorbel::lo {
namespace {

// The folder the office's pipes are made in, chosen as the office chooses
// it.
QString pipeFolder()
{
    static const QString folder = ::access("/tmp", W_OK) == 0 || ::access("/var/tmp", W_OK) != 0
        ? QStringLiteral("/tmp")
        : QStringLiteral("/var/tmp");
    return folder;
}

QString pipePath(const QString &name)
{
    return QStringLiteral("%1/OSL_PIPE_%2_%3").arg(pipeFolder()).arg(::getuid()).arg(name);
}

// Removes what stands at `path` when this user owns it (root may remove
// other users' entries of the shared folder; it does not).
void unlinkOwn(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat info {};
    if (::lstat(native.constData(), &info) == 0 && info.st_uid == ::getuid())
        ::unlink(native.constData());
}

} // namespace

QString officePipePath(const QString &pipeName)
{
    return pipePath(pipeName);
}

PipeState officePipeState(const QString &pipeName)
{
    struct stat info {};
    if (pipeName.isEmpty() || pipeName.contains(QLatin1Char('/')))
        return PipeState::Foreign;
    if (::lstat(QFile::encodeName(pipePath(pipeName)).constData(), &info) != 0)
        return errno == ENOENT ? PipeState::Missing : PipeState::Foreign;
    return S_ISSOCK(info.st_mode) && info.st_uid == ::getuid() ? PipeState::Own : PipeState::Foreign;
}

void removeOfficePipes(const QString &pipeName, const QString &profilePath)
{
    if (!pipeName.isEmpty() && !pipeName.contains(QLatin1Char('/')))
        unlinkOwn(pipePath(pipeName));
    if (!profilePath.isEmpty()) {
        // The office names the second pipe after the MD5 of the profile's
        // URL in UTF-16, each byte in hex without padding.
        const QString url = fileUrl(profilePath);
        const QByteArray digest = QCryptographicHash::hash(
            QByteArrayView(reinterpret_cast<const char *>(url.utf16()), url.size() * 2), QCryptographicHash::Md5);
        QString hash;
        for (const char byte : digest)
            hash += QString::number(quint8(byte), 16);
        unlinkOwn(pipePath(QStringLiteral("SingleOfficeIPC_") + hash));
    }
}

} // namespace quorbel::lo
