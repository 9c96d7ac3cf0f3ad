// The program as a client of an X11 session manager (xsmp_manager, which
// this test starts with its own X server): a save request, with or without
// a logout to follow, stores the list and leaves the program running with
// its window; a cancelled logout leaves it running; Die ends it with the list
// stored and nothing left; the restart command it registers brings it back
// with the stored list.
//
// The program is this executable started again in a child mode
// (QUORBEL_TEST_CHILD), which runs runQuorbel() on the xcb platform, where
// Qt speaks the session protocol, and takes orders on its standard input.

#include "EntryList.h"
#include "Form1.h"
#include "Form2.h"
#include "OfficeChildren.h"
#include "Program.h"
#include "RunQuorbel.h"
#include "TestHome.h"
#include "editor_test_support.h"

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <QtTest>

#include <csignal>
#include <cstdio>
#include <unistd.h>

using namespace quorbel;
using namespace Qt::Literals::StringLiterals;
using namespace quorbel::test;
using quorbel::test::ui;

namespace {

void say(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

// --- The child: the program, ordered about on its standard input -------------

// "add TEXT": a new entry through the window's Add; "build": Start Creating
// Template; "state": what shows. Each answers with one line.
void childOrder(const QString &order)
{
    Form1 *main = findWindow<Form1>();
    if (!main) {
        say(u"no window"_s);
        return;
    }
    if (order.startsWith(QLatin1String("add "))) {
        ui(*main).txtDate->setText(order.mid(4));
        ui(*main).PushButton1->click();
        say(u"added %1"_s.arg(ui(*main).ListView1->model()->rowCount()));
    } else if (order == QLatin1String("build")) {
        ui(*main).PushButton6->click();
        say(u"built"_s);
    } else if (order == QLatin1String("state")) {
        Form2 *preview = findWindow<Form2>();
        const bool previewShown = preview && preview->isVisible();
        say(u"main=%1 preview=%2 workbook=%3 modal=%4 offices=%5"_s.arg(int(main->isVisible()))
                .arg(int(previewShown))
                .arg(int(preview && QFileInfo::exists(preview->mExcelFile)))
                .arg(int(QApplication::activeModalWidget() != nullptr))
                .arg(officeChildren().size()));
    }
}

int childMain(QApplication &app)
{
    // The parent's store; the folder made for this process is not used.
    QDir(settingsHome()).removeRecursively();
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, qEnvironmentVariable(kChildSettings));

    QSocketNotifier orders(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&orders, &QSocketNotifier::activated, [&] {
        char buffer[512];
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0) {
            orders.setEnabled(false);
            return;
        }
        pending.append(buffer, got);
        qsizetype end;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QString order = QString::fromUtf8(pending.left(end));
            pending.remove(0, end + 1);
            childOrder(order);
        }
    });
    QTimer::singleShot(0, [] {
        Form1 *main = findWindow<Form1>();
        say(u"ready entries=%1 session=%2"_s.arg(main ? ui(*main).ListView1->model()->rowCount() : -1)
                .arg(int(qApp->isSessionRestored())));
    });
    return runQuorbel(app, Form1::Services {});
}

// --- The parent -------------------------------------------------------------------

// Waits for the next line a process writes; empty when it ends or is silent.
QString nextLine(QProcess &process, int ms = 60000)
{
    QDeadlineTimer deadline(ms);
    while (!process.canReadLine() && !deadline.hasExpired()) {
        if (!process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
            break;
    }
    return process.canReadLine() ? QString::fromUtf8(process.readLine()).trimmed() : QString();
}

// The next line that starts with `start`, passing over the others.
QString lineStarting(QProcess &process, const QString &start, int ms = 60000)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        const QString line = nextLine(process, int(qMax<qint64>(1, deadline.remainingTime())));
        if (line.isNull() || line.startsWith(start))
            return line;
    }
    return {};
}

QString ask(QProcess &child, const QString &order, int ms = 60000)
{
    child.write(order.toUtf8() + '\n');
    return nextLine(child, ms);
}

