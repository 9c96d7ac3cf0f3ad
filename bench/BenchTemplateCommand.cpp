// Times "Start Creating Template" as a user meets it: from the click in the
// main window to the preview window being shown, for lists of 0, 10, 100 and
// 1,000 entries, beside one bare `soffice --headless --convert-to xls` of the
// template measured in the same run. Before each click the benchmark lets
// the event loop run until the office kept ahead of need is ready, as it is
// by the time a user has typed a list (QUORBEL_SPARE_OFFICE=0 measures the
// program without it). Then each size from 0 to 10,000 entries once more,
// each click in a fresh process, with the picture drawn from the office's
// pages and with the whole-sheet bitmap, and that process's peak resident
// memory. Prints figures, the program's peak resident memory and that of an
// idle started office; asserts nothing.

#include "BareConversion.h"
#include "BenchSupport.h"
#include "Dialogs.h"
#include "Form1.h"
#include "Form2.h"
#include "Program.h"
#include "SheetPicture.h"
#include "SpareOffice.h"
#include "TemplateWorkbook.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
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

// One click in a process of its own ("--one <entries>"), so that its peak
// resident memory is that click's: prints "<ms> <peak MiB> <boxes>", and on
// a second line the size of the picture file the click wrote (the office's
// pages, which the clipboard still holds), when it wrote pages.
int oneClickAlone(int argc, char *argv[], CountingDialogs &dialogs)
{
    if (argc < 3 || QByteArray(argv[1]) != "--one")
        return -1;
    const int entries = QByteArray(argv[2]).toInt();
    const double ms = oneClick(entries, dialogs);
    std::printf("%.0f %.1f %d\n", ms, statusMiB(QStringLiteral("self"), "VmHWM"), dialogs.boxes);
    if (const QMimeData *data = QGuiApplication::clipboard()->mimeData(); data && data->hasFormat(SheetPicture::kMimeType))
        std::printf("picture file: %.2f MB\n", double(data->data(SheetPicture::kMimeType).size()) / 1e6);
    return 0;
}

// Click to preview per list size with the program's peak resident memory,
// each click in a fresh process of this program, for the picture drawn from
// the office's pages where the preview shows it and for the whole-sheet
// bitmap of earlier versions (QUORBEL_PICTURE_BITMAP=1), by turns.
void pictureComparison()
{
    struct Run {
        double ms = -1;
        double peak = -1;
        int boxes = 0;
        QString file;
    };
    const auto run = [](int entries, bool bitmap) {
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (bitmap)
            environment.insert(QStringLiteral("QUORBEL_PICTURE_BITMAP"), QStringLiteral("1"));
        else
            environment.remove(QStringLiteral("QUORBEL_PICTURE_BITMAP"));
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--one"), QString::number(entries)});
        child.waitForFinished(-1);
        const QList<QByteArray> lines = child.readAllStandardOutput().trimmed().split('\n');
        const QList<QByteArray> fields = lines.first().trimmed().split(' ');
        Run result;
        if (fields.size() == 3)
            result = Run {fields[0].toDouble(), fields[1].toDouble(), fields[2].toInt()};
        if (lines.size() > 1)
            result.file = QString::fromUtf8(lines[1].trimmed());
        return result;
    };
    std::printf("entries | pages, drawn where shown: ms  peak MiB | whole bitmap: ms  peak MiB  (each click in a fresh process)\n");
    for (int entries : {0, 10, 100, 1000, 10000}) {
        const int count = entries >= 1000 ? 1 : 3;
        // The bitmap of 10,000 entries is too large to make (a box, gigabytes).
        const bool withBitmap = entries < 10000 || qEnvironmentVariable("QUORBEL_BENCH_BITMAP_10000") == QLatin1String("1");
        QString file;
        std::vector<double> pages, bitmap;
        double pagesPeak = 0, bitmapPeak = 0;
        int pagesBoxes = 0, bitmapBoxes = 0;
        for (int i = 0; i < count; ++i) {
            const Run a = run(entries, false);
            pages.push_back(a.ms);
            pagesPeak = std::max(pagesPeak, a.peak);
            pagesBoxes += a.boxes;
            file = a.file;
            if (withBitmap) {
                const Run b = run(entries, true);
                bitmap.push_back(b.ms);
                bitmapPeak = std::max(bitmapPeak, b.peak);
                bitmapBoxes += b.boxes;
            }
        }
        std::printf("%7d | %8.0f ms %6.0f MiB%s", entries, median(pages), pagesPeak, pagesBoxes ? " (box)" : "");
        if (withBitmap)
            std::printf(" | %8.0f ms %6.0f MiB%s\n", median(bitmap), bitmapPeak, bitmapBoxes ? " (box)" : "");
        else
            std::printf(" | not run\n");
        if (!file.isEmpty())
            std::printf("        (%s)\n", qUtf8Printable(file));
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
        std::printf("%5d entries: click to preview %7.0f ms (%s of %d) = %.2f x bare conversion\n", entries, ms,
                    count > 1 ? "median" : "one", count, ms / bareMs);
    }
    pictureComparison();
    std::printf("boxes shown: %d\n", dialogs.boxes);
    std::printf("offices kept ahead of need: %s\n", SpareOffice::wanted() ? "yes" : "no (QUORBEL_SPARE_OFFICE=0)");
    std::printf("program's peak resident memory: %.0f MiB\n", statusMiB(QStringLiteral("self"), "VmHWM"));
    if (g_idleOfficeMiB >= 0)
        std::printf("an idle started office's resident memory: %.0f MiB\n", g_idleOfficeMiB);
    return 0;
}
