#include "OfficePipes.h"

#include "FileUrl.h"

#include <QCryptographicHash>
#include <QFile>

#include <unistd.h>

namespace quorbel::lo {

void removeOfficePipes(const QString &pipeName, const QString &profilePath)
{
    const QString pipes = QStringLiteral("/tmp/OSL_PIPE_%1_").arg(::getuid());
    if (!pipeName.isEmpty() && !pipeName.contains(QLatin1Char('/')))
        ::unlink(QFile::encodeName(pipes + pipeName).constData());
    if (!profilePath.isEmpty()) {
        // The office names the second pipe after the MD5 of the profile's
        // URL in UTF-16, each byte in hex without padding.
        const QString url = fileUrl(profilePath);
        const QByteArray digest = QCryptographicHash::hash(
            QByteArrayView(reinterpret_cast<const char *>(url.utf16()), url.size() * 2), QCryptographicHash::Md5);
        QString hash;
        for (const char byte : digest)
            hash += QString::number(quint8(byte), 16);
        ::unlink(QFile::encodeName(pipes + QStringLiteral("SingleOfficeIPC_") + hash).constData());
    }
}

} // namespace quorbel::lo
