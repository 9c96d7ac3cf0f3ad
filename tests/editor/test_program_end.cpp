// However the program ends, the list the user had is kept and nothing of the
// run is left: SIGTERM, SIGHUP and SIGINT while each window shows and while
// a build runs (with the real office), SIGKILL right after a list command,
// a settings write killed part way, abandoned instance folders, and a
// second start while the first runs.
//
// Programs killed from outside are this test executable started again in a
// child mode (QUORBEL_TEST_CHILD), which runs the program's own pieces.

#include "EntryList.h"
#include "Form1.h"
#include "Form2.h"
#include "OfficeChildren.h"
#include "Program.h"
#include "RunQuorbel.h"
#include "ScriptedDialogs.h"
#include "SettingsStore.h"
#include "TestHome.h"
#include "editor_test_support.h"

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

using namespace quorbel;
using namespace Qt::Literals::StringLiterals;
using namespace quorbel::test;
using quorbel::test::makeCurrent;
using quorbel::test::ui;

namespace {

void say(const char *line)
{
    std::printf("%s\n", line);
    std::fflush(stdout);
}

// Two lists that differ everywhere, each large enough that writing it takes a
// while: a kill lands inside a write often.
QString bigList(QChar mark)
{
    QList<ListEntry> entries;
    for (int i = 0; i < 3000; ++i)
        entries.append({QStringLiteral("%1 %2").arg(mark).arg(i), QString(40, mark), QString(20, mark), QString()});
    return encodeEntryList(entries);
}

// --- Child modes -----------------------------------------------------------------

int childMain(QApplication &app, const QString &mode)
{
    // The parent's store; the folder made for this process is not used.
    QDir(settingsHome()).removeRecursively();
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, qEnvironmentVariable(kChildSettings));
    Form1::Services services;
    services.isInstalled = [] { return true; };

    if (mode == QLatin1String("writer")) {
        const QString lists[] = {bigList(QLatin1Char('a')), bigList(QLatin1Char('b'))};
        SettingsStore store(settingsFilePath(), mainWindowSettingLimits());
        for (int i = 0;; ++i) {
            store.writeOrThrow(kListKey, lists[i % 2]);
            if (i == 0)
                say("writing");
        }
    }
    if (mode == QLatin1String("first")) {
        // Another window takes the focus; a later start must bring the main
        // window back to the front.
        QWidget other;
        QTimer::singleShot(0, [&] {
            Form1 *form = findWindow<Form1>();
            other.show();
            other.activateWindow();
            QTimer::singleShot(200, [form] {
                say(form->isActiveWindow() ? "main window active" : "ready");
                QObject::connect(qApp, &QApplication::focusWindowChanged, form, [form] {
                    if (form->isActiveWindow())
                        say("activated");
                });
            });
        });
        return runQuorbel(app, services);
    }
    // A list command, then nothing: the parent kills this program.
    Form1 window(services);
    window.show();
    if (mode == QLatin1String("add")) {
        ui(window).txtDate->setText(QStringLiteral("new"));
        ui(window).PushButton1->click();
    } else if (mode == QLatin1String("delete")) {
        ui(window).PushButton2->click();
    } else if (mode == QLatin1String("done")) {
        ui(window).PushButton5->click();
    } else if (mode == QLatin1String("sample")) {
        ui(window).PushButton7->click();
    } else if (mode == QLatin1String("edit")) {
        window.ListView1_AfterLabelEdit(0, EntryField::Notes, QStringLiteral("mended"));
    } else if (mode == QLatin1String("move")) {
        makeCurrent(window, 1);
        ui(window).mnuMoveUp->trigger();
    } else if (mode == QLatin1String("undo")) {
        ui(window).PushButton2->click();
        ui(window).mnuUndo->trigger();
    }
    say("changed");
    return app.exec();
}

// Starts this executable in a child mode, with this test's settings store.
std::unique_ptr<QProcess> startChild(const QString &mode, const QProcessEnvironment &extra = {})
{
    auto child = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QLatin1String(kChildMode), mode);
    environment.insert(QLatin1String(kChildSettings), settingsHome());
    for (const QString &name : extra.keys())
        environment.insert(name, extra.value(name));
    child->setProcessEnvironment(environment);
    child->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child->start(QCoreApplication::applicationFilePath(), {});
    return child;
}