// SIGTERM, which ends the program cleanly (its offices with it), and
// SIGKILL if it has not ended within a minute.
void endProcess(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    ::kill(pid_t(process.processId()), SIGTERM);
    if (process.waitForFinished(60000))
        return;
    ::kill(pid_t(process.processId()), SIGKILL);
    process.waitForFinished(10000);
}

QString instancesFolder()
{
    return qEnvironmentVariable("XDG_CACHE_HOME") + QStringLiteral("/quorbel/instances");
}

} // namespace

class TestSession : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void sessionMessages_data();
    void sessionMessages();

private:
    std::unique_ptr<QProcess> startChild(const QStringList &arguments = {});

    QProcess m_display;
    QString m_displayName;
    QProcess m_manager;
    QString m_sessionManager;
    std::unique_ptr<QProcess> m_child;
    QTemporaryDir m_noBus;
};

void TestSession::initTestCase()
{
    // An X server of the test's own; it names its display when ready.
    m_display.start(QStringLiteral(QUORBEL_XVFB), {u"-displayfd"_s, u"1"_s, u"-nolisten"_s, u"tcp"_s, u"-screen"_s,
                                             u"0"_s, u"1024x768x24"_s});
    const QString number = nextLine(m_display, 30000);
    QVERIFY2(!number.isEmpty(), "Xvfb did not start");
    m_displayName = QLatin1Char(':') + number;
}

void TestSession::cleanupTestCase()
{
    m_display.terminate();
    if (!m_display.waitForFinished(10000))
        endProcess(m_display);
}

void TestSession::init()
{
    QLocale::setDefault(QLocale::c());
    clearStore();
    m_manager.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_manager.start(QStringLiteral(QUORBEL_XSMP_MANAGER), {});
    const QString listening = nextLine(m_manager, 10000);
    QVERIFY2(listening.startsWith(QLatin1String("listening ")), qPrintable(listening));
    m_sessionManager = listening.mid(10);
}

void TestSession::cleanup()
{
    if (m_child)
        endProcess(*m_child);
    m_child.reset();
    m_manager.closeWriteChannel();
    if (!m_manager.waitForFinished(10000))
        endProcess(m_manager);
}

std::unique_ptr<QProcess> TestSession::startChild(const QStringList &arguments)
{
    auto child = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QLatin1String(kChildMode), u"program"_s);
    environment.insert(QLatin1String(kChildSettings), settingsHome());
    environment.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
    environment.insert(u"DISPLAY"_s, m_displayName);
    environment.insert(u"SESSION_MANAGER"_s, m_sessionManager);
    // No session bus: Qt would start one that outlives the program.
    environment.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, u"unix:path="_s + m_noBus.filePath(u"none"_s));
    child->setProcessEnvironment(environment);
    child->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child->start(QCoreApplication::applicationFilePath(), arguments);
    return child;
}

void TestSession::sessionMessages_data()
{
    // What the manager sends, in order; whether the program ends at the
    // last; whether it builds first, so that the preview shows.
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("ends");
    QTest::addColumn<bool>("preview");

    QTest::newRow("logout: save with shutdown, then Die") << QStringList {u"save-shutdown"_s, u"die"_s} << true << false;
    QTest::newRow("cancelled logout") << QStringList {u"save-shutdown"_s, u"cancel"_s} << false << false;
    QTest::newRow("checkpoint: save without shutdown") << QStringList {u"save"_s} << false << false;
    QTest::newRow("local save") << QStringList {u"save-local"_s} << false << false;
    QTest::newRow("Die alone") << QStringList {u"die"_s} << true << false;
    QTest::newRow("cancelled logout, preview showing") << QStringList {u"save-shutdown"_s, u"cancel"_s} << false
                                                        << true;
}

