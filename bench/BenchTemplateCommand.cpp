// Times "Start Creating Template" as a user meets it: from the click in the
// main window to the preview window being shown and drawn, for lists of 0,
// 10, 100 and 1,000 entries, beside one bare `soffice --headless
// --convert-to xls` of the template measured in the same run. Before each
// click the benchmark lets the event loop run until the offices kept ahead
// of need are ready (and warm), as they are by the time a user has typed a
// list (QUORBEL_SPARE_OFFICE=0 measures the program without them,
// QUORBEL_WARM_OFFICE=0 without their warm-up). For 10 and 1,000 entries it
// prints where the time goes (each group of office calls, the program's own
// work between them, the preview's first drawing) beside the warm floor:
// the same calls in an office that has done the same work once already,
// measured in the same run. Then each size from 0 to 10,000 entries once
// more, each click in a fresh process, with that process's peak resident
// memory. Prints figures, the program's peak resident memory and
// that of an idle kept office; asserts nothing.

#include "BareConversion.h"
#include "BenchSupport.h"
#include "CallBreakdown.h"
#include "Controls.h"
#include "ListFill.h"
#include "Dialogs.h"
#include "Failure.h"
#include "Form1.h"
#include "Form2.h"
#include "PictureBox.h"
#include "ProcStat.h"
#include "Program.h"
#include "SheetPicture.h"
#include "Snapshot.h"
#include "Spreadsheet.h"
#include "SpareOffice.h"
#include "TemplateWorkbook.h"

#include <QApplication>
#include <QEventLoop>
#include <QDir>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <map>
#include <cstdio>
#include <vector>

#include <unistd.h>

using namespace quorbel;
using bench::CallClock;
using bench::CountingDialogs;
using bench::fillList;
using bench::statusMiB;

namespace {

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

double g_idleOfficeMiB = -1;

// Times every paint of a widget outside the main window while it is
// installed: the preview's drawing, part of which happens inside the click
// (the command lets the event loop run once the preview shows).
class PaintTimer final : public QObject {
public:
    explicit PaintTimer(QWidget &mainWindow) : m_main(mainWindow) { QCoreApplication::instance()->installEventFilter(this); }
    ~PaintTimer() override { QCoreApplication::instance()->removeEventFilter(this); }
    double ms() const { return m_ms; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Paint || m_inside)
            return false;
        auto *widget = qobject_cast<QWidget *>(watched);
        if (!widget || widget->window() == &m_main)
            return false;
        QElapsedTimer timer;
        timer.start();
        m_inside = true;
        QCoreApplication::sendEvent(watched, event);  // the widget paints, timed
        m_inside = false;
        m_ms += double(timer.nsecsElapsed()) / 1e6;
        return true;
    }

private:
    QWidget &m_main;
    double m_ms = 0;
    bool m_inside = false;
};

// Lets the event loop handle what the shown preview still has pending (its
// first drawing, when the click has not done it).
void finishPreviewDrawing()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