// Waits for the next line the child writes; empty when it ends or is silent.
QString nextLine(QProcess &child, int ms = 30000)
{
    QDeadlineTimer deadline(ms);
    while (!child.canReadLine() && !deadline.hasExpired()) {
        if (!child.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
            break;
    }
    return child.canReadLine() ? QString::fromUtf8(child.readLine()).trimmed() : QString();
}

void killChild(QProcess &child)
{
    ::kill(pid_t(child.processId()), SIGKILL);
    child.waitForFinished(10000);
}

QString instancesFolder()
{
    return qEnvironmentVariable("XDG_CACHE_HOME") + QStringLiteral("/quorbel/instances");
}

QStringList ownOfficePipes()
{
    return QDir(QStringLiteral("/tmp"))
        .entryList({QStringLiteral("OSL_PIPE_%1_quorbel-%2-*").arg(::getuid()).arg(::getpid())}, QDir::System);
}

} // namespace

class TestProgramEnd : public QObject {
    Q_OBJECT

private slots:
    void init();

    void signalEndsAsClosingTheShownWindow_data();
    void signalEndsAsClosingTheShownWindow();
    void signalDuringTheStartUpEndsTheProgram();
    void killRightAfterAListCommandKeepsIt_data();
    void killRightAfterAListCommandKeepsIt();
    void killedSettingsWriteLeavesOneWholeList();
    void abandonedInstanceFoldersGoHeldOnesStay();
    void secondStartShowsTheFirstAndEnds();

private:
    ScriptedDialogs m_dialogs;
};

void TestProgramEnd::init()
{
    QLocale::setDefault(QLocale::c());
    clearStore();
    m_dialogs.clear();
}

void TestProgramEnd::signalEndsAsClosingTheShownWindow_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("added");
    for (const auto &[number, name] : {std::pair {SIGTERM, "SIGTERM"}, {SIGHUP, "SIGHUP"}, {SIGINT, "SIGINT"}}) {
        QTest::addRow("%s, main window", name) << number << "main" << 3;
        QTest::addRow("%s, preview", name) << number << "preview" << 3;
        QTest::addRow("%s, building 300 entries", name) << number << "build" << 300;
    }
}

void TestProgramEnd::signalEndsAsClosingTheShownWindow()
{
    QFETCH(int, signalNumber);
    QFETCH(QString, shown);
    QFETCH(int, added);
    storeValue(u"ToDo"_s, u"restored^^^"_s);
    const QDir scratch(qEnvironmentVariable("TEMP"));

    QSet<qint64> offices;
    QString scratchWorkbook;
    std::thread signaller;
    std::atomic<bool> signalSent {false};
    bool sentDuringTheCommand = false;
    bool previewShown = false;
    QTimer::singleShot(0, [&] {
        Form1 *form = findWindow<Form1>();
        QVERIFY(form);
        for (int i = 1; i <= added; ++i) {
            ui(*form).txtDate->setText(QStringLiteral("entry %1").arg(i));
            ui(*form).PushButton1->click();
        }
        offices += officeChildren();
        if (shown == QLatin1String("build")) {
            // The signal arrives while the command blocks the event loop: as
            // soon as the command has written its template copy, however
            // fast the offices are.
            const QString copy = scratch.filePath(QStringLiteral("template.xlt"));
            signaller = std::thread([signalNumber, copy, &signalSent] {
                QElapsedTimer waited;
                waited.start();
                while (!QFileInfo::exists(copy) && waited.elapsed() < 120000)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                ::kill(::getpid(), signalNumber);
                signalSent = true;
            });
            QElapsedTimer command;
            command.start();
            ui(*form).PushButton6->click();
            sentDuringTheCommand = signalSent;
            qInfo("the command returned %lld ms after its start", command.elapsed());
            return;
        }
        if (shown == QLatin1String("preview")) {
            ui(*form).PushButton6->click();
            offices += officeChildren();
            Form2 *preview = findWindow<Form2>();
            QVERIFY(preview);
            previewShown = preview->isVisible();
            scratchWorkbook = preview->mExcelFile;
            QVERIFY(QFileInfo::exists(scratchWorkbook));
        }
        ::kill(::getpid(), signalNumber);
    });
    QTimer guard;
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(3); });
    guard.start(240000);

    Form1::Services services;
    services.dialogs = &m_dialogs;
    const int code = runQuorbel(*qApp, services);
    if (signaller.joinable())
        signaller.join();

    QCOMPARE(code, 0);
    QVERIFY2(m_dialogs.boxes.isEmpty(), qPrintable(m_dialogs.boxes.value(0).text));
    QList<ListEntry> stored;
    decodeEntryList(storedValue(u"ToDo"_s), stored);
    QCOMPARE(stored.size(), 1 + added);
    QCOMPARE(stored.constLast().dueBy, QStringLiteral("entry %1").arg(added));
    QVERIFY(!offices.isEmpty());
    QCOMPARE(officeChildren(), QSet<qint64>());
    for (const qint64 pid : std::as_const(offices))
        QVERIFY(!processExists(pid));
    QCOMPARE(QDir(instancesFolder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    QCOMPARE(ownOfficePipes(), QStringList());
    QCOMPARE(scratch.entryList({QStringLiteral("vantyk*"), QStringLiteral("template.xlt"), QStringLiteral("temp.bmp")},
                               QDir::AllEntries),
             QStringList());
    if (shown == QLatin1String("build"))
        QVERIFY(sentDuringTheCommand);
    if (shown == QLatin1String("preview")) {
        QVERIFY(previewShown);
        QVERIFY(!QFileInfo::exists(scratchWorkbook));
    }
}

void TestProgramEnd::signalDuringTheStartUpEndsTheProgram()
{
    storeValue(u"ToDo"_s, u"|kept^as^stored|"_s);
    Form1::Services services;
    services.dialogs = &m_dialogs;
    // The last step of the start-up: the signal waits until it is over.
    services.isInstalled = [] {
        ::kill(::getpid(), SIGTERM);
        return true;
    };
    QTimer guard;
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(3); });
    guard.start(20000);

    QCOMPARE(runQuorbel(*qApp, services), 0);
    QVERIFY(!findWindow<Form1>());
    // The closing step ran: the list is stored in its form.
    QCOMPARE(storedValue(u"ToDo"_s), QStringLiteral("kept^as^stored^"));
    QVERIFY(m_dialogs.boxes.isEmpty());
}

