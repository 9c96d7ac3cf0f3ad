// The LibreOffice backend when the office fails: killed during the fill,
// stopped during a call, missing, or not an office at all. Every failure
// is a Failure with a clear description, and no process is left behind.
// Runs with QUORBEL_CALL_TIMEOUT_MS=5000.

#include "OfficeTestSupport.h"

#include "Failure.h"
#include "FileProcs.h"
#include "IsInstalled.h"
#include "Offices.h"
#include "ScriptedDialogs.h"
#include "TestHome.h"
#include "Snapshot.h"
#include "Spreadsheet.h"
#include "TemplateWorkbook.h"
#include "Title.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <csignal>
#include <optional>
#include <chrono>
#include <thread>

#include <unistd.h>

using namespace quorbel;
using namespace quorbel::test;

namespace {

QString temp(const QString &name)
{
    return QDir(qEnvironmentVariable("TEMP")).filePath(name);
}

QString failureOf(const std::function<void()> &statement, InstanceLoss *loss = nullptr)
{
    try {
        statement();
    } catch (const Failure &failure) {
        if (loss)
            *loss = quorbel::lossOf(failure);
        return failure.description();
    }
    return {};
}

// How a statement's failure says its instance was lost; None when it did
// not fail at all or failed in an ordinary way.
InstanceLoss lossOf(const std::function<void()> &statement)
{
    InstanceLoss loss = InstanceLoss::None;
    failureOf(statement, &loss);
    return loss;
}

} // namespace

class FaultsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QCOMPARE(qEnvironmentVariable("QUORBEL_CALL_TIMEOUT_MS"), QStringLiteral("5000"));
        m_template = temp(QStringLiteral("template.xlt"));
        WriteBytesToFile(templateWorkbookBytes(), m_template);
        SetApplicationTitle();
    }

    void cleanupTestCase()
    {
        QVERIFY(officeChildren().isEmpty());
        for (const qint64 pid : std::as_const(m_started))
            QVERIFY2(!processExists(pid), qPrintable(QString::number(pid)));
    }

    void init()
    {
        m_environment.emplace();
    }

    void cleanup()
    {
        // Puts back the office the run was started with, if any.
        m_environment.reset();
        // Whatever became of an office, the pipes it listened on are gone
        // once it has ended.
        QTRY_VERIFY_WITH_TIMEOUT(officeChildren().isEmpty(), 10000);
        const QStringList left = ownPipesLeft();
        QVERIFY2(left.isEmpty(), qPrintable(left.join(QLatin1Char(' '))));
    }

    void officeKilledDuringTheFill()
    {
        auto excel = startWithTemplate();
        const qint64 pid = *officeChildren().begin();
        // The office is killed in the middle of the rows, whatever the
        // machine's speed; cell writes may be held and sent together, so
        // the loss shows at the latest at the read that ends the fill.
        int filled = 0;
        InstanceLoss loss = InstanceLoss::None;
        const QString failure = failureOf([&] {
            for (int row = 6; row < 5000; ++row, ++filled) {
                if (row == 200)
                    ::kill(pid_t(pid), SIGKILL);
                excel->Rows(row)->Select();
                excel->Selection()->Copy();
                excel->Rows(row + 1)->Select();
                excel->Selection()->Insert(xl::xlShiftDown);
                excel->setCutCopyMode(false);
                excel->Cells(row, 3)->setValue(QStringLiteral("project %1").arg(row));
                excel->Cells(row, 4)->setValue(QStringLiteral("12/24/2026"));
            }
            excel->Cells(6, 3)->Value();
        }, &loss);
        // A crash: the instance is lost, and says so.
        QCOMPARE(loss, InstanceLoss::Ended);
        QVERIFY2(failure.contains(QStringLiteral("LibreOffice ended unexpectedly")), qPrintable(failure));
        QVERIFY(filled > 0);
        // Ended and reaped by the failing call.
        QVERIFY(!processExists(pid));
        // Every later call fails at once with the same reason.
        QCOMPARE(failureOf([&] { excel->Cells(1, 1)->Value(); }), failure);
        QCOMPARE(failureOf([&] { excel->Workbooks(); }), failure);
        QCOMPARE(failureOf([&] { excel->Version(); }), failure);
        QCOMPARE(lossOf([&] { excel->Version(); }), InstanceLoss::Ended);
        excel->Quit();
    }

    // An office killed at any moment costs this program nothing: a write
    // to its pipe that comes before the bridge notices the death fails
    // instead of raising SIGPIPE, whose default action ends the program.
    void officeKilledAtAnyMoment_data()
    {
        QTest::addColumn<int>("delayMs");
        for (const int delay : {0, 5, 15, 40, 90, 200})
            QTest::addRow("after %d ms", delay) << delay;
    }

    void officeKilledAtAnyMoment()
    {
        QFETCH(int, delayMs);
        auto excel = startWithTemplate();
        const qint64 pid = *officeChildren().begin();

        std::atomic<bool> killed = false;
        std::thread killer([pid, delayMs, &killed] {
            std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
            ::kill(pid_t(pid), SIGKILL);
            killed = true;
        });
        InstanceLoss loss = InstanceLoss::None;
        // Many short calls, each making and dropping a remote reference, so
        // requests and releases are on their way when the office dies.
        failureOf([&] {
            for (int round = 0; round < 100000; ++round) {
                excel->Cells(1 + round % 50, 7)->setValue(QStringLiteral("value %1").arg(round));
                excel->Cells(1 + round % 50, 7)->Value();
            }
        }, &loss);
        killer.join();
        QVERIFY(killed);
        QCOMPARE(loss, InstanceLoss::Ended);
        excel.reset();
        QVERIFY(!processExists(pid));
        // The race above is rare; what decides it is not left to chance:
        // a write to a broken pipe never ends this program.
        struct sigaction current {};
        QCOMPARE(::sigaction(SIGPIPE, nullptr, &current), 0);
        QVERIFY(current.sa_handler == SIG_IGN);
    }

    // References dropped just after the office died: each drop is a release
    // message for the bridge to write to a pipe whose other end is gone.
    void referencesDroppedAfterTheOfficeDied()
    {
        auto excel = startWithTemplate();
        const qint64 pid = *officeChildren().begin();
        std::vector<std::shared_ptr<xl::XlRange>> cells;
        for (int row = 1; row <= 2000; ++row)
            cells.push_back(excel->Cells(row, 7));
        ::kill(pid_t(pid), SIGKILL);
        // Dropped one by one while the office dies and the bridge notices.
        while (!cells.empty()) {
            cells.pop_back();
            std::this_thread::sleep_for(std::chrono::microseconds(20));
        }
        InstanceLoss loss = InstanceLoss::None;
        failureOf([&] { excel->Cells(1, 1)->Value(); }, &loss);
        QCOMPARE(loss, InstanceLoss::Ended);
        excel.reset();
        QVERIFY(!processExists(pid));
    }

    void officeStoppedDuringACall()
    {
        auto excel = startWithTemplate();
        const qint64 pid = *officeChildren().begin();
        auto cell = excel->Cells(1, 7);
        ::kill(pid_t(pid), SIGSTOP);
        InstanceLoss loss = InstanceLoss::None;
        const QString failure = failureOf([&] { cell->setValue(QStringLiteral("never written")); }, &loss);
        QVERIFY2(failure.contains(QStringLiteral("did not answer within 5 seconds")), qPrintable(failure));
        QCOMPARE(loss, InstanceLoss::Hung);
        QVERIFY(!processExists(pid));
        QCOMPARE(failureOf([&] { cell->Value(); }), failure);
        QCOMPARE(lossOf([&] { cell->Value(); }), InstanceLoss::Hung);
        QCOMPARE(failureOf([&] { excel->ActiveWorkbook()->SaveAs(temp(QStringLiteral("x.xls")), 56); }), failure);
        QVERIFY(!QFile::exists(temp(QStringLiteral("x.xls"))));
    }

    // A refused call is no lost instance: the office goes on answering.
    void ordinaryFailureKeepsTheInstance()
    {
        auto excel = startWithTemplate();
        InstanceLoss loss = InstanceLoss::Ended;
        const QString failure = failureOf([&] { excel->Cells(1, 7)->setValue(QDate()); }, &loss);
        QVERIFY(!failure.isEmpty());
        QCOMPARE(loss, InstanceLoss::None);
        excel->Cells(1, 7)->setValue(QStringLiteral("still here"));
        QCOMPARE(excel->Cells(1, 7)->Value(), xl::CellValue(QStringLiteral("still here")));
        excel->Quit();
    }

    void quitEndsAStoppedOffice()
    {
        auto excel = startWithTemplate();
        const qint64 pid = *officeChildren().begin();
        ::kill(pid_t(pid), SIGSTOP);
        excel->Quit();
        QVERIFY(!processExists(pid));
        QVERIFY(!failureOf([&] { excel->Cells(1, 1); }).isEmpty());
    }

    void releasingEndsTheOffice()
    {
        auto excel = startWithTemplate();
        const qint64 pid = *officeChildren().begin();
        auto cell = excel->Cells(1, 7);
        auto workbook = excel->ActiveWorkbook();
        excel.reset();
        QVERIFY(!processExists(pid));
        // Handles kept beyond their instance fail cleanly.
        QVERIFY(!failureOf([&] { cell->Value(); }).isEmpty());
        QVERIFY(!failureOf([&] { workbook->Close(); }).isEmpty());
        QVERIFY(!failureOf([&] { cell->Picture(); }).isEmpty());
    }

    void missingOffice()
    {
        const QString missing = QStringLiteral("/nonexistent/libreoffice/program/soffice.bin");
        m_environment->set("QUORBEL_SOFFICE", missing.toLocal8Bit());
        const QString failure = failureOf([this] { freshOffices().createApplication(); });
        QVERIFY2(failure.contains(missing), qPrintable(failure));
        QCOMPARE(lossOf([this] { freshOffices().createApplication(); }), InstanceLoss::NotStarted);
        QCOMPARE(lossOf([&] { OpenInNewInstance(freshOffices(), m_template); }), InstanceLoss::NotStarted);
        QVERIFY(!failureOf([&] { OpenInNewInstance(freshOffices(), m_template); }).isEmpty());
        QVERIFY(!failureOf([this] { WorkbookSaveFormat(freshOffices()); }).isEmpty());

        ScriptedDialogs dialogs;
        QVERIFY(!IsInstalled(freshOffices(), dialogs));
        QCOMPARE(dialogs.boxes.size(), 1);
        QCOMPARE(dialogs.boxes.first().text, notInstalledMessage());
        QCOMPARE(dialogs.boxes.first().title, applicationTitle());
        QCOMPARE(dialogs.boxes.first().icon, BoxIcon::None);
        QCOMPARE(dialogs.boxes.first().buttons, BoxButtons::Ok);
        QVERIFY(officeChildren().isEmpty());
    }

    void programThatIsNoOffice()
    {
        m_environment->set("QUORBEL_SOFFICE", "/bin/false");
        const QString failure = failureOf([this] { freshOffices().createApplication(); });
        QVERIFY2(failure.contains(QStringLiteral("exit code 1")), qPrintable(failure));
        ScriptedDialogs dialogs;
        QVERIFY(!IsInstalled(freshOffices(), dialogs));
        QCOMPARE(dialogs.boxes.size(), 1);
    }

    // A program that never ends: it is stopped after the limit, with the
    // process it started (its own process group).
    void officeThatHangsAtStart()
    {
        const QString script = temp(QStringLiteral("hanging-office.sh"));
        const QString childFile = temp(QStringLiteral("hanging-office.child"));
        QVERIFY(writeScript(script, QStringLiteral("#!/bin/sh\nsleep 600 &\necho $! > '%1'\nwait\n").arg(childFile).toLocal8Bit()));
        m_environment->set("QUORBEL_SOFFICE", script.toLocal8Bit());
        m_environment->set("QUORBEL_PROFILE_TIMEOUT_MS", "3000");

        const QString failure = failureOf([this] { freshOffices().createApplication(); });
        QVERIFY2(failure.contains(QStringLiteral("did not finish within")), qPrintable(failure));
        QFile child(childFile);
        QVERIFY(child.open(QIODevice::ReadOnly));
        const qint64 childPid = child.readAll().trimmed().toLongLong();
        QVERIFY(childPid > 0);
        QTRY_VERIFY_WITH_TIMEOUT(!processExists(childPid), 5000);
    }

    // The first set-up of the per-user profile may take longer than any
    // call may: it is not taken for an office that cannot be started.
    void slowFirstProfileSetUp()
    {
        QTemporaryDir cache;
        m_environment->set("XDG_CACHE_HOME", cache.path().toLocal8Bit());
        const QString script = cache.filePath(QStringLiteral("slow-office.sh"));
        // The set-up run gets a profile folder of its own ("profile-staging-",
        // named in the office's environment): only that run is slow, by more
        // than the 5 s call limit.
        QVERIFY(writeScript(script, "#!/bin/sh\n"
                                    "case \"$UserInstallation\" in *profile-staging-*) sleep 7 ;; esac\n"
                                    "exec /usr/lib/libreoffice/program/soffice.bin \"$@\"\n"));
        // The office's version is read beside its program.
        QVERIFY(QFile::copy(QStringLiteral("/usr/lib/libreoffice/program/bootstraprc"),
                            cache.filePath(QStringLiteral("bootstraprc"))));
        m_environment->set("QUORBEL_SOFFICE", script.toLocal8Bit());

        ScriptedDialogs dialogs;
        const bool installed = IsInstalled(freshOffices(), dialogs);
        QVERIFY2(installed, qPrintable(failureOf([this] { freshOffices().createApplication(); })));
        QVERIFY(dialogs.boxes.isEmpty());
        auto excel = freshOffices().createApplication();
        m_started += officeChildren();
        QVERIFY(!excel->Version().isEmpty());
        excel->Quit();
    }

    // A time limit from the environment is at most a day: a larger one made
    // the deadline overflow, and every call counted as hung at once.
    void hugeCallLimitIsADay()
    {
        m_environment->set("QUORBEL_CALL_TIMEOUT_MS", "10000000000000");
        auto excel = freshOffices().createApplication();
        m_started += officeChildren();
        QVERIFY(!excel->Version().isEmpty());
        excel->Quit();
    }

    // A socket at the path of the office's pipe, there before the office
    // makes its own, held by a process outside the office's process group
    // that accepts and never answers. Another user's is never connected to;
    // one of the user's own is, and the call that waits on it is freed by
    // the watchdog (killing the office alone would not free it). Either way
    // the office counts as one that did not start.
    void socketAtThePipePath_data()
    {
        QTest::addColumn<bool>("otherUser");
        QTest::addColumn<QString>("failure");
        QTest::newRow("another user's") << true << "not a socket of this user's own";
        QTest::newRow("own, silent") << false << "did not answer within 5 seconds";
    }

    void socketAtThePipePath()
    {
        QFETCH(bool, otherUser);
        QFETCH(QString, failure);
        if (otherUser && ::geteuid() != 0)
            QSKIP("giving a socket to another user needs root");
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        m_environment->set("XDG_CACHE_HOME", folder.filePath(QStringLiteral("cache")).toLocal8Bit());
        const QString log = folder.filePath(QStringLiteral("planted.log"));
        // The real office, started after the socket has been made at its
        // pipe's path; the planter notes its process and every connection.
        const QString script = folder.filePath(QStringLiteral("soffice.bin"));
        QVERIFY(writeScript(script, QStringLiteral(R"(#!/usr/bin/python3
import os, re, socket, struct, sys, time, urllib.parse
office = '/usr/lib/libreoffice/program/soffice.bin'
profile = urllib.parse.unquote(urllib.parse.urlparse(os.environ.get('UserInstallation', '')).path)
try:
    settings = open(profile + '/user/registrymodifications.xcu').read()
except OSError:
    settings = ''
found = re.search(r'pipe,name=([^;<]+);urp;', settings)
if found:
    path = '/tmp/OSL_PIPE_%d_%s' % (os.getuid(), found.group(1))
    program = os.getppid()
    planter = os.fork()
    if planter == 0:
        # A process of its own, which ending the office does not end.
        os.setsid()
        planted = socket.socket(socket.AF_UNIX)
        planted.bind(path + '.new')
        if %2:
            os.lchown(path + '.new', 65534, 65534)
        planted.listen(64)
        os.rename(path + '.new', path)
        with open('%1', 'a') as log:
            log.write('planted %d\n' % os.getpid())
        held = []
        planted.settimeout(1)
        end = time.time() + 120
        while time.time() < end:
            try:
                connection, _ = planted.accept()
            except socket.timeout:
                continue
            peer = struct.unpack('3i', connection.getsockopt(socket.SOL_SOCKET, socket.SO_PEERCRED, 12))[0]
            # The office itself tries the taken path again and again.
            if peer != program:
                connection.close()
                continue
            held.append(connection)
            with open('%1', 'a') as log:
                log.write('connected\n')
        os._exit(0)
    # Each start's own planter has made its socket before the office
    # starts (the program may start more than one office).
    def noted():
        try:
            return open('%1').read()
        except OSError:
            return ''
    while ('planted %d\n' % planter) not in noted():
        time.sleep(0.01)
os.execv(office, [office] + sys.argv[1:])
)").arg(log, otherUser ? QStringLiteral("True") : QStringLiteral("False")).toUtf8()));
        QVERIFY(QFile::copy(QStringLiteral("/usr/lib/libreoffice/program/bootstraprc"),
                            folder.filePath(QStringLiteral("bootstraprc"))));
        m_environment->set("QUORBEL_SOFFICE", script.toLocal8Bit());

        InstanceLoss loss = InstanceLoss::None;
        const QString description = failureOf([this] { freshOffices().createApplication(); }, &loss);
        QVERIFY2(description.contains(failure), qPrintable(description));
        QCOMPARE(loss, InstanceLoss::NotStarted);
        ScriptedDialogs dialogs;
        QVERIFY(!IsInstalled(freshOffices(), dialogs));
        QCOMPARE(dialogs.boxes.size(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(officeChildren().isEmpty(), 10000);

        QFile noted(log);
        QVERIFY(noted.open(QIODevice::ReadOnly));
        const QByteArray events = noted.readAll();
        const QList<QByteArray> lines = events.split('\n');
        int planters = 0;
        for (const QByteArray &line : lines) {
            if (line.startsWith("planted ")) {
                ::kill(pid_t(line.mid(8).toInt()), SIGKILL);
                ++planters;
            }
        }
        QVERIFY2(planters >= 1, events.constData());
        QCOMPARE(events.contains("connected"), !otherUser);
        // Another user's sockets are left alone; the user's own are removed.
        const QFileInfoList left = QDir(QStringLiteral("/tmp")).entryInfoList(
            {QStringLiteral("OSL_PIPE_%1_quorbel-%2-*").arg(::getuid()).arg(::getpid())}, QDir::System);
        for (const QFileInfo &socket : left) {
            if (socket.ownerId() == 65534u)
                QFile::remove(socket.absoluteFilePath());
        }
        QCOMPARE(left.size(), otherUser ? planters : 0);
    }

    // A link in place of an abandoned instance folder is removed as a link:
    // what it points to is left whole.
    void linkInPlaceOfAnAbandonedFolder()
    {
        QTemporaryDir outside;
        QVERIFY(outside.isValid());
        const QString kept = outside.filePath(QStringLiteral("kept.txt"));
        {
            QFile file(kept);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("kept");
        }
        const QString instances = qEnvironmentVariable("XDG_CACHE_HOME") + QStringLiteral("/quorbel/instances");
        QVERIFY(QDir().mkpath(instances));
        const QString planted = instances + QStringLiteral("/%1-planted").arg(::getpid());
        QVERIFY(QFile::link(outside.path(), planted));
        QFile lock(planted + QStringLiteral(".lock"));
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.close();

        auto excel = freshOffices().createApplication();
        m_started += officeChildren();
        QVERIFY(!excel->Version().isEmpty());
        excel->Quit();
        QVERIFY(QFileInfo::exists(kept));
        QCOMPARE(QDir(outside.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList {QStringLiteral("kept.txt")});
        QVERIFY(!QFileInfo(planted).isSymLink());
        QVERIFY(!QFileInfo::exists(planted + QStringLiteral(".lock")));
    }

private:
    FreshOffices freshOffices;

    // The pipes in /tmp named after this process's offices (other runs'
    // offices may come and go beside it at any time).
    static QStringList ownPipesLeft()
    {
        return QDir(QStringLiteral("/tmp")).entryList(
            {QStringLiteral("OSL_PIPE_%1_quorbel-%2-*").arg(::getuid()).arg(::getpid())}, QDir::System | QDir::Files);
    }

    std::unique_ptr<xl::XlApplication> startWithTemplate()
    {
        auto excel = freshOffices().createApplication();
        const QSet<qint64> offices = officeChildren();
        m_started += offices;
        if (offices.size() != 1)
            qFatal("expected one office, found %d", int(offices.size()));
        excel->Workbooks()->Open(m_template, true);
        return excel;
    }

    QString m_template;
    QSet<qint64> m_started;
    std::optional<quorbel::test::ScopedEnvironment> m_environment;
};

QTEST_MAIN(FaultsTest)
#include "FaultsTest.moc"
