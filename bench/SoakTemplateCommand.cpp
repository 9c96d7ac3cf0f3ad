// Runs "Start Creating Template" many times in a row against the real office,
// as a user would: the sample data, the click, the preview, "< Back", and
// again. Prints how many builds were done, how many boxes were shown, how
// many offices were still running after each build, and the program's
// resident memory and open file descriptors after the first and the last
// build. Prints figures; asserts nothing.
//
//     soak_template_command [builds]      (200 when not given)

#include "BenchSupport.h"
#include "OfficeChildren.h"
#include "Form1.h"
#include "Form2.h"
#include "Program.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

using namespace quorbel;

namespace {

// Resident memory of this program, in KiB.
long residentKiB()
{
    return long(bench::statusKiB(QStringLiteral("self"), "VmRSS"));
}

int openDescriptors()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)
                   .size());
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir home;
    bench::useBenchHome(home);
    QApplication app(argc, argv);
    const int builds = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 200;

    bench::CountingDialogs dialogs;

    Program program(bench::programServices(dialogs));
    Form1 &main = program.mainWindow();
    program.showMainWindow();
    main.PushButton7_Click(); // "Load Sample/Example Data"

    int done = 0;
    int buildsWithOffices = 0;
    int mostOffices = 0;
    int previewsMissing = 0;
    long firstRss = 0, lastRss = 0;
    int firstFds = 0, lastFds = 0;
    QElapsedTimer timer;
    timer.start();
    for (int build = 1; build <= builds; ++build) {
        main.PushButton6_Click();
        QCoreApplication::processEvents();
        Form2 &preview = program.previewWindow();
        if (!preview.isVisible())
            ++previewsMissing;
        const int offices = int(test::officeChildren().size());
        if (offices > 0)
            ++buildsWithOffices;
        mostOffices = std::max(mostOffices, offices);
        preview.PushButton8_Click(); // "< Back": deletes the scratch workbook
        QCoreApplication::processEvents();
        ++done;
        if (build == 1) {
            firstRss = residentKiB();
            firstFds = openDescriptors();
        }
        lastRss = residentKiB();
        lastFds = openDescriptors();
        if (build % 20 == 0 || build == builds) {
            std::printf("after %4d builds: %d boxes, resident %ld KiB, %d descriptors, %.1f s\n", build, dialogs.boxes,
                        lastRss, lastFds, double(timer.elapsed()) / 1000.0);
            std::fflush(stdout);
        }
    }

    std::printf("builds done: %d\n", done);
    std::printf("boxes shown: %d\n", dialogs.boxes);
    std::printf("previews not shown: %d\n", previewsMissing);
    std::printf("offices still running after a build: %d builds with any, at most %d\n", buildsWithOffices,
                mostOffices);
    std::printf("resident memory after the first build: %ld KiB, after the last: %ld KiB\n", firstRss, lastRss);
    std::printf("open file descriptors after the first build: %d, after the last: %d\n", firstFds, lastFds);
    std::printf("scratch files left: %d\n",
                int(QDir(home.path()).entryList(QDir::Files).size()));
    return 0;
}