void TestProgramEnd::killRightAfterAListCommandKeepsIt_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("expected");
    QTest::newRow("Add") << "add" << "a^b^^|c^d^^V|new^^^";
    QTest::newRow("Delete Selected") << "delete" << "c^d^^V";
    QTest::newRow("Check Selected As Done") << "done" << "a^b^^V|c^d^^V";
    // The sample's dates follow the system clock; its texts are fixed.
    QTest::newRow("Load Sample/Example Data") << "sample" << "^Draft presenatation^In process^";
    QTest::newRow("edit in place") << "edit" << "a^b^mended^|c^d^^V";
    QTest::newRow("Move Up") << "move" << "c^d^^V|a^b^^";
    QTest::newRow("Delete Selected undone") << "undo" << "a^b^^|c^d^^V";
}

void TestProgramEnd::killRightAfterAListCommandKeepsIt()
{
    QFETCH(QString, command);
    QFETCH(QString, expected);
    storeValue(u"ToDo"_s, u"a^b^^|c^d^^V"_s);

    auto child = startChild(command);
    QCOMPARE(nextLine(*child), QStringLiteral("changed"));
    killChild(*child);

    const QString stored = storedValue(u"ToDo"_s);
    if (command == QLatin1String("sample"))
        QVERIFY2(stored.startsWith(QLatin1String("a^b^^|c^d^^V|")) && stored.endsWith(expected), qPrintable(stored));
    else
        QCOMPARE(stored, expected);

    // The next start shows that list.
    Form1::Services services;
    services.isInstalled = [] { return true; };
    services.endProgram = [] {};
    Form1 next(services);
    QCOMPARE(encodeEntryList(next.entries()), stored);
}

void TestProgramEnd::killedSettingsWriteLeavesOneWholeList()
{
    const QString lists[] = {bigList(QLatin1Char('a')), bigList(QLatin1Char('b'))};
    storeValue(u"ToDo"_s, lists[0]);
    int killedInsideAWrite = 0;
    for (int round = 0; round < 40; ++round) {
        auto writer = startChild(QStringLiteral("writer"));
        QCOMPARE(nextLine(*writer), QStringLiteral("writing"));
        QThread::usleep(QRandomGenerator::global()->bounded(20000));
        killChild(*writer);
        // A temporary file beside the store marks a write that was cut short
        // (the lock file QSettings keeps beside it and the journal are not
        // ones).
        QStringList beside = QDir(settingsHome()).entryList({QStringLiteral("Marvesk.ini.*")}, QDir::Files);
        beside.removeAll(QStringLiteral("Marvesk.ini.lock"));
        beside.removeAll(QStringLiteral("Marvesk.ini.journal"));
        killedInsideAWrite = int(beside.size());

        const QString stored = storedValue(u"ToDo"_s);
        QVERIFY2(stored == lists[0] || stored == lists[1],
                 qPrintable(QStringLiteral("round %1: %2 characters").arg(round).arg(stored.size())));
        // A write after the kill works as ever.
        SettingsStore(settingsFilePath(), mainWindowSettingLimits()).writeOrThrow(kCompletedByKey, QString::number(round));
        QCOMPARE(storedValue(u"txtName"_s), QString::number(round));
    }
    qInfo("40 kills left %d unfinished writes beside the store", killedInsideAWrite);
}

