#include "MasterProfile.h"

#include "CacheFolder.h"
#include "Failure.h"
#include "OfficeCommand.h"
#include "ScratchFolder.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include <csignal>
#include <cstdio>
#include <filesystem>

namespace quorbel::lo {
namespace {

// Settings of a private office that no user sees: no lock files next to the
// workbooks, no autosave or recovery copies; and the profile counts as made
// by this version of the office, which otherwise takes it for an upgrade at
// every start and first runs its graphics self-test (about 0.7 s).
void tuneProfile(const QString &profile, const QString &version)
{
    QFile file(profile + QStringLiteral("/user/registrymodifications.xcu"));
    if (!file.open(QIODevice::ReadOnly))
        return;
    QByteArray text = file.readAll();
    file.close();
    const QByteArray end = "</oor:items>";
    const qsizetype at = text.lastIndexOf(end);
    if (at < 0)
        return;
    text.insert(at,
                "<item oor:path=\"/org.openoffice.Office.Common/Misc\"><prop oor:name=\"UseLocking\" oor:op=\"fuse\">"
                "<value>false</value></prop></item>\n"
                "<item oor:path=\"/org.openoffice.Office.Recovery/AutoSave\"><prop oor:name=\"Enabled\" oor:op=\"fuse\">"
                "<value>false</value></prop></item>\n"
                "<item oor:path=\"/org.openoffice.Office.Recovery/RecoveryInfo\"><prop oor:name=\"Enabled\" "
                "oor:op=\"fuse\"><value>false</value></prop></item>\n");
    if (!version.isEmpty()) {
        text.insert(text.lastIndexOf(end),
                    "<item oor:path=\"/org.openoffice.Setup/Product\"><prop oor:name=\"ooSetupLastVersion\" "
                    "oor:op=\"fuse\"><value>"
                        + version.toLatin1() + "</value></prop></item>\n");
    }
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(text);
}

// The office's own major.minor version ("7.4"), from the ProductKey of the
// bootstraprc beside its program; empty when it cannot be read.
QString officeVersion(const QString &program)
{
    QFile file(QFileInfo(program).absolutePath() + QStringLiteral("/bootstraprc"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    static const QRegularExpression productKey(QStringLiteral("^ProductKey=.*?(\\d+\\.\\d+)"),
                                               QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = productKey.match(QString::fromUtf8(file.readAll()));
    return match.hasMatch() ? match.captured(1) : QString();
}

} // namespace

QString masterProfile(const QString &program)
{
    const QFileInfo info(program);
    const QByteArray key = QCryptographicHash::hash(
        (info.absoluteFilePath() + QString::number(info.lastModified().toSecsSinceEpoch())
         + QString::number(info.size())).toUtf8(),
        QCryptographicHash::Sha1).toHex().left(16);
    const QString cache = cacheFolder();
    const QString master = cache + QStringLiteral("/profile-v2-") + QString::fromLatin1(key);
    const QString marker = master + QStringLiteral("/complete");
    if (QFileInfo::exists(marker))
        return master;

    // Profiles half made by a program that ended meanwhile.
    const QDateTime hourAgo = QDateTime::currentDateTime().addSecs(-3600);
    for (const QFileInfo &old : QDir(cache).entryInfoList({QStringLiteral("profile-staging-*")}, QDir::Dirs)) {
        if (old.lastModified() < hourAgo)
            QDir(old.absoluteFilePath()).removeRecursively();
    }
    const QString staging = cache + QStringLiteral("/profile-staging-") + randomName();
    makePrivateFolder(staging);
    QProcess process;
    prepareOfficeProcess(process, QString(), QString(), QString());
    process.start(program, officeArguments(staging + QStringLiteral("/profile"), QString()));
    // Setting up a profile on a slow or cold disk can take far longer than
    // any call: it has a limit of its own, in minutes.
    const int limit = int(profileSetUpTimeLimit().count());
    if (!process.waitForStarted(limit)) {
        QDir(staging).removeRecursively();
        throw Failure(QStringLiteral("LibreOffice could not be started (%1): %2").arg(program, process.errorString()));
    }
    const bool ended = process.waitForFinished(limit);
    if (!ended) {
        ::kill(-pid_t(process.processId()), SIGKILL);
        process.waitForFinished(5000);
    }
    const bool initialised = ended && process.exitStatus() == QProcess::NormalExit
        && (process.exitCode() == kOfficeRestartExitCode || process.exitCode() == 0)
        && QFileInfo::exists(staging + QStringLiteral("/profile/user"));
    if (!initialised) {
        QDir(staging).removeRecursively();
        throw Failure(QStringLiteral("LibreOffice (%1) could not set up its profile: it %2.")
                          .arg(program, ended ? QStringLiteral("ended with exit code %1").arg(process.exitCode())
                                              : QStringLiteral("did not finish within %1 minutes")
                                                    .arg(QString::number(limit / 60000.0, 'g', 3))));
    }
    tuneProfile(staging + QStringLiteral("/profile"), officeVersion(program));
    QFile(staging + QStringLiteral("/complete")).open(QIODevice::WriteOnly);
    // Another program may have made the same profile meanwhile: keep theirs.
    if (::rename(QFile::encodeName(staging).constData(), QFile::encodeName(master).constData()) != 0)
        QDir(staging).removeRecursively();
    if (!QFileInfo::exists(marker))
        throw Failure(QStringLiteral("The LibreOffice profile %1 could not be set up.").arg(master));
    return master;
}

// A plain recursive copy, links left out: a profile is some fifty folders
// and twenty-five small files, and copying them one QFile at a time cost a
// tenth of a second of every office start.
void copyMasterProfile(const QString &master, const QString &to)
{
    namespace fs = std::filesystem;
    const QString from = master + QStringLiteral("/profile");
    std::error_code error;
    fs::copy(fs::path(QFile::encodeName(from).toStdString()), fs::path(QFile::encodeName(to).toStdString()),
             fs::copy_options::recursive | fs::copy_options::skip_symlinks, error);
    if (error)
        throw Failure(QStringLiteral("Could not copy the LibreOffice profile %1: %2")
                          .arg(from, QString::fromLocal8Bit(error.message().c_str())));
}

} // namespace quorbel::lo
