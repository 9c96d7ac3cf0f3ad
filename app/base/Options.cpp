#include "Options.h"

#include <algorithm>

namespace quorbel {
namespace {

// Milliseconds from the environment variable `name` when it holds a whole
// number above 0, at most Options::kLongestLimit; else `otherwise`.
std::chrono::milliseconds limitFromEnvironment(const char *name, std::chrono::milliseconds otherwise)
{
    bool ok = false;
    const qint64 value = qEnvironmentVariable(name).toLongLong(&ok);
    if (!ok || value <= 0)
        return otherwise;
    return std::min(std::chrono::milliseconds(value), Options::kLongestLimit);
}

} // namespace

Options Options::fromEnvironment()
{
    Options options;
    const QString office = qEnvironmentVariable("QUORBEL_SOFFICE");
    if (!office.isEmpty())
        options.officeProgram = office;
    options.callTimeLimit = limitFromEnvironment("QUORBEL_CALL_TIMEOUT_MS", options.callTimeLimit);
    options.profileSetUpTimeLimit = limitFromEnvironment("QUORBEL_PROFILE_TIMEOUT_MS", options.profileSetUpTimeLimit);
    options.spareOffice = qEnvironmentVariable("QUORBEL_SPARE_OFFICE") != QLatin1String("0");
    options.warmOffice = qEnvironmentVariable("QUORBEL_WARM_OFFICE") != QLatin1String("0");
    return options;
}

} // namespace quorbel
