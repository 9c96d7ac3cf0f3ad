#include "CacheFolder.h"

#include "ScratchFolder.h"

#include <QDir>
#include <QRandomGenerator>
#include <QStandardPaths>

namespace quorbel::lo {

QString cacheFolder()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.cache");
    const QString folder = base + QStringLiteral("/quorbel");
    makePrivateFolder(folder);
    return folder;
}

QString randomName()
{
    return QString::number(QRandomGenerator::system()->generate64(), 36);
}

} // namespace quorbel::lo
