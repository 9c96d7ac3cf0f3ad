// The program's composition: start, the end after a failed availability
// check, and what the preview window asks of the main window.

#include "Form2.h"
#include "MainWindowHost.h"
#include "Program.h"
#include "RunQuorbel.h"
#include "ScriptedDialogs.h"
#include "editor_test_support.h"

#include <QApplication>
#include <QCheckBox>
#include <QPointer>
#include <QTimer>
#include <QTreeView>
#include <QtTest>

using namespace quorbel;
using namespace Qt::Literals::StringLiterals;
using quorbel::test::ScriptedDialogs;
using quorbel::test::WindowFixture;
using quorbel::test::clearStore;
using quorbel::test::storedValue;
using quorbel::test::storeValue;
using quorbel::test::ui;

namespace {

// Records every main window that is shown.
class ShowRecorder : public QObject {
public:
    ShowRecorder() { qApp->installEventFilter(this); }
    ~ShowRecorder() override { qApp->removeEventFilter(this); }
    int shown = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && qobject_cast<Form1 *>(watched))
            ++shown;
        return false;
    }
};

Form1 *findMainWindow()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *form = dynamic_cast<Form1 *>(widget))
            return form;
    }
    return nullptr;
}

} // namespace

class TestProgram : public QObject {
    Q_OBJECT

private slots:
    void init();

    void unavailableSpreadsheetEndsWithoutTheWindow();
    void programShowsTheWindowAndEndsWhenItCloses();
    void hostShowsTheMainWindowAgain();
    void hostStoresTheListAndEndsWithoutTheClosingStep();
    void previewWindowIsLoadedOnFirstUse();
    void backFromThePreviewShowsTheMainWindow();
    void closingThePreviewStoresTheListOnce();

private:
    ScriptedDialogs m_dialogs;
    WindowFixture m_fixture;
};

void TestProgram::init()
{
    m_fixture.freshStart(m_dialogs);
}

void TestProgram::unavailableSpreadsheetEndsWithoutTheWindow()
{
    // Read back as one entry; the closing step would store it as "a^b^^".
    storeValue(u"ToDo"_s, u"|a^b|"_s);
    m_fixture.available = false;
    Form1::Services services = m_fixture.services();
    services.endProgram = {}; // the real end of the program

    ShowRecorder shows;
    const int code = runQuorbel(*qApp, services);

    QCOMPARE(code, 0);
    QCOMPARE(m_fixture.availabilityChecks, 1);
    QCOMPARE(shows.shown, 0);
    QCOMPARE(storedValue(u"ToDo"_s), QStringLiteral("|a^b|"));
    QVERIFY(!findMainWindow());
}

void TestProgram::programShowsTheWindowAndEndsWhenItCloses()
{
    storeValue(u"ToDo"_s, u"|a^b|"_s);
    Form1::Services services = m_fixture.services();
    services.endProgram = {}; // the real end of the program: the event loop ends

    ShowRecorder shows;
    bool wasVisible = false;
    QTimer::singleShot(0, [&] {
        Form1 *form = findMainWindow();
        QVERIFY(form);
        wasVisible = form->isVisible();
        ui(*form).txtDate->setText(u"added"_s);
        form->PushButton1_Click();
        form->close();
    });
    // A second timer ends a loop that would otherwise hang the test.
    QTimer guard;
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(3); });
    guard.start(20000);

    const int code = runQuorbel(*qApp, services);

    QCOMPARE(code, 0);
    QVERIFY(wasVisible);
    QCOMPARE(shows.shown, 1);
    QCOMPARE(storedValue(u"ToDo"_s), QStringLiteral("a^b^^|added^^^"));
}

void TestProgram::hostShowsTheMainWindowAgain()
{
    auto window = m_fixture.makeWindow();
    MainWindowHost host(*window);
    Form2Host &asPreviewSeesIt = host;

    ui(*window).txtName->setText(u"kept"_s);
    window->show();
    window->hide(); // the template command hides it while the preview is up
    asPreviewSeesIt.showMainWindow();
    QVERIFY(window->isVisible());
    QCOMPARE(ui(*window).txtName->text(), QStringLiteral("kept"));
    QCOMPARE(m_fixture.programEnds, 0);
}

void TestProgram::hostStoresTheListAndEndsWithoutTheClosingStep()
{
    auto window = m_fixture.makeWindow();
    MainWindowHost host(*window);
    window->show();
    ui(*window).txtDate->setText(u"a|b"_s);
    ui(*window).Check1->setChecked(true);
    window->PushButton1_Click();

    host.storeListBeforeExit();
    QCOMPARE(storedValue(u"ToDo"_s), QStringLiteral("a\uE07Cb^^^V"));

    host.endProgram();
    QCOMPARE(m_fixture.programEnds, 1);

    // The main window going away afterwards stores nothing and ends nothing more.
    window->PushButton2_Click();
    QCOMPARE(ui(*window).ListView1->model()->rowCount(), 0);
    window->close();
    QCOMPARE(storedValue(u"ToDo"_s), QStringLiteral("a\uE07Cb^^^V"));
    QCOMPARE(m_fixture.programEnds, 1);
    QVERIFY(m_dialogs.boxes.isEmpty());
}

void TestProgram::previewWindowIsLoadedOnFirstUse()
{
    Program program(m_fixture.services());
    QVERIFY(program.mainWindow().startUpCompleted());
    QVERIFY(!program.previewWindowLoaded());
    Form2 &preview = program.previewWindow();
    QVERIFY(program.previewWindowLoaded());
    QCOMPARE(&program.previewWindow(), &preview);
    QVERIFY(!preview.isVisible());
    QVERIFY(!program.mainWindow().isVisible());
}

void TestProgram::backFromThePreviewShowsTheMainWindow()
{
    Program program(m_fixture.services());
    Form1 &main = program.mainWindow();
    ui(main).txtProj->setText(u"kept while hidden"_s);
    main.show();
    Form2 &preview = program.previewWindow();
    preview.show();
    main.hide();

    preview.PushButton8_Click(); // "< Back"
    QVERIFY(main.isVisible());
    QVERIFY(!preview.isVisible());
    QCOMPARE(ui(main).txtProj->text(), QStringLiteral("kept while hidden"));
    QCOMPARE(m_fixture.programEnds, 0);
    QVERIFY(m_dialogs.errorTexts().isEmpty());
}

void TestProgram::closingThePreviewStoresTheListOnce()
{
    storeValue(u"ToDo"_s, u"old^^^"_s);
    Program program(m_fixture.services());
    Form1 &main = program.mainWindow();
    main.show();
    ui(main).txtDate->setText(u"new"_s);
    main.PushButton1_Click();
    Form2 &preview = program.previewWindow();
    preview.show();
    main.hide();

    QVERIFY(preview.close());
    QCOMPARE(storedValue(u"ToDo"_s), QStringLiteral("old^^^|new^^^"));
    QCOMPARE(m_fixture.programEnds, 1);

    // The main window's closing step does not run on this path.
    main.PushButton2_Click();
    main.close();
    QCOMPARE(storedValue(u"ToDo"_s), QStringLiteral("old^^^|new^^^"));
    QCOMPARE(m_fixture.programEnds, 1);
    QVERIFY(m_dialogs.errorTexts().isEmpty());
}

QTEST_MAIN(TestProgram)
#include "test_program.moc"
