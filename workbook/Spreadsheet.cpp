#include "Spreadsheet.h"

#include "Failure.h"
#include "FileProcs.h"
#include "FilesLog.h"

#include <QDir>
#include <QLibrary>

namespace quorbel::xl {
namespace {

// Everything that links against the office's own libraries lives in a module
// loaded at run time, so that the program starts (and says what is missing)
// on a machine without the office.
using CreateFunction = XlApplication *(*)(QString *error);
using StartFunction = StartingApplication *(*)(QString *error);

StartFunction g_start = nullptr;
QString g_moduleFolder;

CreateFunction loadBackend(QString *error)
{
    static CreateFunction create = nullptr;
    static QString loadError;
    static bool tried = false;
    if (!tried) {
        tried = true;
        // Only from the program's own folder (or a test's): the environment
        // does not choose a library to load.
        const QString folder = g_moduleFolder.isEmpty() ? programFolder() : g_moduleFolder;
        QLibrary module(QDir(folder).filePath(QStringLiteral("quorbel_libreoffice")));
        module.setLoadHints(QLibrary::ResolveAllSymbolsHint);
        create = reinterpret_cast<CreateFunction>(module.resolve("quorbel_create_application"));
        g_start = reinterpret_cast<StartFunction>(module.resolve("quorbel_start_application"));
        if (create) {
            qCInfo(lcQuorbelFiles).noquote() << "office module loaded:" << module.fileName();
        } else {
            loadError = QStringLiteral("The LibreOffice connection module could not be loaded: %1")
                            .arg(module.errorString());
            qCWarning(lcQuorbelFiles).noquote() << loadError;
        }
    }
    if (!create && error)
        *error = loadError;
    return create;
}

ApplicationFactory g_factory;
InstanceSource *g_source = nullptr;

} // namespace

void setApplicationFactory(ApplicationFactory factory)
{
    g_factory = std::move(factory);
}

void setModuleFolder(const QString &folder)
{
    g_moduleFolder = folder;
}

void setInstanceSource(InstanceSource *source)
{
    g_source = source;
}

bool usingOffice()
{
    return !g_factory;
}

std::unique_ptr<StartingApplication> StartApplication()
{
    QString error;
    if (!loadBackend(&error))
        throw Failure(error, InstanceLoss::NotStarted);
    if (!g_start)
        throw Failure(QStringLiteral("The LibreOffice connection module cannot start an office ahead of need."),
                      InstanceLoss::NotStarted);
    std::unique_ptr<StartingApplication> starting(g_start(&error));
    if (!starting)
        throw Failure(error.isEmpty() ? QStringLiteral("LibreOffice Calc could not be started.") : error,
                      InstanceLoss::NotStarted);
    return starting;
}

std::unique_ptr<XlApplication> CreateApplication()
{
    if (g_factory)
        return g_factory();
    if (g_source) {
        if (auto ready = g_source->takeInstance())
            return ready;
    }
    QString error;
    const CreateFunction create = loadBackend(&error);
    if (!create)
        throw Failure(error, InstanceLoss::NotStarted);
    std::unique_ptr<XlApplication> application(create(&error));
    if (!application)
        throw Failure(error.isEmpty() ? QStringLiteral("LibreOffice Calc could not be started.") : error,
                      InstanceLoss::NotStarted);
    return application;
}

} // namespace quorbel::xl
