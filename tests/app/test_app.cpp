#include "DateText.h"
#include "ErrorReport.h"
#include "Failure.h"
#include "FileProcs.h"
#include "ProcStat.h"
#include "TestFiles.h"
#include "TestFolders.h"
#include "ScratchFolder.h"
#include "ScriptedDialogs.h"
#include "TestHome.h"
#include "Title.h"
#include "WidgetDialogs.h"
#include "WindowLook.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QTreeView>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QStyle>
#include <QStyleFactory>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>


#include <sys/stat.h>
#include <unistd.h>

using namespace quorbel;
using namespace Qt::Literals::StringLiterals;
using quorbel::test::ScriptedDialogs;

using quorbel::test::readAll;
using quorbel::test::writeFile;

namespace {

// A 2x2 cursor file with the given hotspot: ICONDIR, one entry, a 32-bit
// BMP-style image with an AND mask.
QByteArray makeCursorFile(quint16 hotX, quint16 hotY)
{
    QByteArray bytes;
    auto put16 = [&](quint16 v) { char b[2]; qToLittleEndian(v, b); bytes.append(b, 2); };
    auto put32 = [&](quint32 v) { char b[4]; qToLittleEndian(v, b); bytes.append(b, 4); };
    const int width = 2, height = 2;
    const quint32 imageSize = 40 + width * height * 4 + height * 4;
    put16(0); put16(2); put16(1);
    bytes.append(char(width)); bytes.append(char(height)); bytes.append(char(0)); bytes.append(char(0));
    put16(hotX); put16(hotY); put32(imageSize); put32(22);
    put32(40); put32(width); put32(height * 2); put16(1); put16(32); put32(0); put32(0);
    put32(0); put32(0); put32(0); put32(0);
    for (int i = 0; i < width * height; ++i)
        put32(0xFF102030);
    for (int i = 0; i < height; ++i)
        put32(0);
    return bytes;
}

// The rows of `image` that hold ink (pixels unlike the top-left one),
// grouped into bands of touching rows: one band per drawn line of text. A
// band that starts less than `minimumStep` rows below the start of the band
// before joins that band.
QList<QPair<int, int>> inkBands(const QImage &image, int minimumStep = 0)
{
    const QRgb background = image.pixel(0, 0);
    QList<QPair<int, int>> bands;
    int start = -1;
    for (int y = 0; y < image.height(); ++y) {
        bool ink = false;
        for (int x = 0; x < image.width() && !ink; ++x)
            ink = image.pixel(x, y) != background;
        if (ink && start < 0)
            start = y;
        if (!ink && start >= 0) {
            if (!bands.isEmpty() && start - bands.last().first < minimumStep)
                bands.last().second = y - 1;
            else
                bands.append({start, y - 1});
            start = -1;
        }
    }
    if (start >= 0) {
        if (!bands.isEmpty() && start - bands.last().first < minimumStep)
            bands.last().second = image.height() - 1;
        else
            bands.append({start, image.height() - 1});
    }
    return bands;
}

// The lines of text in `image`: a band that starts less than a line below
// the line before belongs to that line (an underscore that some fonts draw
// apart from the rest of its line).
QList<QPair<int, int>> textLines(const QImage &image, int lineSpacing)
{
    return inkBands(image, lineSpacing - 1);
}

// Leftmost and rightmost ink columns within rows `top`..`bottom`.
QPair<int, int> inkColumns(const QImage &image, int top, int bottom)
{
    const QRgb background = image.pixel(0, 0);
    int left = image.width(), right = -1;
    for (int y = top; y <= bottom; ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != background) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
    }
    return {left, right};
}

} // namespace

