// One build through the program's own offices, for machine_cache_test.sh,
// which runs it where LibreOffice's machine-wide extension cache starts out
// empty: an office is started and its pipe looked at while it runs, then
// "Start Creating Template" fills, saves and pictures a one-entry list, as
// the main window's command does. Exits with 0 when the office's pipe admits
// no one else and the build handed a workbook that only the user can read to
// the preview; prints what was wrong otherwise.

#include "Dialogs.h"
#include "Failure.h"
#include "Offices.h"
#include "ScratchFolder.h"
#include "TemplateFilling.h"
#include "Title.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace quorbel;

// The main window's part of the command: one entry, the hand-over noted.
class OneEntryHost final : public TemplateHost {
public:
    QString workbook;
    bool pictured = false;

    QString completedBy() override { return QStringLiteral("Me"); }
    QDate deadline() override { return QDate(2026, 12, 28); }
    QString projectName() override { return QStringLiteral("Machine cache"); }
    int entryCount() override { return 1; }
    ListEntry entry(int) override
    {
        return ListEntry {QStringLiteral("12/24/26"), QStringLiteral("Office"), QStringLiteral("a note"), QString()};
    }
    void setBusyPointer(bool) override {}
    void progress(BuildStage, int, int) override {}
    void loadPreviewPicture(const QString &path) override { pictured = QFileInfo(path).size() > 0; }
    void showNoPreviewPicture() override {}
    void setPreviewWorkbook(const QString &path) override { workbook = path; }
    void showPreview() override {}
    void hideMainWindow() override {}
    Dialogs &dialogs() override { return m_dialogs; }

private:
    StderrDialogs m_dialogs;
};

int failed = 0;

void check(bool good, const QString &what)
{
    std::printf("%s: %s\n", good ? "ok" : "FAILED", qPrintable(what));
    if (!good)
        ++failed;
}

mode_t modeOf(const QString &path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode : 0;
}

// "0600" for a mode.
QString octal(mode_t mode)
{
    return QStringLiteral("%1").arg(mode & 07777, 4, 8, QLatin1Char('0'));
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    SetApplicationTitle();
    Offices offices(Options::fromEnvironment().withoutOfficesAhead());

    try {
        const auto office = offices.createApplication();
        const QFileInfoList pipes = QDir(QStringLiteral("/tmp"))
                                        .entryInfoList({QStringLiteral("OSL_PIPE_%1_quorbel-%2-*")
                                                            .arg(::getuid())
                                                            .arg(::getpid())},
                                                       QDir::System);
        check(!pipes.isEmpty(), QStringLiteral("the office listens on a pipe of this program's"));
        for (const QFileInfo &pipe : pipes) {
            const mode_t mode = modeOf(pipe.absoluteFilePath());
            check(S_ISSOCK(mode) && (mode & (S_IWGRP | S_IWOTH)) == 0,
                  QStringLiteral("no one else may connect to %1 (mode %2)").arg(pipe.fileName(), octal(mode)));
        }
        office->Quit();
    } catch (const Failure &failure) {
        check(false, QStringLiteral("an office started: %1").arg(failure.description()));
    }

    OneEntryHost host;
    CreateTemplateWorkbook(host, offices);
    check(!host.workbook.isEmpty() && host.pictured, QStringLiteral("the build handed a workbook and a picture over"));
    if (!host.workbook.isEmpty()) {
        const mode_t mode = modeOf(host.workbook);
        check(S_ISREG(mode) && (mode & 077) == 0,
              QStringLiteral("the scratch workbook is the user's alone (mode %1)").arg(octal(mode)));
        const mode_t folder = modeOf(QFileInfo(host.workbook).path());
        check((folder & 077) == 0, QStringLiteral("the scratch folder is the user's alone (mode %1)").arg(octal(folder)));
        QFile::remove(host.workbook);
        releaseScratchFolder(host.workbook);
    }
    return failed == 0 ? 0 : 1;
}