// With a clock, the click's calls are timed by group (see CallBreakdown.h).
// `pictureBytes`, when given, receives the size of the picture file the
// click wrote (the office's pages the preview shows), or -1 when it shows
// none of them.
double oneClick(int entries, CountingDialogs &dialogs, CallClock *clock = nullptr, qint64 *pictureBytes = nullptr)
{
    auto timedOffices = std::make_unique<bench::TimingOffices>(Options::fromEnvironment());
    bench::TimingOffices &timing = *timedOffices;
    Program program(bench::programServices(dialogs), std::move(timedOffices));
    Form1 &main = program.mainWindow();
    program.showMainWindow();
    auto *dueBy = test::control<QLineEdit>(main, "txtDate");
    auto *project = test::control<QLineEdit>(main, "txtProj");
    auto *notes = test::control<QLineEdit>(main, "txtNotes");
    auto *done = test::control<QCheckBox>(main, "Check1");
    for (int i = 0; i < entries; ++i) {
        dueBy->setText(QStringLiteral("12/%1/2026").arg(i % 28 + 1));
        project->setText(QStringLiteral("Project %1").arg(i + 1));
        notes->setText(QStringLiteral("Notes for entry %1").arg(i + 1));
        done->setChecked(i % 3 == 0);
        main.PushButton1_Click();
    }
    // A user takes longer than an office start to type a list.
    QElapsedTimer wait;
    wait.start();
    while (program.spareOffice().wanted() && !program.spareOffice().ready() && wait.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (program.spareOffice().ready()) {
        // Settled: what a started office holds while it waits.
        QThread::msleep(300);
        g_idleOfficeMiB = statusMiB(QString::number(program.spareOffice().processId()), "VmRSS");
    }
    const int boxesBefore = dialogs.boxes;
    timing.setClock(clock);
    PaintTimer paints(main);
    QElapsedTimer timer;
    timer.start();
    if (clock)
        clock->restart();
    main.PushButton6_Click();
    finishPreviewDrawing();
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    if (clock) {
        const QString after = QStringLiteral("program, after the last call (picture file read, preview shown)");
        clock->tail(after);
        clock->move(after, QStringLiteral("program, the preview's drawing"), paints.ms());
    }
    timing.setClock(nullptr);
    Form2 &preview = program.previewWindow();
    if (!preview.isVisible() || dialogs.boxes != boxesBefore)
        std::fprintf(stderr, "  (the run for %d entries reported failures)\n", entries);
    if (pictureBytes) {
        const auto &pages = preview.picture().sheet();
        *pictureBytes = pages ? pages->toBytes().size() : -1;
    }
    preview.PushButton8_Click(); // back: deletes the scratch workbook
    return ms;
}

// One click in a process of its own ("--one <entries>"), so that its peak
// resident memory is that click's: prints "<ms> <peak MiB> <boxes>", and on
// a second line the size of the picture file the click wrote (the office's
// pages), when it wrote pages.
int oneClickAlone(int argc, char *argv[], CountingDialogs &dialogs)
{
    if (argc < 3 || QByteArray(argv[1]) != "--one")
        return -1;
    const int entries = QByteArray(argv[2]).toInt();
    qint64 pictureBytes = -1;
    const double ms = oneClick(entries, dialogs, nullptr, &pictureBytes);
    std::printf("%.0f %.1f %d\n", ms, statusMiB(QStringLiteral("self"), "VmHWM"), dialogs.boxes);
    if (pictureBytes >= 0)
        std::printf("picture file: %.2f MB\n", double(pictureBytes) / 1e6);
    return 0;
}

// Click to preview per list size with the program's peak resident memory,
// each click in a fresh process of this program (the picture is the
// office's pages, drawn where the preview shows them).
void pictureCosts()
{
    struct Run {
        double ms = -1;
        double peak = -1;
        int boxes = 0;
        QString file;
    };
    const auto run = [](int entries) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--one"), QString::number(entries)});
        child.waitForFinished(-1);
        const QList<QByteArray> lines = child.readAllStandardOutput().trimmed().split('\n');
        const QList<QByteArray> fields = lines.first().trimmed().split(' ');
        Run result;
        if (fields.size() == 3) {
            result.ms = fields[0].toDouble();
            result.peak = fields[1].toDouble();
            result.boxes = fields[2].toInt();
        }
        if (lines.size() > 1)
            result.file = QString::fromUtf8(lines[1].trimmed());
        return result;
    };
    std::printf("entries | pages, drawn where shown: ms  peak MiB  (each click in a fresh process)\n");
    for (int entries : {0, 10, 100, 1000, 10000}) {
        const int count = entries >= 1000 ? 1 : 3;
        QString file;
        std::vector<double> pages;
        double pagesPeak = 0;
        int pagesBoxes = 0;
        for (int i = 0; i < count; ++i) {
            const Run a = run(entries);
            pages.push_back(a.ms);
            pagesPeak = std::max(pagesPeak, a.peak);
            pagesBoxes += a.boxes;
            file = a.file;
        }
        std::printf("%7d | %8.0f ms %6.0f MiB%s\n", entries, median(pages), pagesPeak, pagesBoxes ? " (box)" : "");
        if (!file.isEmpty())
            std::printf("        (%s)\n", qUtf8Printable(file));
        std::fflush(stdout);
    }
}

// The first half's calls of the command (opening the template to
// closing the saved workbook), as the command makes them.
void firstHalfCalls(xl::XlApplication &excel, const QString &templatePath, const QString &saved, int entries)
{
    auto workbook = excel.Workbooks()->Open(templatePath, true);
    excel.setDisplayAlerts(false);
    excel.ActiveWorkbook()->Worksheets()->Item(1)->Select();
    excel.ActiveWorkbook()->Worksheets()->Item(1)->Activate();
    fillList(excel, entries);
    excel.ActiveWorkbook()->Worksheets()->Item(1)->Select();
    excel.Cells(1, 2)->Select();
    excel.setDisplayAlerts(true);
    excel.setVisible(false);
    QFile::remove(saved);
    workbook->SaveAs(saved, WorkbookSaveFormat(excel));
    excel.setDisplayAlerts(false);
    workbook->Close();
}

