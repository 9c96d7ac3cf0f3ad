#include "TestHome.h"

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace quorbel::test {
namespace {

// Made before main() runs, so before the first settings object.
struct SettingsHome {
    SettingsHome()
        : dir(QDir::tempPath() + QStringLiteral("/quorbel-test-settings-XXXXXX"))
    {
        if (!dir.isValid()) {
            std::fprintf(stderr, "No private settings folder for the tests: %s\n", qPrintable(dir.errorString()));
            std::abort();
        }
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    }
    QTemporaryDir dir;
};

SettingsHome &home()
{
    static SettingsHome instance;
    return instance;
}

// Runs at static initialisation of every test executable.
const bool g_homeReady = (home(), true);

} // namespace

QString settingsHome()
{
    return home().dir.path();
}

ScopedEnvironment::~ScopedEnvironment()
{
    for (auto it = m_saved.crbegin(); it != m_saved.crend(); ++it) {
        if (it->present)
            qputenv(it->name.constData(), it->value);
        else
            qunsetenv(it->name.constData());
    }
}

void ScopedEnvironment::remember(const char *name)
{
    Saved saved;
    saved.name = name;
    saved.present = qEnvironmentVariableIsSet(name);
    saved.value = qgetenv(name);
    m_saved.append(saved);
}

void ScopedEnvironment::set(const char *name, const QByteArray &value)
{
    remember(name);
    qputenv(name, value);
}

void ScopedEnvironment::unset(const char *name)
{
    remember(name);
    qunsetenv(name);
}

} // namespace quorbel::test