class TestApp : public QObject {
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(QLocale::c()); }

    // --- the error report ---
    void reportTextLayout()
    {
        const QString text = errorReportText(QStringLiteral("File not found"), QStringLiteral("Form1.Form_Load"), 104);
        QCOMPARE(text, QStringLiteral("File not found\r\nin Lintravo2021/08/31.Form1.Form_Load at line 104\r\r"
                                      "Please email screenshot of this message to support@marvesk.com"));
    }

    void reportWithEmptyDescriptionStartsWithLineBreak()
    {
        const QString text = errorReportText(QString(), QStringLiteral("Form1.PushButton3_Click"), 100);
        QVERIFY(text.startsWith(QStringLiteral("\r\nin Lintravo2021/08/31.Form1.PushButton3_Click at line 100\r\r")));
        const QStringList lines = text.split(QStringLiteral("\r\n"));
        QCOMPARE(lines.first(), QString());
    }

    void reportBox()
    {
        ScriptedDialogs dialogs;
        ReportError(dialogs, QStringLiteral("x"), QStringLiteral("Form2.RedrawImage"), 102);
        QCOMPARE(dialogs.boxes.size(), 1);
        QCOMPARE(dialogs.boxes[0].title, QStringLiteral("Application Error"));
        QCOMPARE(dialogs.boxes[0].icon, BoxIcon::Exclamation);
        QCOMPARE(dialogs.boxes[0].buttons, BoxButtons::Ok);
    }

    void stepsReportEachFailureAndGoOn()
    {
        ScriptedDialogs dialogs;
        QStringList ran;
        Steps steps(dialogs, QStringLiteral("Form1.PushButton1_Click"));
        steps(100, [&] { ran << u"100"_s; });
        steps(102, [&] { throw Failure(QStringLiteral("first")); });
        steps(104, [&] { ran << u"104"_s; });
        steps(106, [&] { throw std::runtime_error("second"); });
        steps(108, [&] { throw 42; });
        steps(110, [&] { ran << u"110"_s; });
        QCOMPARE(ran, (QStringList{u"100"_s, u"104"_s, u"110"_s}));
        const QStringList errors = dialogs.errorTexts();
        QCOMPARE(errors.size(), 3);
        QVERIFY(errors[0].startsWith(QStringLiteral("first\r\nin Lintravo2021/08/31.Form1.PushButton1_Click at line 102\r\r")));
        QVERIFY(errors[1].startsWith(QStringLiteral("second\r\n")));
        QVERIFY(errors[1].contains(QStringLiteral("at line 106\r\r")));
        QVERIFY(errors[2].startsWith(QStringLiteral("\r\nin ")));
        QVERIFY(errors[2].contains(QStringLiteral("at line 108\r\r")));
        QCOMPARE(steps.failures(), 3);
    }

    void statementsOfOneStepCarryOnAfterAFailure()
    {
        // A step may hold several statements: each runs under the step's
        // number, and a failing one does not skip the others.
        ScriptedDialogs dialogs;
        QStringList ran;
        Steps steps(dialogs, QStringLiteral("Form1.Form_Load"));
        steps(102, [&] { throw Failure(QStringLiteral("no caption")); });
        steps(102, [&] { ran << u"icon"_s; });
        steps(104, [&] { ran << u"title"_s; });
        steps(106, [&] { ran << u"pointer"_s; });
        steps(106, [&] { throw Failure(QStringLiteral("no pointer")); });
        steps(106, [&] { ran << u"after the pointer"_s; });
        QCOMPARE(ran, (QStringList{u"icon"_s, u"title"_s, u"pointer"_s, u"after the pointer"_s}));
        const QStringList errors = dialogs.errorTexts();
        QCOMPARE(errors.size(), 2);
        QVERIFY(errors[0].startsWith(QStringLiteral("no caption\r\nin Lintravo2021/08/31.Form1.Form_Load at line 102\r\r")));
        QVERIFY(errors[1].startsWith(QStringLiteral("no pointer\r\nin Lintravo2021/08/31.Form1.Form_Load at line 106\r\r")));
    }

    void failedTestGoesIntoTheBranch()
    {
        ScriptedDialogs dialogs;
        Steps steps(dialogs, QStringLiteral("Form1.PushButton5_Click"));
        QVERIFY(steps.test(102, [] () -> bool { throw Failure(QStringLiteral("no row")); }));
        QVERIFY(!steps.test(104, [] { return false; }));
        QCOMPARE(dialogs.errorTexts().size(), 1);
    }

    void stepsFollowTheirFailurePolicy()
    {
        // The policy's failures stop the procedure unreported, kept for the
        // caller, and skip what follows; a closing step drops them; an
        // essential step stops on any failure; a report is shown once for
        // the runs that share the shown reports.
        ScriptedDialogs dialogs;
        QSet<QString> shown;
        const StepPolicy policy {[](const Failure &failure) { return failure.description().startsWith(u"lost"_s); },
                                 &shown};
        QStringList ran;
        {
            Steps steps(dialogs, QStringLiteral("Form1.PushButton6_Click"), policy);
            steps(100, [&] { throw Failure(QStringLiteral("plain")); });
            QVERIFY(steps.closing(102, [&] { ran << u"102"_s; }));
            QVERIFY(!steps.closing(102, [&] { throw Failure(QStringLiteral("lost while closing")); }));
            QVERIFY(!steps.stopped());
            QVERIFY(!steps(104, [&] { throw Failure(QStringLiteral("lost at 104")); }));
            QVERIFY(!steps(106, [&] { ran << u"106"_s; }));
            QVERIFY(!steps.test(108, [] { return true; }));
            QVERIFY(steps.stopped());
            QCOMPARE(steps.stop().step, 104);
            QCOMPARE(steps.stop().description, QStringLiteral("lost at 104"));
            steps.clearStop();
            QVERIFY(steps(110, [&] { ran << u"110"_s; }));
            steps.essential(112, [&] { throw std::runtime_error("no file"); });
            QVERIFY(steps.stopped());
            QCOMPARE(steps.stop().step, 112);
            QCOMPARE(steps.stop().description, QStringLiteral("no file"));
            // Kept whole, of its own kind, to be thrown on.
            QVERIFY_THROWS_EXCEPTION(std::runtime_error, steps.stop().rethrow());
        }
        Steps again(dialogs, QStringLiteral("Form1.PushButton6_Click"), policy);
        again(100, [&] { throw Failure(QStringLiteral("plain")); });
        again(102, [&] { throw Failure(QStringLiteral("plain")); });
        QCOMPARE(ran, (QStringList{u"102"_s, u"110"_s}));
        const QStringList errors = dialogs.errorTexts();
        QCOMPARE(errors.size(), 2);
        QVERIFY(errors[0].startsWith(QStringLiteral("plain\r\nin Lintravo2021/08/31.Form1.PushButton6_Click at line 100\r\r")));
        QVERIFY(errors[1].startsWith(QStringLiteral("plain\r\nin Lintravo2021/08/31.Form1.PushButton6_Click at line 102\r\r")));

        // A cancel, thrown by a step (even a closing one) or found in the
        // token before one, stops the procedure unreported.
        CancellationToken cancel;
        Steps cancelled(dialogs, QStringLiteral("Form1.PushButton6_Click"), policy);
        cancelled.stopWhenCancelled(&cancel);
        QVERIFY(!cancelled.closing(100, [] { throw Cancelled(); }));
        QVERIFY(cancelled.stopped() && cancelled.stop().cancelled);
        QCOMPARE(cancelled.stop().step, 100);
        cancelled.clearStop();
        cancel.cancel();
        QVERIFY(!cancelled(102, [&] { ran << u"cancelled"_s; }));
        QCOMPARE(cancelled.stop().step, 102);
        QVERIFY_THROWS_EXCEPTION(Cancelled, cancelled.stop().rethrow());
        QCOMPARE(ran.size(), 2);
        QCOMPARE(dialogs.errorTexts().size(), 2);

        // One command's token: its own cancel stays its own; its parent's
        // (the program's end, delivered by the parent's poll) stops it too.
        CancellationToken ending;
        CancellationToken command = ending.child();
        QStringList polls;
        command.setPoll([&] { polls << u"command"_s; });
        ending.setPoll([&] {
            polls << u"ending"_s;
            if (polls.size() > 2)
                ending.cancel();
        });
        QVERIFY(!command.isCancelled());
        QVERIFY(command.isCancelled());
        QCOMPARE(polls, (QStringList{u"command"_s, u"ending"_s, u"command"_s, u"ending"_s}));
        QVERIFY(command.isCancelled());
        QCOMPARE(polls.size(), 4);
        QVERIFY(ending.child().child().cancelledAlready());
        CancellationToken running;
        CancellationToken stopped = running.child();
        stopped.cancel();
        QVERIFY(stopped.cancelledAlready() && !running.isCancelled());
    }

    void procStatLinesParse_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("parses");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<char>("state");
        QTest::addColumn<qint64>("parent");
        QTest::addColumn<quint64>("ticks");  // user + system
        const QByteArray tail = " 0 0 0 0 0 0 0 0 0 7 5 0 0 20 0 1 0 99 0 0\n";
        QTest::newRow("office") << QByteArray("42 (soffice.bin) S 7" + tail) << true << QByteArray("soffice.bin") << 'S' << qint64(7) << quint64(12);
        QTest::newRow("name with blanks and parentheses")
            << QByteArray("42 (a) Z (b) ) T 1" + tail) << true << QByteArray("a) Z (b) ") << 'T' << qint64(1) << quint64(12);
        QTest::newRow("no newline") << QByteArray("42 (x) t 1" + tail.chopped(1)) << true << QByteArray("x") << 't' << qint64(1) << quint64(12);
        QTest::newRow("empty") << QByteArray() << false << QByteArray() << char(0) << qint64(0) << quint64(0);
        QTest::newRow("cut short") << QByteArray("42 (x) S 1 0 0 0 0 0 0 0 0 0 7") << false << QByteArray() << char(0) << qint64(0) << quint64(0);
        QTest::newRow("no closing parenthesis") << QByteArray("42 (x S 1" + tail) << false << QByteArray() << char(0) << qint64(0) << quint64(0);
        QTest::newRow("pid not a number") << QByteArray("4x (x) S 1" + tail) << false << QByteArray() << char(0) << qint64(0) << quint64(0);
        QTest::newRow("state not a letter") << QByteArray(QByteArray("42 (x) ") + '\0' + " 1" + tail) << false << QByteArray()
                                            << char(0) << qint64(0) << quint64(0);
        QTest::newRow("parent not a number") << QByteArray("42 (x) S -" + tail) << false << QByteArray() << char(0) << qint64(0) << quint64(0);
        QTest::newRow("ticks too large") << QByteArray("42 (x) S 1 0 0 0 0 0 0 0 0 0 99999999999999999999 5 0 0 20 0 1 0 99\n")
                                         << false << QByteArray() << char(0) << qint64(0) << quint64(0);
        QTest::newRow("too long") << QByteArray("42 (x) S 1" + tail + QByteArray(kProcStatMaxBytes, ' '))
                                  << false << QByteArray() << char(0) << qint64(0) << quint64(0);
    }

    void procStatLinesParse()
    {
        QFETCH(QByteArray, line);
        QFETCH(bool, parses);
        const auto stat = parseProcStat(line);
        QCOMPARE(stat.has_value(), parses);
        if (!stat)
            return;
        QFETCH(QByteArray, name);
        QFETCH(char, state);
        QFETCH(qint64, parent);
        QFETCH(quint64, ticks);
        QCOMPARE(stat->pid, qint64(42));
        QCOMPARE(stat->name, name);
        QCOMPARE(stat->state, state);
        QCOMPARE(stat->parentPid, parent);
        QCOMPARE(stat->userTicks + stat->systemTicks, ticks);
        QCOMPARE(stat->startTicks, quint64(99));
    }

    void procStatOfThisProcess()
    {
        const auto stat = readProcStat(::getpid());
        QVERIFY(stat.has_value());
        QCOMPARE(stat->pid, qint64(::getpid()));
        QCOMPARE(stat->parentPid, qint64(::getppid()));
        QCOMPARE(stat->state, 'R');
        QVERIFY(!readProcStat(0));
    }

    // --- the real message box ---
    void initTestCase() { m_desktopStyle = QApplication::style()->name(); }

    void boxDisplayTextBreaksLines_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("no breaks") << QStringLiteral("one line") << QStringLiteral("one line");
        QTest::newRow("carriage return and line feed") << QStringLiteral("a\r\nb") << QStringLiteral("a\nb");
        QTest::newRow("bare carriage returns") << QStringLiteral("a\r\rb") << QStringLiteral("a\n\nb");
        QTest::newRow("line feed alone") << QStringLiteral("a\nb") << QStringLiteral("a\nb");
        QTest::newRow("line feed then carriage return") << QStringLiteral("a\n\rb") << QStringLiteral("a\n\nb");
        QTest::newRow("at both ends") << QStringLiteral("\r\nx\r") << QStringLiteral("\nx\n");
        QTest::newRow("markup untouched") << QStringLiteral("<b>x</b>&amp;") << QStringLiteral("<b>x</b>&amp;");
    }

    void boxDisplayTextBreaksLines()
    {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QCOMPARE(boxDisplayText(text), shown);
    }

    void messageBoxShowsPlainTextOnItsLines_data()
    {
        QTest::addColumn<QString>("style");
        QTest::newRow("Fusion") << QStringLiteral("Fusion");
        QTest::newRow("Windows") << QStringLiteral("Windows");
        QTest::newRow("the desktop's own") << m_desktopStyle;
    }

    void messageBoxShowsPlainTextOnItsLines()
    {
        QFETCH(QString, style);
        QVERIFY2(QStyleFactory::keys().contains(style, Qt::CaseInsensitive), qPrintable(style));
        QApplication::setStyle(style);
        const auto restoreStyle = qScopeGuard([this] { QApplication::setStyle(m_desktopStyle); });

        Box box;
        box.title = QStringLiteral("Application Error");
        box.text = errorReportText(QStringLiteral("<b>x</b>"), QStringLiteral("Form1.Form_Load"), 110);
        box.icon = BoxIcon::Exclamation;
        const std::unique_ptr<QMessageBox> message = makeMessageBox(box, nullptr);
        QCOMPARE(message->windowTitle(), QStringLiteral("Application Error"));
        QCOMPARE(message->icon(), QMessageBox::Warning);
        QCOMPARE(message->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(message->textFormat(), Qt::PlainText);

        auto *label = message->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
        QVERIFY(label);
        QCOMPARE(label->textFormat(), Qt::PlainText);
        QCOMPARE(label->text().split(QLatin1Char('\n')),
                 (QStringList{u"<b>x</b>"_s, u"in Lintravo2021/08/31.Form1.Form_Load at line 110"_s, u""_s,
                              u"Please email screenshot of this message to support@marvesk.com"_s}));

        message->show();
        QVERIFY(QTest::qWaitForWindowExposed(message.get()));
        const QImage shot = label->grab().toImage();
        // The description, the location line, one empty line, the support
        // sentence: the screen is wide enough for each line, so none wraps.
        const int lineSpacing = label->fontMetrics().lineSpacing();
        const QList<QPair<int, int>> bands = textLines(shot, lineSpacing);
        QVERIFY2(bands.size() == 3, qPrintable(QString::number(bands.size())));
        const auto step = [&](int i) { return bands.at(i).first - bands.at(i - 1).first; };
        QVERIFY2(step(1) >= lineSpacing - 1 && step(1) < 2 * lineSpacing - 1,
                 qPrintable(QStringLiteral("%1 %2").arg(step(1)).arg(lineSpacing)));
        QVERIFY2(step(2) >= 2 * lineSpacing - 1 && step(2) < 3 * lineSpacing - 1,
                 qPrintable(QStringLiteral("%1 %2").arg(step(2)).arg(lineSpacing)));
        for (int i = 3; i < bands.size(); ++i)
            QVERIFY2(step(i) < 2 * lineSpacing - 1, qPrintable(QStringLiteral("%1 %2").arg(step(i)).arg(lineSpacing)));
        // The markup is drawn as its characters: as wide as the literal text.
        const QPair<int, int> first = inkColumns(shot, bands.at(0).first, bands.at(0).second);
        const int literal = label->fontMetrics().horizontalAdvance(QStringLiteral("<b>x</b>"));
        QVERIFY2(first.second - first.first + 1 >= literal * 8 / 10,
                 qPrintable(QStringLiteral("%1 of %2").arg(first.second - first.first + 1).arg(literal)));
        message->hide();
    }

    // Every box is as wide as its longest line, up to the screen's width: a
    // line wraps only when it is longer than the screen.
    void boxKeepsItsLinesWhole_data()
    {
        QTest::addColumn<QString>("style");
        QTest::addColumn<double>("screens");   // the long line, in widths of the screen
        QTest::addColumn<bool>("yesNo");
        const QStringList styles{QStringLiteral("Fusion"), QStringLiteral("Windows"), m_desktopStyle};
        for (const QString &style : styles) {
            QTest::addRow("%s, a line of two thirds of the screen", qPrintable(style)) << style << 0.66 << false;
            QTest::addRow("%s, a question as long", qPrintable(style)) << style << 0.66 << true;
            QTest::addRow("%s, a line of one and a half screens", qPrintable(style)) << style << 1.5 << false;
        }
    }

    void boxKeepsItsLinesWhole()
    {
        QFETCH(QString, style);
        QFETCH(double, screens);
        QFETCH(bool, yesNo);
        QApplication::setStyle(style);
        const auto restoreStyle = qScopeGuard([this] { QApplication::setStyle(m_desktopStyle); });

        const QRect screen = QApplication::primaryScreen()->availableGeometry();
        const QFontMetrics metrics(QApplication::font("QMessageBoxLabel"));
        // A file path in the question, words in the error report.
        const QString before = yesNo ? QStringLiteral("Are you sure you wish to overwrite ") : QString();
        const QString after = yesNo ? QStringLiteral(".xls ?") : QString();
        QString line = before;
        for (int n = 1; metrics.horizontalAdvance(line + after) < screens * screen.width(); ++n)
            line += (yesNo ? QStringLiteral("/folder%1") : QStringLiteral(" word%1")).arg(n);
        line += after;
        Box box;
        box.title = QStringLiteral("Application Error");
        box.text = yesNo ? line : QStringLiteral("A short line\r\n") + line;
        box.icon = yesNo ? BoxIcon::None : BoxIcon::Exclamation;
        box.buttons = yesNo ? BoxButtons::YesNo : BoxButtons::Ok;
        const std::unique_ptr<QMessageBox> message = makeMessageBox(box, nullptr);
        message->show();
        QVERIFY(QTest::qWaitForWindowExposed(message.get()));
        QVERIFY2(message->frameGeometry().width() <= screen.width(),
                 qPrintable(QStringLiteral("%1 > %2").arg(message->frameGeometry().width()).arg(screen.width())));
        QVERIFY(screen.contains(message->frameGeometry()));

        auto *label = message->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
        QVERIFY(label);
        const QList<QPair<int, int>> bands = textLines(label->grab().toImage(), label->fontMetrics().lineSpacing());
        const int lines = yesNo ? 1 : 2;
        if (screens < 1) {
            QCOMPARE(bands.size(), lines);
            const QString longest = label->text().split(QLatin1Char('\n')).constLast();
            QVERIFY2(label->contentsRect().width() >= label->fontMetrics().horizontalAdvance(longest),
                     qPrintable(QStringLiteral("%1 < %2").arg(label->contentsRect().width())
                                    .arg(label->fontMetrics().horizontalAdvance(longest))));
        } else {
            // The long line wraps; the box takes the screen's width.
            QVERIFY2(bands.size() > lines, qPrintable(QString::number(bands.size())));
            QVERIFY2(message->frameGeometry().width() >= screen.width() * 9 / 10,
                     qPrintable(QString::number(message->frameGeometry().width())));
        }
        message->hide();
    }

    void yesNoBoxKeepsItsDefaultAnswer()
    {
        Box box;
        box.text = QStringLiteral("Are you sure you wish to overwrite <i>a</i>.xls ?");
        box.buttons = BoxButtons::YesNo;
        box.defaultButton = BoxAnswer::Yes;
        SetApplicationTitle();
        const std::unique_ptr<QMessageBox> message = makeMessageBox(box, nullptr);
        QCOMPARE(message->windowTitle(), applicationTitle());
        QCOMPARE(message->icon(), QMessageBox::NoIcon);
        QCOMPARE(message->textFormat(), Qt::PlainText);
        QCOMPARE(message->text(), box.text);
        QCOMPARE(message->defaultButton(), message->button(QMessageBox::Yes));
        QCOMPARE(message->escapeButton(), message->button(QMessageBox::No));
    }

    // --- title ---
    void titleShortening()
    {
        const QString forty = QStringLiteral("Alpha Beta Gamma Delta Epsilon Zeta Eta");
        QCOMPARE(forty.size(), 39);
        QCOMPARE(shortenTitle(forty + QLatin1Char('s')), forty + QLatin1Char('s'));     // 40: whole
        const QString fortyOne = forty + QStringLiteral("xy");                          // 41
        QCOMPARE(fortyOne.size(), 41);
        QCOMPARE(shortenTitle(fortyOne), QStringLiteral("Alpha Beta Gamma Delta Epsilon Zeta"));
        // 45 characters whose last two words have 8 and 6 characters.
        const QString t45 = QString(29, QLatin1Char('a')) + QStringLiteral(" Abcdefgh Abcdef");
        QCOMPARE(t45.size(), 45);
        QCOMPARE(shortenTitle(t45).size(), 38);
        QCOMPARE(shortenTitle(QString(50, QLatin1Char('x'))).size(), 40);
        SetApplicationTitle();
        QCOMPARE(applicationTitle(), QStringLiteral("Quorbel"));
    }

    // --- files ---
    void fileExists()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"a.txt"_s);
        QVERIFY(!FileExists(QString()));
        QVERIFY(!FileExists(path));
        writeFile(path, "x");
        QVERIFY(FileExists(path));
        QVERIFY(!FileExists(dir.path()));
        QFile::remove(path);
        QVERIFY(!FileExists(path));
    }

    void quietDeleteRemovesReadOnlyFilesAndNeverFails()
    {
        QTemporaryDir dir;
        DeleteFileQuietly(dir.filePath(u"missing"_s));
        DeleteFileQuietly(QString());

        const QString readOnly = dir.filePath(u"ro.xls"_s);
        writeFile(readOnly, "x");
        QVERIFY(QFile::setPermissions(readOnly, QFileDevice::ReadOwner));
        DeleteFileQuietly(readOnly);
        QVERIFY(!QFile::exists(readOnly));

        // A read-only folder of the user's own: the ordinary delete fails,
        // the forced one removes the file and leaves the folder as it was.
        const QString folder = dir.filePath(u"locked"_s);
        QVERIFY(QDir().mkdir(folder));
        const QString inner = folder + u"/f.bin"_s;
        writeFile(inner, "x");
        ::chmod(QFile::encodeName(folder).constData(), 0500);
        if (::geteuid() != 0)
            QVERIFY(!QFile::remove(inner));
        DeleteFileQuietly(inner);
        QVERIFY(!QFile::exists(inner));
        struct stat info {};
        ::stat(QFile::encodeName(folder).constData(), &info);
        QCOMPARE(int(info.st_mode & 0777), 0500);
        ::chmod(QFile::encodeName(folder).constData(), 0700);

        QVERIFY_THROWS_EXCEPTION(Failure, ForceDeleteFile(dir.filePath(u"missing"_s)));
        QVERIFY_THROWS_EXCEPTION(Failure, ForceDeleteFile(dir.path()));
    }

    void writeBytes()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"t.xlt"_s);
        WriteBytesToFile(QByteArray("\x00\x01\x02zz", 5), path);
        QCOMPARE(readAll(path), QByteArray("\x00\x01\x02zz", 5));
        // Not truncated first: a shorter write leaves the tail.
        WriteBytesToFile("AB", path);
        QCOMPARE(readAll(path), QByteArray("AB\x02zz", 5));
        QVERIFY_THROWS_EXCEPTION(Failure, WriteBytesToFile("x", dir.filePath(u"no/such/folder/f"_s)));
        // A link is never followed: its target stays untouched.
        const QString target = dir.filePath(u"target"_s);
        writeFile(target, "keep");
        QVERIFY(QFile::link(target, dir.filePath(u"link.xlt"_s)));
        QVERIFY_THROWS_EXCEPTION(Failure, WriteBytesToFile("evil", dir.filePath(u"link.xlt"_s)));
        QCOMPARE(readAll(target), QByteArray("keep"));
    }

    void scratchFolderFromTempOrPrivate()
    {
        test::ScopedEnvironment environment;
        QTemporaryDir dir;
        environment.set("TEMP", dir.path().toUtf8());
        QCOMPARE(scratchFolder(), dir.path());
        QCOMPARE(scratchPath(u"temp.bmp"_s), dir.path() + u"/temp.bmp"_s);

        environment.unset("TEMP");
        environment.set("XDG_RUNTIME_DIR", dir.path().toUtf8());
        const QString privateFolder = scratchFolder();
        QCOMPARE(privateFolder, dir.path() + u"/quorbel"_s);
        struct stat info {};
        QCOMPARE(::lstat(QFile::encodeName(privateFolder).constData(), &info), 0);
        QCOMPARE(int(info.st_mode & 0777), 0700);

        // Open to others: refused.
        ::chmod(QFile::encodeName(privateFolder).constData(), 0777);
        QVERIFY_THROWS_EXCEPTION(Failure, scratchFolder());
        QDir(privateFolder).removeRecursively();
        // A link in its place: refused, never followed.
        QVERIFY(QDir().mkdir(dir.filePath(u"elsewhere"_s)));
        QVERIFY(QFile::link(dir.filePath(u"elsewhere"_s), privateFolder));
        QVERIFY_THROWS_EXCEPTION(Failure, scratchFolder());

        writeFile(dir.filePath(u"own"_s), "x");
        QVERIFY(isOwnRegularFile(dir.filePath(u"own"_s)));
        QVERIFY(QFile::link(dir.filePath(u"own"_s), dir.filePath(u"link"_s)));
        QVERIFY(!isOwnRegularFile(dir.filePath(u"link"_s)));
        QVERIFY(!isOwnRegularFile(dir.filePath(u"elsewhere"_s)));
    }

    // Which folder the scratch files go to, for the kinds of folder TEMP and
    // XDG_RUNTIME_DIR may name. TMPDIR names a private folder of the test's,
    // which stands for the system temporary folder. "TEMP": TEMP itself (a
    // link's target); "inside TEMP" and "fresh in the system folder": a new
    // private folder there, which goes again once it is empty; "runtime":
    // $XDG_RUNTIME_DIR/quorbel; "system folder": quorbel-<uid> there.
    void scratchFolderTrustsOnlyPrivateFolders_data()
    {
        QTest::addColumn<QString>("temp");
        QTest::addColumn<QString>("runtime");
        QTest::addColumn<bool>("squatted");
        QTest::addColumn<QString>("expected");
        const QString unset = u"unset"_s, own = u"own 0700"_s;
        QTest::newRow("TEMP own 0700") << own << unset << false << u"TEMP"_s;
        QTest::newRow("TEMP a link to own 0700") << u"link to own 0700"_s << unset << false << u"TEMP"_s;
        QTest::newRow("TEMP own 0755, others may enter") << u"own 0755"_s << unset << false << u"inside TEMP"_s;
        QTest::newRow("TEMP own 1777") << u"own 1777"_s << unset << false << u"inside TEMP"_s;
        QTest::newRow("TEMP own 0777, not sticky") << u"own 0777"_s << own << false << u"runtime"_s;
        QTest::newRow("TEMP nobody's 1777") << u"nobody's 1777"_s << own << false << u"runtime"_s;
        QTest::newRow("TEMP nobody's 0700") << u"nobody's 0700"_s << own << false << u"runtime"_s;
        QTest::newRow("TEMP own 0700 in nobody's") << u"own 0700 in nobody's"_s << own << false << u"runtime"_s;
        QTest::newRow("TEMP missing") << u"missing"_s << own << false << u"runtime"_s;
        QTest::newRow("runtime own 0755") << unset << u"own 0755"_s << false << u"system folder"_s;
        QTest::newRow("runtime own 1777") << unset << u"own 1777"_s << false << u"system folder"_s;
        QTest::newRow("runtime nobody's 0700") << unset << u"nobody's 0700"_s << false << u"system folder"_s;
        QTest::newRow("runtime a link to own 0700") << unset << u"link to own 0700"_s << false << u"system folder"_s;
        QTest::newRow("runtime missing") << unset << u"missing"_s << false << u"system folder"_s;
        QTest::newRow("system folder's name taken") << unset << unset << true << u"fresh in the system folder"_s;
        QTest::newRow("TEMP nobody's, name taken") << u"nobody's 1777"_s << unset << true
                                                   << u"fresh in the system folder"_s;
    }

    void scratchFolderTrustsOnlyPrivateFolders()
    {
        QFETCH(QString, temp);
        QFETCH(QString, runtime);
        QFETCH(bool, squatted);
        QFETCH(QString, expected);
        if ((test::plantingNeedsRoot(temp) || test::plantingNeedsRoot(runtime) || squatted) && ::geteuid() != 0)
            QSKIP("giving a folder to another user needs root");
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        test::ScopedEnvironment environment;
        // The path of the folder of `kind` that `variable` names now ("unset"
        // when it is unset); empty when the folder could not be made.
        const auto plant = [&](const char *variable, const QString &kind) {
            if (kind == u"unset"_s) {
                environment.unset(variable);
                return u"unset"_s;
            }
            const QString where = dir.filePath(QString::fromLatin1(variable));
            const QString path = QDir().mkdir(where) ? test::plantFolder(where, kind) : QString();
            if (path.isEmpty())
                return QString();
            environment.set(variable, QFile::encodeName(path));
            return path;
        };
        const QString tempPath = plant("TEMP", temp);
        const QString runtimePath = plant("XDG_RUNTIME_DIR", runtime);
        QVERIFY2(!tempPath.isEmpty() && !runtimePath.isEmpty(), "the folders could not be made");
        const QString system = dir.filePath(u"system"_s);
        QVERIFY(QDir().mkdir(system));
        QVERIFY(::chmod(QFile::encodeName(system).constData(), 0700) == 0);
        environment.set("TMPDIR", QFile::encodeName(system));
        const QString ownName = u"quorbel-%1"_s.arg(::geteuid());
        if (squatted) {
            QVERIFY(QDir(system).mkdir(ownName));
            QVERIFY(::lchown(QFile::encodeName(QDir(system).filePath(ownName)).constData(), 65534, 65534) == 0);
        }

        const QString folder = scratchFolder();
        QCOMPARE(scratchFolder(), folder); // the same while it is there
        struct stat info {};
        QVERIFY(::lstat(QFile::encodeName(folder).constData(), &info) == 0);
        QVERIFY(S_ISDIR(info.st_mode) && info.st_uid == ::geteuid());
        QCOMPARE(int(info.st_mode & 07777), 0700);
        const QString parent = QFileInfo(folder).path();
        const QString name = QFileInfo(folder).fileName();
        bool made = false;
        if (expected == u"TEMP"_s) {
            QCOMPARE(folder, QFileInfo(tempPath).canonicalFilePath());
        } else if (expected == u"inside TEMP"_s) {
            QCOMPARE(parent, QFileInfo(tempPath).canonicalFilePath());
            QVERIFY2(name.startsWith(u"quorbel-"_s) && name.size() == 14, qPrintable(name));
            made = true;
        } else if (expected == u"runtime"_s) {
            QCOMPARE(folder, QFileInfo(runtimePath).canonicalFilePath() + u"/quorbel"_s);
        } else if (expected == u"system folder"_s) {
            QCOMPARE(folder, QDir(system).filePath(ownName));
        } else {
            QCOMPARE(parent, system);
            QVERIFY2(name.startsWith(ownName + u"-"_s) && name.size() == ownName.size() + 7, qPrintable(name));
            made = true;
        }
        // A folder made for the run goes once its last scratch file went.
        releaseScratchFolder(QDir(folder).filePath(u"temp.bmp"_s));
        QCOMPARE(QFileInfo::exists(folder), !made);
    }

    void environmentGuardPutsBackWhatWasThere()
    {
        qputenv("QUORBEL_TEST_KEPT", "before");
        qunsetenv("QUORBEL_TEST_ABSENT");
        {
            test::ScopedEnvironment environment;
            environment.set("QUORBEL_TEST_KEPT", "during");
            environment.set("QUORBEL_TEST_KEPT", "again");
            environment.set("QUORBEL_TEST_ABSENT", "during");
            QCOMPARE(qgetenv("QUORBEL_TEST_KEPT"), QByteArray("again"));
            QCOMPARE(qgetenv("QUORBEL_TEST_ABSENT"), QByteArray("during"));
        }
        QCOMPARE(qgetenv("QUORBEL_TEST_KEPT"), QByteArray("before"));
        QVERIFY(!qEnvironmentVariableIsSet("QUORBEL_TEST_ABSENT"));
        {
            test::ScopedEnvironment environment;
            environment.unset("QUORBEL_TEST_KEPT");
            QVERIFY(!qEnvironmentVariableIsSet("QUORBEL_TEST_KEPT"));
        }
        QCOMPARE(qgetenv("QUORBEL_TEST_KEPT"), QByteArray("before"));
        qunsetenv("QUORBEL_TEST_KEPT");
    }

    // --- dates ---
    void dateRoundTrip_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QDate>("date");
        for (const char *name : {"en_US", "de_DE", "C", "en_GB", "ja_JP"}) {
            QTest::addRow("%s 2026", name) << QString::fromLatin1(name) << QDate(2026, 12, 24);
            QTest::addRow("%s 9999", name) << QString::fromLatin1(name) << QDate(9999, 12, 31);
            QTest::addRow("%s 1601", name) << QString::fromLatin1(name) << QDate(1601, 1, 1);
            QTest::addRow("%s 1926", name) << QString::fromLatin1(name) << QDate(1926, 3, 31);
        }
    }

    void dateRoundTrip()
    {
        QFETCH(QString, locale);
        QFETCH(QDate, date);
        const QLocale l(locale);
        const QString text = shortDateText(date, l);
        QVERIFY2(text.contains(QString::number(date.year())), qPrintable(text));
        QCOMPARE(readDateText(text, l), std::optional<QDate>(date));
        const QString general = generalDateText(QDateTime(date, QTime(0, 0)), l);
        QCOMPARE(general, text);
        QCOMPARE(readGeneralDateText(general, l), std::optional<QDateTime>(QDateTime(date, QTime(0, 0))));
    }

    void twoDigitYearsKeepTheirCentury()
    {
        const QLocale us(QLocale::English, QLocale::UnitedStates);
        QCOMPARE(readDateText(QStringLiteral("3/31/26"), us), std::optional<QDate>(QDate(2026, 3, 31)));
        QCOMPARE(readDateText(QStringLiteral("3/31/30"), us), std::optional<QDate>(QDate(1930, 3, 31)));
        QCOMPARE(readDateText(QStringLiteral("12/31/29"), us), std::optional<QDate>(QDate(2029, 12, 31)));
        const QLocale de(QLocale::German, QLocale::Germany);
        QCOMPARE(readDateText(QStringLiteral("24.12.26"), de), std::optional<QDate>(QDate(2026, 12, 24)));
        QCOMPARE(readDateText(QStringLiteral("2026-12-24"), de), std::optional<QDate>(QDate(2026, 12, 24)));
        QVERIFY(!readDateText(QStringLiteral("next week"), us));
        QVERIFY(!readDateText(QStringLiteral("13/45/2026"), us));
        QVERIFY(!readDateText(QString(), us));
    }

    void generalDateWithTime()
    {
        const QLocale us(QLocale::English, QLocale::UnitedStates);
        const QDateTime value(QDate(2026, 12, 24), QTime(14, 30, 5));
        const QString text = generalDateText(value, us);
        QVERIFY(text.startsWith(QStringLiteral("12/24/2026 ")));
        QCOMPARE(readGeneralDateText(text, us), std::optional<QDateTime>(value));
        QVERIFY(!readGeneralDateText(QStringLiteral("garbage"), us));
    }

    // Texts no date reader takes, however long: each is refused at once
    // (the readers once tried a date for every blank, re-reading the rest).
    void longTextsAreNoDate_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("isDate");        // readDateText
        QTest::addColumn<bool>("isGeneralDate"); // readGeneralDateText
        QString digitsAndBlanks;
        for (int i = 0; digitsAndBlanks.size() < 200 * 1024; ++i)
            digitsAndBlanks += QString::number(i % 10) + QLatin1Char(' ');
        QTest::newRow("200 KB of digits and blanks") << digitsAndBlanks << false << false;
        QTest::newRow("a date, 200 KB of blanks, a word")
            << QStringLiteral("12/24/2026") + QString(200 * 1024, u' ') + u'x' << false << false;
        QTest::newRow("a date with 200 KB of blanks around")
            << QString(100 * 1024, u' ') + u"12/24/2026"_s + QString(100 * 1024, u'\t') << true << true;
        const auto dateAndTime = [](qsizetype length) {
            QString text = u"12/24/2026"_s;
            return text + QString(length - text.size() - 7, u' ') + u"2:30 PM"_s;
        };
        QTest::newRow("date and time as long as read") << dateAndTime(kMaxDateTextLength) << false << true;
        QTest::newRow("date and time one longer") << dateAndTime(kMaxDateTextLength + 1) << false << false;
    }

    void longTextsAreNoDate()
    {
        QFETCH(QString, text);
        QFETCH(bool, isDate);
        QFETCH(bool, isGeneralDate);
        const QLocale us(QLocale::English, QLocale::UnitedStates);
        QCOMPARE(readDateText(text, us).has_value(), isDate);
        const auto general = readGeneralDateText(text, us);
        QCOMPARE(general.has_value(), isGeneralDate);
        if (general)
            QCOMPARE(general->date(), QDate(2026, 12, 24));
    }

    // --- window look ---
    void skinNeedsTheFile()
    {
        QTemporaryDir dir;
        QWidget window;
        auto *label = new QLabel(&window);
        auto *edit = new QLineEdit(&window);
        const QColor before = label->palette().color(QPalette::Window);
        ApplyWindowSkin(&window, dir.path());
        QVERIFY(window.styleSheet().isEmpty());
        QCOMPARE(label->palette().color(QPalette::Window), before);
        QVERIFY(!label->autoFillBackground());

        QVERIFY(QDir(dir.path()).mkdir(u"x"_s));
        ApplyWindowSkin(&window, dir.path()); // folder without o.cjs
        QVERIFY(window.styleSheet().isEmpty());

        writeFile(dir.filePath(u"x/o.cjs"_s), "QPushButton { color: red; }");
        ApplyWindowSkin(&window, dir.path());
        QCOMPARE(window.styleSheet(), QStringLiteral("QPushButton { color: red; }"));
        QVERIFY(label->autoFillBackground());
        QVERIFY(!edit->autoFillBackground());
    }

    void systemColors()
    {
        QWidget window;
        auto *box = new QGroupBox(&window);
        auto *check = new QCheckBox(&window);
        auto *button = new QPushButton(&window);
        UseSystemColors(&window);
        const QColor face = QPalette().color(QPalette::Button);
        QCOMPARE(window.palette().color(QPalette::Window), face);
        QCOMPARE(box->palette().color(QPalette::Window), face);
        QCOMPARE(check->palette().color(QPalette::Window), face);
        QVERIFY(!button->autoFillBackground());
    }

    void systemColorsLeaveTheFieldsWhite()
    {
        QWidget window;
        window.resize(420, 300);
        auto *frame = new QGroupBox(QStringLiteral("Zoom:"), &window);
        frame->setGeometry(10, 10, 400, 280);
        auto *label = new QLabel(QStringLiteral("Label"), frame);
        label->setGeometry(10, 30, 120, 20);
        auto *edit = new QLineEdit(frame);
        edit->setGeometry(140, 30, 240, 24);
        auto *date = new QDateEdit(QDate(2026, 3, 10), frame);
        date->setGeometry(140, 64, 240, 24);
        auto *list = new QTreeView(frame);
        list->setGeometry(10, 100, 370, 160);
        UseSystemColors(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        const QColor face = QPalette().color(QPalette::Active, QPalette::Button);
        QCOMPARE(label->palette().color(QPalette::Window), face);
        QCOMPARE(label->grab().toImage().pixelColor(label->width() - 2, 1), face);
        QCOMPARE(window.grab().toImage().pixelColor(2, 2), face);
        const QColor field = QPalette().color(QPalette::Active, QPalette::Base);
        for (QWidget *w : {static_cast<QWidget *>(edit), static_cast<QWidget *>(date), static_cast<QWidget *>(list)})
            QCOMPARE(w->palette().color(QPalette::Base), field);
        QCOMPARE(edit->grab().toImage().pixelColor(edit->width() * 3 / 4, edit->height() / 2), field);
        QCOMPARE(date->grab().toImage().pixelColor(date->width() * 2 / 3, date->height() / 2), field);
        const QImage viewport = list->viewport()->grab().toImage();
        QCOMPARE(viewport.pixelColor(viewport.width() / 2, viewport.height() / 2), field);
        QVERIFY2(field != face, qPrintable(field.name()));
    }

    void cursorFileWithHotspot()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"HAND-M.CUR"_s);
        writeFile(path, makeCursorFile(1, 0));
        const auto cursor = loadCursorFile(path);
        QVERIFY(cursor.has_value());
        QCOMPARE(cursor->hotSpot(), QPoint(1, 0));
        QCOMPARE(cursor->pixmap().size(), QSize(2, 2));
        QVERIFY(!loadCursorFile(dir.filePath(u"missing.cur"_s)));
        QByteArray icon = makeCursorFile(0, 0);
        icon[2] = 1; // an icon, not a cursor
        writeFile(path, icon);
        QVERIFY(!loadCursorFile(path));
    }

    void pointerFeedbackLeavesBusyPointerAlone()
    {
        QWidget window;
        auto *button = new QPushButton(QStringLiteral("Add"), &window);
        auto *area = new QLabel(QStringLiteral("area"), &window);
        area->move(0, 50);
        window.resize(200, 100);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QCursor hand(Qt::PointingHandCursor);
        installPointerFeedback(&window, hand, {button}, {area});
        QTest::mouseMove(button, QPoint(5, 5));
        QCOMPARE(window.cursor().shape(), Qt::PointingHandCursor);
        QTest::mouseMove(area, QPoint(5, 5));
        QCOMPARE(window.cursor().shape(), Qt::ArrowCursor);
        window.setCursor(Qt::WaitCursor);
        QVERIFY(isBusyPointer(&window));
        QTest::mouseMove(button, QPoint(6, 6));
        QCOMPARE(window.cursor().shape(), Qt::WaitCursor);
    }

private:
    QString m_desktopStyle;
};

QTEST_MAIN(TestApp)
#include "test_app.moc"
