#include "Title.h"

#include <QCoreApplication>

namespace quorbel {
namespace {
QString g_applicationTitle = kProductTitle;
}

QString shortenTitle(QString title, int maxLength)
{
    while (title.size() > maxLength) {
        const qsizetype lastSpace = title.lastIndexOf(QLatin1Char(' '));
        if (lastSpace < 0) {
            title.truncate(maxLength);
            break;
        }
        title.truncate(lastSpace);
    }
    return title;
}

void SetApplicationTitle()
{
    g_applicationTitle = shortenTitle(kProductTitle);
    if (QCoreApplication::instance())
        QCoreApplication::setApplicationName(g_applicationTitle);
}

QString applicationTitle()
{
    return g_applicationTitle;
}

} // namespace quorbel
