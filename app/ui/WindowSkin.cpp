#include "WindowSkin.h"

#include "Failure.h"
#include "FileProcs.h"
#include "WindowLook.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QWidget>

namespace quorbel {

void SkinEngine::loadSkin(const QString &path, const QString &)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("Could not load the skin %1: %2").arg(path, file.errorString()));
    m_styleSheet = QString::fromUtf8(file.readAll());
    m_loaded = true;
}

void SkinEngine::applyWindow(QWidget *window)
{
    if (!m_loaded)
        throw Failure(QStringLiteral("No skin is loaded."));
    if (!window)
        throw Failure(QStringLiteral("No window to apply the skin to."));
    window->setStyleSheet(m_styleSheet);
}

void ApplyWindowSkin(QWidget *mainWindow, const QString &folder)
{
    const QString skinPath = QDir(folder.isEmpty() ? programFolder() : folder).filePath(QStringLiteral("x/o.cjs"));
    const QFileInfo info(skinPath);
    if (!info.isFile() || info.isHidden())
        return;

    useButtonFace(mainWindow, true);

    // The engine lives as long as the window it skins.
    auto *engine = new SkinEngine;
    QObject::connect(mainWindow, &QObject::destroyed, [engine] { delete engine; });
    engine->loadSkin(skinPath, QString());
    engine->setOptions(engine->options() | 1);
    engine->setApplyOptionsToDialogs(true);
    engine->setApplyOptionsToMenus(true);
    engine->applyWindow(mainWindow);
}

} // namespace quorbel
