// Times "Start Creating Template" as a user meets it: from the click in the
// main window to the preview window being shown, for lists of 0, 10, 100 and
// 1,000 entries, beside one bare `soffice --headless --convert-to xls` of the
// template measured in the same run. Before each click the benchmark lets
// the event loop run until the office kept ahead of need is ready, as it is
// by the time a user has typed a list (QUORBEL_SPARE_OFFICE=0 measures the
// program without it). Prints figures, the program's peak resident memory
// and that of an idle started office; asserts nothing.

#include "BareConversion.h"
#include "BenchSupport.h"
#include "Dialogs.h"
#include "Form1.h"
#include "Form2.h"
#include "Program.h"
#include "SpareOffice.h"
#include "TemplateWorkbook.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace quorbel;
using bench::CountingDialogs;
using bench::statusMiB;

namespace {

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

double g_idleOfficeMiB = -1;

double oneClick(int entries, CountingDialogs &dialogs)
{
    Program program(bench::programServices());
    Form1 &main = program.mainWindow();
    main.show();
    for (int i = 0; i < entries; ++i) {
        main.txtDate->setText(QStringLiteral("12/%1/2026").arg(i % 28 + 1));
        main.txtProj->setText(QStringLiteral("Project %1").arg(i + 1));
        main.txtNotes->setText(QStringLiteral("Notes for entry %1").arg(i + 1));
        main.Check1->setChecked(i % 3 == 0);
        main.PushButton1_Click();
    }
    // A user takes longer than an office start to type a list.
    QElapsedTimer wait;
    wait.start();
    while (SpareOffice::wanted() && !program.spareOffice().ready() && wait.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (program.spareOffice().ready()) {
        // Settled: what a started office holds while it waits.
        QThread::msleep(300);
        g_idleOfficeMiB = statusMiB(QString::number(program.spareOffice().processId()), "VmRSS");
    }
    const int boxesBefore = dialogs.boxes;
    QElapsedTimer timer;
    timer.start();
    main.PushButton6_Click();
    // The preview's first drawing of the picture belongs to the click.
    program.previewWindow().grab();
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    Form2 &preview = program.previewWindow();
    if (!preview.isVisible() || dialogs.boxes != boxesBefore)
        std::fprintf(stderr, "  (the run for %d entries reported failures)\n", entries);
    preview.PushButton8_Click(); // back: deletes the scratch workbook
    return ms;
}

// Resets the process's peak resident memory (VmHWM) to its present size.
void resetPeakMemory()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

// Click to preview per list size with the program's peak resident memory
// during that click, for the picture drawn from the office's pages where
// the preview shows it and for the whole-sheet bitmap of earlier versions
// (QUORBEL_PICTURE_BITMAP=1), run by turns in the same run.
void pictureComparison(CountingDialogs &dialogs)
{
    std::printf("entries | pages, drawn where shown: ms  peak MiB | whole bitmap: ms  peak MiB\n");
    for (int entries : {0, 10, 100, 1000, 10000}) {
        const int count = entries >= 1000 ? 1 : 3;
        std::vector<double> pages, bitmap;
        double pagesPeak = 0, bitmapPeak = 0;
        int pagesBoxes = 0, bitmapBoxes = 0;
        // The bitmap of 10,000 entries is too large to make (a box, gigabytes).
        const bool withBitmap = entries < 10000 || qEnvironmentVariable("QUORBEL_BENCH_BITMAP_10000") == QLatin1String("1");
        for (int i = 0; i < count; ++i) {
            for (bool whole : {false, true}) {
                if (whole && !withBitmap)
                    continue;
                if (whole)
                    qputenv("QUORBEL_PICTURE_BITMAP", "1");
                const int boxes = dialogs.boxes;
                resetPeakMemory();
                const double ms = oneClick(entries, dialogs);
                const double peak = statusMiB(QStringLiteral("self"), "VmHWM");
                qunsetenv("QUORBEL_PICTURE_BITMAP");
                (whole ? bitmap : pages).push_back(ms);
                (whole ? bitmapPeak : pagesPeak) = std::max(whole ? bitmapPeak : pagesPeak, peak);
                (whole ? bitmapBoxes : pagesBoxes) += dialogs.boxes - boxes;
            }
        }
        std::printf("%7d | %8.0f ms %6.0f MiB%s", entries, median(pages), pagesPeak, pagesBoxes ? " (box)" : "");
        if (withBitmap)
            std::printf(" | %8.0f ms %6.0f MiB%s\n", median(bitmap), bitmapPeak, bitmapBoxes ? " (box)" : "");
        else
            std::printf(" | not run\n");
        std::fflush(stdout);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir home;
    bench::useBenchHome(home);
    QApplication app(argc, argv);
    CountingDialogs dialogs;
    Dialogs::setCurrent(&dialogs);

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
        std::printf("%5d entries: click to preview %7.0f ms (%s of %d) = %.2f x bare conversion\n", entries, ms,
                    count > 1 ? "median" : "one", count, ms / bareMs);
    }
    pictureComparison(dialogs);
    std::printf("boxes shown: %d\n", dialogs.boxes);
    std::printf("offices kept ahead of need: %s\n", SpareOffice::wanted() ? "yes" : "no (QUORBEL_SPARE_OFFICE=0)");
    std::printf("program's peak resident memory: %.0f MiB\n", statusMiB(QStringLiteral("self"), "VmHWM"));
    if (g_idleOfficeMiB >= 0)
        std::printf("an idle started office's resident memory: %.0f MiB\n", g_idleOfficeMiB);
    return 0;
}