// The second half's calls: the saved workbook opened, pictured, closed.
void secondHalfCalls(xl::XlApplication &excel, const QString &saved, const QString &picture, Dialogs &dialogs)
{
    excel.Workbooks()->Open(saved);
    const auto books = excel.Workbooks();
    const auto workbook = books->Item(books->count());
    saveCellsActivesheet(*workbook, picture, dialogs);
    excel.setDisplayAlerts(false);
    workbook->Close();
}

// The warm floor: the command's office calls for `entries` entries in one
// office, as the build does them in the office kept ahead, that has done
// the same work once already, as the build's groups (taking the office and
// the program's own work left out; closing the workbooks included).
std::map<QString, double> warmFloor(int entries, const QString &folder, const QString &templatePath, Dialogs &dialogs)
{
    CallClock clock;
    std::map<QString, double> floor;
    try {
        bench::TimingOffices timing(Options::fromEnvironment().withoutOfficesAhead());
        timing.setClock(&clock);
        const QString saved = QDir(folder).filePath(QStringLiteral("floor.xls"));
        const QString picture = QDir(folder).filePath(QStringLiteral("floor.bmp"));
        auto office = timing.createApplication();
        for (int round = 0; round < 2; ++round) {
            clock.clear();
            clock.restart();
            firstHalfCalls(*office, templatePath, saved, entries);
            secondHalfCalls(*office, saved, picture, dialogs);
        }
        office->Quit();
        QFile::remove(saved);
        QFile::remove(picture);
    } catch (const Failure &failure) {
        std::fprintf(stderr, "warm floor for %d entries failed: %s\n", entries, qPrintable(failure.description()));
        return {};
    }
    for (const QString &group : clock.order()) {
        if (!group.startsWith(QLatin1String("program")))
            floor[group] = clock.get(group);
    }
    return floor;
}

// Where the time of a click goes (means of `runs` clicks), beside the warm
// floor of the same calls.
void printBreakdown(int entries, int runs, CountingDialogs &dialogs, const QString &folder, const QString &templatePath)
{
    CallClock clock;
    double total = 0;
    for (int i = 0; i < runs; ++i)
        total += oneClick(entries, dialogs, &clock);
    total /= runs;
    const std::map<QString, double> floor = warmFloor(entries, folder, templatePath, dialogs);
    double floorTotal = 0;
    for (const auto &[group, ms] : floor)
        floorTotal += ms;
    std::printf("\n%d entries: where click to shown preview goes (mean of %d)        build   warm floor\n", entries, runs);
    double accounted = 0;
    for (const QString &group : clock.order()) {
        const double ms = clock.get(group) / runs;
        accounted += ms;
        const auto inFloor = floor.find(group);
        if (inFloor != floor.end())
            std::printf("  %-62s %7.1f %9.1f\n", qPrintable(group), ms, inFloor->second);
        else
            std::printf("  %-62s %7.1f %9s\n", qPrintable(group), ms, "-");
    }
    std::printf("  %-62s %7.1f\n", "unaccounted", total - accounted);
    std::printf("  %-62s %7.1f %9.1f\n", "click to shown preview", total, floorTotal);
    if (floorTotal > 0)
        std::printf("  click to shown preview = %.2f x warm floor\n", total / floorTotal);
}


