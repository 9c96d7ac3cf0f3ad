#include "FileUrl.h"

#include <QFileInfo>
#include <QUrl>

namespace quorbel::lo {

QString fileUrl(const QString &path)
{
    return QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded);
}

} // namespace quorbel::lo
