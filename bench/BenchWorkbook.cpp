// Times the spreadsheet work of "Start Creating Template" against the
// LibreOffice backend: starting an instance, opening the template, filling
// 10 and 1,000 entries, saving, picturing the saved sheet, ending the
// instance (the save split into the version read, the fill's held-back
// work and the store); the saved workbook of 10 entries written as .xlsx,
// .ods and PDF by the preview's exporter (each in an office started for it
// and ended before it returns, as while the preview shows); and, for
// comparison in the same run, one bare `soffice --headless --convert-to xls`
// of the same template.
//
//     bench_workbook [runs]        (default 3; medians are printed)

#include "BareConversion.h"
#include "Dialogs.h"
#include "Failure.h"
#include "FileProcs.h"
#include "ListFill.h"
#include "OfficeSheetExporter.h"
#include "PreviewPicture.h"
#include "Offices.h"
#include "Snapshot.h"
#include "Spreadsheet.h"
#include "TemplateWorkbook.h"

#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocale>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

using namespace quorbel;

namespace {

std::map<QString, std::vector<double>> g_figures;
std::vector<QString> g_order;

void record(const QString &name, double ms)
{
    if (!g_figures.count(name))
        g_order.push_back(name);
    g_figures[name].push_back(ms);
}

template<typename F>
auto timed(const QString &name, F &&work)
{
    QElapsedTimer timer;
    timer.start();
    if constexpr (std::is_void_v<decltype(work())>) {
        work();
        record(name, double(timer.nsecsElapsed()) / 1e6);
    } else {
        auto result = work();
        record(name, double(timer.nsecsElapsed()) / 1e6);
        return result;
    }
}

void oneBuild(Offices &offices, const QString &folder, const QString &templatePath, int entries)
{
    const QString suffix = QStringLiteral(" (%1 entries)").arg(entries);
    const QString saved = QDir(folder).filePath(QStringLiteral("bench-%1.xls").arg(entries));
    QFile::remove(saved);
    {
        auto excel = timed(QStringLiteral("create instance"), [&] { return offices.createApplication(); });
        auto workbook = timed(QStringLiteral("open template"), [&] { return excel->Workbooks()->Open(templatePath, true); });
        excel->ActiveWorkbook()->Worksheets()->Item(1)->Activate();
        timed(QStringLiteral("fill") + suffix, [&] { bench::fillList(*excel, entries); });
        // What the save of the command costs, part by part: the version
        // read that picks the format (a first use of the office's
        // configuration), the fill's held-back work (made at the first call
        // that needs the sheet, here the used range), and the store itself.
        const int format = timed(QStringLiteral("save: version read") + suffix, [&] { return WorkbookSaveFormat(*excel); });
        timed(QStringLiteral("save: held fill work done") + suffix, [&] { excel->ActiveWorkbook()->Worksheets()->Item(1)->UsedRange(); });
        timed(QStringLiteral("save: store .xls") + suffix, [&] { workbook->SaveAs(saved, format); });
        workbook->Close();
        timed(QStringLiteral("quit instance"), [&] { excel->Quit(); });
    }
    auto excel = timed(QStringLiteral("reopen in a new instance") + suffix, [&] { return OpenInNewInstance(offices, saved); });
    auto workbook = excel->Workbooks()->Item(excel->Workbooks()->count());
    const QString picture = QDir(folder).filePath(QStringLiteral("temp.bmp"));
    StderrDialogs printed;
    timed(QStringLiteral("picture to temp.bmp") + suffix, [&] { saveCellsActivesheet(*workbook, picture, printed); });
    // QUORBEL_BENCH_KEEP_PICTURE=FOLDER keeps a copy of each picture file
    // (picture-<entries>.bin), real output of the office for other uses.
    if (const QString keep = qEnvironmentVariable("QUORBEL_BENCH_KEEP_PICTURE"); !keep.isEmpty()) {
        const QString copy = QDir(keep).filePath(QStringLiteral("picture-%1.bin").arg(entries));
        QFile::remove(copy);
        QFile::copy(picture, copy);
    }
    // The file holds the office's pages, which the preview reads as it does.
    const QSize size = PreviewPicture::fromFile(picture).logicalSize();
    std::printf("  picture%s: %d x %d pixels\n", qPrintable(suffix), size.width(), size.height());
    workbook->Close();
    excel->Quit();
}

// The preview's conversions of the saved workbook of `entries` entries.
void exports(Offices &offices, const QString &folder, int entries)
{
    const QString suffix = QStringLiteral(" (%1 entries)").arg(entries);
    const QString saved = QDir(folder).filePath(QStringLiteral("bench-%1.xls").arg(entries));
    OfficeSheetExporter exporter(offices);
    const struct {
        SheetFormat format;
        const char *name;
    } formats[] = {{SheetFormat::Xlsx, ".xlsx"}, {SheetFormat::Ods, ".ods"}, {SheetFormat::Pdf, ".pdf"}};
    for (const auto &[format, name] : formats) {
        const QString target = QDir(folder).filePath(QStringLiteral("export") + QLatin1String(name));
        QFile::remove(target);
        timed(QStringLiteral("export as %1").arg(QLatin1String(name)) + suffix,
              [&] { exporter.exportWorkbook(saved, format, target, QSizeF(210, 297)); });
    }
}

void bareConversion(const QString &folder, const QString &templatePath, bool firstRun)
{
    const double ms = bench::bareConversionMs(folder, templatePath);
    if (firstRun)
        std::printf("  bare conversion with a fresh profile: %.0f ms\n", ms);
    else
        record(QStringLiteral("bare soffice --convert-to xls"), ms);
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const int runs = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 3;

    QTemporaryDir folder;
    if (!folder.isValid())
        return 1;
    const QString templatePath = folder.filePath(QStringLiteral("template.xlt"));
    Offices offices(Options::fromEnvironment().withoutOfficesAhead());
    try {
        WriteBytesToFile(templateWorkbookBytes(), templatePath);
        std::printf("Quorbel workbook benchmark, %d run(s), medians in ms\n", runs);
        // Warm-up: makes the per-user office profile if there is none yet.
        QElapsedTimer first;
        first.start();
        offices.createApplication()->Quit();
        std::printf("  first office of the run (makes the profile when there is none): %lld ms\n",
                    static_cast<long long>(first.elapsed()));
        bareConversion(folder.path(), templatePath, true);
        for (int run = 0; run < runs; ++run) {
            oneBuild(offices, folder.path(), templatePath, 10);
            exports(offices, folder.path(), 10);
            oneBuild(offices, folder.path(), templatePath, 1000);
            bareConversion(folder.path(), templatePath, false);
        }
    } catch (const Failure &failure) {
        std::fprintf(stderr, "failed: %s\n", qPrintable(failure.description()));
        return 1;
    }
    for (const QString &name : g_order) {
        const auto &values = g_figures[name];
        std::printf("%-45s %9.1f  (min %.1f, max %.1f, n %zu)\n", qPrintable(name), median(values),
                    *std::min_element(values.begin(), values.end()), *std::max_element(values.begin(), values.end()),
                    values.size());
    }
    return 0;
}
