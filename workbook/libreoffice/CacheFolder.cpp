#include "CacheFolder.h"

#include <QRandomGenerator>

namespace quorbel::lo {

QString randomName()
{
    return QString::number(QRandomGenerator::system()->generate64(), 36);
}

} // namespace quorbel::lo
