#include "Offices.h"

#include "Failure.h"
#include "FileProcs.h"
#include "FilesLog.h"

#include <QDir>
#include <QLibrary>

namespace quorbel {
namespace {

// What the module said when it made no office, or a plain sentence.
InstanceFailure notStarted(const QString &error)
{
    return InstanceFailure(error.isEmpty() ? QStringLiteral("LibreOffice Calc could not be started.") : error,
                           InstanceLoss::NotStarted);
}

} // namespace

Offices::Offices(Options options, const InputPause *input, QString moduleFolder)
    : m_options(std::move(options)), m_moduleFolder(std::move(moduleFolder)),
      m_spare(std::make_unique<SpareOffice>(*this, input))
{
}

Offices::~Offices()
{
    m_spare->stop();
}

// Everything that links against the office's own libraries lives in a module
// loaded at run time, so that the program starts (and says what is missing)
// on a machine without the office. Loaded once, at the first need; a module
// that could not be loaded makes no office, each time it is asked.
void Offices::loadModule()
{
    if (m_moduleTried) {
        if (!m_create)
            throw notStarted(m_moduleError);
        return;
    }
    m_moduleTried = true;
    // Only from the program's own folder (or a test's): the environment
    // does not choose a library to load.
    const QString folder = m_moduleFolder.isEmpty() ? programFolder() : m_moduleFolder;
    QLibrary module(QDir(folder).filePath(QStringLiteral("quorbel_libreoffice")));
    module.setLoadHints(QLibrary::ResolveAllSymbolsHint);
    m_create = reinterpret_cast<CreateFunction>(module.resolve("quorbel_create_application"));
    m_start = reinterpret_cast<StartFunction>(module.resolve("quorbel_start_application"));
    m_defer = reinterpret_cast<DeferFunction>(module.resolve("quorbel_defer_office_endings"));
    if (m_create) {
        qCInfo(lcQuorbelFiles).noquote() << "office module loaded:" << module.fileName();
    } else {
        m_moduleError = QStringLiteral("The LibreOffice connection module could not be loaded: %1")
                            .arg(module.errorString());
        qCWarning(lcQuorbelFiles).noquote() << m_moduleError;
        throw notStarted(m_moduleError);
    }
}

std::unique_ptr<xl::StartingApplication> Offices::startApplication()
{
    loadModule();
    if (!m_start)
        throw InstanceFailure(QStringLiteral("The LibreOffice connection module cannot start an office ahead of need."),
                              InstanceLoss::NotStarted);
    QString error;
    std::unique_ptr<xl::StartingApplication> starting(m_start(&m_options, &error));
    if (!starting)
        throw notStarted(error);
    return starting;
}

OfficeEndings Offices::deferEndings()
{
    if (!usingOffice())
        return {};
    try {
        loadModule();
    } catch (const InstanceFailure &) {
        return {};
    }
    return OfficeEndings(m_defer);
}

std::unique_ptr<xl::XlApplication> Offices::createApplication()
{
    if (auto ready = m_spare->takeInstance())
        return ready;
    loadModule();
    QString error;
    std::unique_ptr<xl::XlApplication> application(m_create(&m_options, &error));
    if (!application)
        throw notStarted(error);
    return application;
}

} // namespace quorbel