// CPU time (user and system) of a process so far, in ms, from /proc.
double cpuMs(qint64 pid)
{
    const auto stat = readProcStat(pid);
    if (!stat)
        return -1;
    return double(stat->userTicks + stat->systemTicks) * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

// What the offices kept ahead of need cost while the main window waits,
// with and without their warm-up: the offices' CPU until they are ready,
// the longest the window's event loop was held meanwhile, each idle
// office's resident memory (anonymous and file-backed), and the CPU the
// program and the offices use in 3 s of waiting after that.
void printWaitingCosts()
{
    if (!Options::fromEnvironment().spareOffice)
        return;
    std::printf("\nwhile the main window waits          offices' CPU to ready  longest hold  idle office RSS (anon + file)  CPU in 3 s idle\n");
    const QByteArray saved = qgetenv("QUORBEL_WARM_OFFICE");
    StderrDialogs printed;
    for (const bool warm : {false, true}) {
        qputenv("QUORBEL_WARM_OFFICE", warm ? "1" : "0");
        Program program(bench::programServices(printed));
        program.showMainWindow();
        QElapsedTimer wait;
        wait.start();
        double longest = 0;
        QElapsedTimer tick;
        tick.start();
        QTimer probe;
        probe.setInterval(1);
        QObject::connect(&probe, &QTimer::timeout, [&] {
            longest = std::max(longest, double(tick.nsecsElapsed()) / 1e6);
            tick.restart();
        });
        probe.start();
        QTimer check;
        QEventLoop waiting;
        QObject::connect(&check, &QTimer::timeout, [&] {
            if (program.spareOffice().ready() || wait.elapsed() > 60000)
                waiting.quit();
        });
        check.start(20);
        waiting.exec();
        probe.stop();
        const QList<qint64> offices = program.spareOffice().processIds();
        double toReady = 0;
        for (const qint64 pid : offices)
            toReady += cpuMs(pid);
        QThread::msleep(300);
        QString memory;
        for (const qint64 pid : offices) {
            const QString id = QString::number(pid);
            memory += QStringLiteral("%1 (%2 + %3) ")
                          .arg(statusMiB(id, "VmRSS"), 0, 'f', 0)
                          .arg(statusMiB(id, "RssAnon"), 0, 'f', 0)
                          .arg(statusMiB(id, "RssFile") + statusMiB(id, "RssShmem"), 0, 'f', 0);
        }
        double before = cpuMs(::getpid());
        for (const qint64 pid : offices)
            before += cpuMs(pid);
        QEventLoop idle;
        QTimer::singleShot(3000, &idle, &QEventLoop::quit);
        idle.exec();
        double after = cpuMs(::getpid());
        for (const qint64 pid : offices)
            after += cpuMs(pid);
        std::printf("  %-34s %8.0f ms %12.0f ms   %-30s %6.0f ms\n", warm ? "kept office, warmed" : "kept office, not warmed",
                    toReady, longest, qPrintable(memory), after - before);
    }
    if (saved.isNull())
        qunsetenv("QUORBEL_WARM_OFFICE");
    else
        qputenv("QUORBEL_WARM_OFFICE", saved);
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir home;
    bench::useBenchHome(home);
    QApplication app(argc, argv);
    // "bench_template_command waiting": only what the kept offices cost
    // while the main window waits.
    if (argc > 1 && QLatin1String(argv[1]) == QLatin1String("waiting")) {
        printWaitingCosts();
        return 0;
    }
    CountingDialogs dialogs;
    if (const int code = oneClickAlone(argc, argv, dialogs); code >= 0)
        return code;

    const QString templatePath = home.filePath(QStringLiteral("template.xls"));
    {
        QFile file(templatePath);
        file.open(QIODevice::WriteOnly);
        file.write(templateWorkbookBytes());
    }
    bench::bareConversionMs(home.path(), templatePath); // initialises the profile
    std::vector<double> bare;
    for (int i = 0; i < 3; ++i)
        bare.push_back(bench::bareConversionMs(home.path(), templatePath));
    const double bareMs = median(bare);
    std::printf("bare soffice --convert-to xls: %.0f ms (median of 3)\n", bareMs);

    oneClick(0, dialogs); // warms the office profile and caches
    for (int entries : {0, 10, 100, 1000}) {
        std::vector<double> runs;
        const int count = entries >= 1000 ? 1 : 3;
        for (int i = 0; i < count; ++i)
            runs.push_back(oneClick(entries, dialogs));
        const double ms = median(runs);
        std::printf("%5d entries: click to shown preview %7.0f ms (%s of %d) = %.2f x bare conversion\n", entries, ms,
                    count > 1 ? "median" : "one", count, ms / bareMs);
    }
    pictureCosts();
    printBreakdown(10, 3, dialogs, home.path(), templatePath);
    printBreakdown(1000, 1, dialogs, home.path(), templatePath);
    printWaitingCosts();

    std::printf("boxes shown: %d\n", dialogs.boxes);
    std::printf("offices kept ahead of need: %s\n",
                !Options::fromEnvironment().spareOffice ? "no (QUORBEL_SPARE_OFFICE=0)"
                : Options::fromEnvironment().warmOffice ? "yes, warmed" : "yes, not warmed (QUORBEL_WARM_OFFICE=0)");
    std::printf("program's peak resident memory: %.0f MiB\n", statusMiB(QStringLiteral("self"), "VmHWM"));
    if (g_idleOfficeMiB >= 0)
        std::printf("an idle started office's resident memory: %.0f MiB\n", g_idleOfficeMiB);
    return 0;
}