void TestProgramEnd::abandonedInstanceFoldersGoHeldOnesStay()
{
    const QString instances = instancesFolder();
    QVERIFY(QDir().mkpath(instances));
    const auto makeInstance = [&](const QString &name, const QString &pipeName) {
        QVERIFY(QDir().mkpath(instances + QLatin1Char('/') + name + QStringLiteral("/profile/user")));
        QFile lock(instances + QLatin1Char('/') + name + QStringLiteral(".lock"));
        QVERIFY(lock.open(QIODevice::WriteOnly));
        QFile record(instances + QLatin1Char('/') + name + QStringLiteral("/pipe-name"));
        QVERIFY(record.open(QIODevice::WriteOnly));
        record.write(pipeName.toUtf8());
    };
    const QString pipe = QStringLiteral("quorbel-test-%1-abandoned").arg(::getpid());
    const QString pipePath = QStringLiteral("/tmp/OSL_PIPE_%1_%2").arg(::getuid()).arg(pipe);
    makeInstance(QStringLiteral("1-abandoned"), pipe);
    QFile pipeFile(pipePath);
    QVERIFY(pipeFile.open(QIODevice::WriteOnly));
    pipeFile.close();
    makeInstance(QStringLiteral("2-held"), QString());
    const int held = ::open(QFile::encodeName(instances + QStringLiteral("/2-held.lock")).constData(), O_RDWR);
    QVERIFY(held >= 0);
    QCOMPARE(::flock(held, LOCK_EX | LOCK_NB), 0);

    {
        // The start-up's availability check starts the first office.
        Form1::Services services;
        services.dialogs = &m_dialogs;
        Program program(services);
        QVERIFY(program.mainWindow().startUpCompleted());
        QVERIFY(m_dialogs.boxes.isEmpty());
        QVERIFY(!QFileInfo::exists(instances + QStringLiteral("/1-abandoned")));
        QVERIFY(!QFileInfo::exists(instances + QStringLiteral("/1-abandoned.lock")));
        QVERIFY(!QFileInfo::exists(pipePath));
        QVERIFY(QFileInfo::exists(instances + QStringLiteral("/2-held/profile/user")));
        QVERIFY(QFileInfo::exists(instances + QStringLiteral("/2-held.lock")));
    }
    ::close(held);
    QDir(instances + QStringLiteral("/2-held")).removeRecursively();
    QFile::remove(instances + QStringLiteral("/2-held.lock"));
    QCOMPARE(QDir(instances).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

void TestProgramEnd::secondStartShowsTheFirstAndEnds()
{
    QTemporaryDir standIn;
    QVERIFY(standIn.isValid());
    // An office that only notes that it was started.
    const QString office = standIn.filePath(QStringLiteral("soffice.bin"));
    const QString startLog = standIn.filePath(QStringLiteral("starts"));
    {
        QFile script(office);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("#!/bin/sh\necho started >> '%1'\nexit 1\n").arg(startLog).toUtf8());
    }
    QVERIFY(QFile::setPermissions(office, QFileDevice::ReadOwner | QFileDevice::ExeOwner));

    for (int run = 0; run < 2; ++run) {
        auto first = startChild(QStringLiteral("first"));
        QCOMPARE(nextLine(*first), QStringLiteral("ready"));

        QProcess second;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), settingsHome());
        environment.insert(QStringLiteral("QUORBEL_SOFFICE"), office);
        second.setProcessEnvironment(environment);
        second.setProcessChannelMode(QProcess::ForwardedChannels);
        second.start(QStringLiteral(QUORBEL_PROGRAM), {});
        QVERIFY(second.waitForFinished(30000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(!QFileInfo::exists(startLog));
        QCOMPARE(nextLine(*first), QStringLiteral("activated"));
        QCOMPARE(first->state(), QProcess::Running);

        // A killed first program does not block the next start.
        killChild(*first);
    }
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QString mode = qEnvironmentVariable(kChildMode);
    if (!mode.isEmpty())
        return childMain(app, mode);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestProgramEnd test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_program_end.moc"