void TestSession::sessionMessages()
{
    QFETCH(QStringList, messages);
    QFETCH(bool, ends);
    QFETCH(bool, preview);
    storeValue(u"ToDo"_s, u"restored^^^"_s);
    const QString list = u"restored^^^|added^^^"_s;
    const QDir scratch(qEnvironmentVariable("TEMP"));

    m_child = startChild();
    QProcess &child = *m_child;
    QCOMPARE(lineStarting(child, u"ready"_s), u"ready entries=1 session=0"_s);
    const QString registered = nextLine(m_manager);
    QVERIFY2(registered.startsWith(QLatin1String("registered ")), qPrintable(registered));
    QCOMPARE(ask(child, u"add added"_s), u"added 2"_s);
    if (preview) {
        QCOMPARE(ask(child, u"build"_s, 300000), u"built"_s);
        QCOMPARE(ask(child, u"state"_s), u"main=0 preview=1 workbook=1 modal=0 offices=0"_s);
    }
    // The list was written at the change; what the save request writes
    // shows over a stale store.
    storeValue(u"ToDo"_s, u"stale^^^"_s);
    storeValue(u"txtName"_s, u"stale"_s);

    QStringList restart;
    for (const QString &message : std::as_const(messages)) {
        m_manager.write(message.toUtf8() + '\n');
        QVERIFY(m_manager.waitForBytesWritten(10000));
        if (message.startsWith(QLatin1String("save"))) {
            // The program's own properties come before its answer.
            for (;;) {
                const QString line = nextLine(m_manager);
                QVERIFY2(!line.isEmpty(), "no answer to the save request");
                if (line.startsWith(QLatin1String("property RestartCommand ")))
                    restart = line.mid(24).split(QLatin1Char(' '));
                if (line.startsWith(QLatin1String("save-done"))) {
                    QCOMPARE(line, u"save-done 1"_s);
                    break;
                }
            }
            QCOMPARE(storedValue(u"ToDo"_s), list);
            QCOMPARE(storedValue(u"txtName"_s), QString());
        }
    }

    if (ends) {
        QVERIFY(child.waitForFinished(120000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
        QCOMPARE(nextLine(m_manager), u"connection-closed"_s);
        QCOMPARE(storedValue(u"ToDo"_s), list);
        QCOMPARE(QDir(instancesFolder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
        QCOMPARE(QDir(u"/tmp"_s).entryList({u"OSL_PIPE_%1_quorbel-%2-*"_s.arg(::getuid()).arg(child.processId())},
                                           QDir::System),
                 QStringList());
        QCOMPARE(scratch.entryList({u"vantyk*"_s, u"template.xlt"_s, u"temp.bmp"_s}, QDir::AllEntries),
                 QStringList());
        if (!restart.isEmpty()) {
            // The restart at the next login: the program with the stored list.
            QCOMPARE(restart.size(), 3);
            QCOMPARE(restart.at(1), u"-session"_s);
            m_child = startChild(restart.mid(1));
            QCOMPARE(lineStarting(*m_child, u"ready"_s), u"ready entries=2 session=1"_s);
        }
        return;
    }

    // Still running, its shown window usable, offices kept ahead of need
    // while the main window shows.
    QCOMPARE(child.state(), QProcess::Running);
    if (preview) {
        QCOMPARE(ask(child, u"state"_s), u"main=0 preview=1 workbook=1 modal=0 offices=0"_s);
        return;
    }
    QCOMPARE(ask(child, u"add again"_s), u"added 3"_s);
    QCOMPARE(storedValue(u"ToDo"_s), list + u"|again^^^"_s);
    const QString state = ask(child, u"state"_s);
    QVERIFY2(state.startsWith(QLatin1String("main=1 preview=0 workbook=0 modal=0 offices=")), qPrintable(state));
    QVERIFY2(state.mid(state.lastIndexOf(QLatin1Char('=')) + 1).toInt() >= 1, qPrintable(state));
}

int main(int argc, char *argv[])
{
    if (!qEnvironmentVariableIsEmpty(kChildMode)) {
        QApplication app(argc, argv);
        return childMain(app);
    }
    QApplication app(argc, argv);
    TestSession test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_session.moc"
