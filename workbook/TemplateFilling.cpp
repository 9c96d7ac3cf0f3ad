#include "TemplateFilling.h"

#include "ErrorReport.h"
#include "Failure.h"
#include "FileProcs.h"
#include "ScratchFolder.h"
#include "Snapshot.h"
#include "Spreadsheet.h"
#include "TemplateWorkbook.h"

#include <QFileInfo>
#include <QRandomGenerator>

#include <limits>
#include <memory>

namespace quorbel {
namespace {

using xl::use;

const QString kLocation = QStringLiteral("Form1.PushButton6_Click");

int randomDigit()
{
    return int(QRandomGenerator::global()->bounded(1, 10));
}

// Row numbers and entry positions are 16-bit; the last sheet row is 32767.
constexpr int kLastRow = std::numeric_limits<qint16>::max();

// Any directory entry of that name, a dangling link included, takes the name.
bool pathTaken(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return FileExists(path) || info.exists() || info.isSymLink();
}

} // namespace

QString scratchWorkbookName(const DigitSource &digits)
{
    QString name = QStringLiteral("vantyk");
    for (int i = 0; i < 8; ++i)
        name += QString::number(digits ? digits() : randomDigit());
    return name;
}

void CreateTemplateWorkbook(TemplateHost &host, const DigitSource &digitSource)
{
    Steps steps(kLocation);

    std::unique_ptr<xl::XlApplication> excel;
    std::shared_ptr<xl::XlWorkbook> workbook;
    QByteArray templateBytes;
    QString templatePath;
    QString picturePath;
    QString workbookPath;
    QString nameText;

    // The instance and workbook of the moment; a step whose object was never
    // made fails with a plain description.
    const auto app = [&]() -> xl::XlApplication & { return use(excel, "spreadsheet application"); };
    const auto book = [&]() -> xl::XlWorkbook & { return use(workbook, "workbook"); };
    const auto firstSheet = [&] { return use(app().ActiveWorkbook(), "workbook").Worksheets()->Item(1); };

    steps(100, [&] { host.setBusyPointer(true); });
    steps(102, [&] { excel = xl::CreateApplication(); });
    steps(104, [&] { templateBytes = templateWorkbookBytes(); });
    steps(106, [&] {
        const QString path = scratchPath(QStringLiteral("template.xlt"));
        // A copy left by an earlier run is used as it is, but only the user's
        // own regular file: never one that someone else planted, nor a link.
        if (!isOwnRegularFile(path)) {
            if (FileExists(path) || QFileInfo(path).isSymLink())
                throw Failure(QStringLiteral("The file %1 is not your own file; it was not used.").arg(path));
            WriteBytesToFile(templateBytes, path);
        }
        templatePath = path;
    });
    steps(108, [&] {
        if (templatePath.isEmpty())
            throw Failure(QStringLiteral("There is no template copy to open."));
        workbook = app().Workbooks()->Open(templatePath, true);
    });
    steps(110, [&] { app().setDisplayAlerts(false); });
    steps(112, [&] { nameText = host.completedBy(); });
    steps(114, [&] { firstSheet()->Select(); });
    steps(116, [&] { firstSheet()->Activate(); });
    steps(118, [&] { app().Cells(1, 7)->setValue(nameText); });
    steps(120, [&] { app().Cells(2, 7)->setValue(host.deadline()); });
    steps(122, [&] { app().Cells(5, 3)->setValue(host.projectName()); });

    qint16 row = 6;
    steps(124, [&] { row = 6; });
    int count = 0;
    steps(126, [&] {
        count = host.entryCount();
        if (count > kLastRow - 5) {
            const int kept = kLastRow - 5;
            count = kept;
            throw Failure(QStringLiteral("The list has more entries than the sheet has rows; only the first %1 "
                                         "entries are written.").arg(kept));
        }
    });
    for (int position = 1; position <= count; ++position) {
        if (steps.test(128, [&] { return position < count; })) {
            steps(130, [&] { app().Rows(row)->Select(); });
            steps(132, [&] { app().Selection()->Copy(); });
            steps(134, [&] { app().Rows(row + 1)->Select(); });
            steps(136, [&] { app().Selection()->Insert(xl::xlShiftDown); });
            steps(138, [&] { app().Application().setCutCopyMode(false); });
        }
        steps(142, [&] { app().Cells(row, 1)->Select(); });
        steps(146, [&] { app().Cells(row, 4)->setValue(host.entryDueBy(position)); });
        steps(148, [&] { app().Cells(row, 3)->setValue(host.entryProject(position)); });
        steps(150, [&] { app().Cells(row, 5)->setValue(host.entryNotes(position)); });
        steps(152, [&] {
            const bool done = host.entryDone(position) == QLatin1String("V");
            app().Cells(row, 2)->setValue(done ? QStringLiteral("a") : QString());
        });
        steps(154, [&] { row = qint16(row + 1); });
    }

    steps(158, [&] { host.setBusyPointer(true); });
    steps(160, [&] { firstSheet()->Select(); });
    steps(162, [&] { app().Cells(1, 2)->Select(); });
    steps(164, [&] { app().setDisplayAlerts(true); });
    steps(166, [&] { app().setVisible(false); });

    // A fresh name while a file of that name exists.
    for (;;) {
        QString name;
        steps(168, [&] { name = scratchWorkbookName(digitSource); });
        steps(180, [&] { workbookPath = scratchPath(name + QStringLiteral(".xls")); });
        bool taken = false;
        steps(182, [&] { taken = pathTaken(workbookPath); });
        if (!taken)
            break;
    }
    steps(184, [&] {
        book().SaveAs(workbookPath, WorkbookSaveFormat(excel.get()));
    });
    steps(186, [&] { app().setDisplayAlerts(false); });
    steps(188, [&] { book().Close(); });
    steps(190, [&] { app().Quit(); });
    steps(192, [&] {
        workbook.reset();
        excel.reset();
    });

    steps(194, [&] { excel = OpenInNewInstance(workbookPath); });
    steps(196, [&] { host.setBusyPointer(true); });
    steps(198, [&] {
        auto &books = *app().Workbooks();
        workbook = books.Item(books.count());
    });
    steps(200, [&] {
        picturePath = scratchPath(QStringLiteral("temp.bmp"));
        saveCellsActivesheet(book(), picturePath);
    });
    steps(202, [&] { app().setDisplayAlerts(false); });
    steps(204, [&] { book().Close(); });
    steps(206, [&] { app().Quit(); });
    workbook.reset();
    excel.reset();

    steps(208, [&] { host.setBusyPointer(false); });
    steps(210, [&] { host.loadPreviewPicture(picturePath.isEmpty() ? scratchPath(QStringLiteral("temp.bmp")) : picturePath); });
    steps(212, [&] { host.setPreviewWorkbook(workbookPath); });
    steps(214, [&] { host.showPreview(); });
    steps(216, [&] { host.hideMainWindow(); });
    steps(218, [&] { DeleteFileQuietly(scratchPath(QStringLiteral("temp.bmp"))); });
    steps(220, [&] {
        // Only the user's own copy: a file that was refused at 106 stays as it is.
        if (!templatePath.isEmpty())
            DeleteFileQuietly(templatePath);
    });
}

} // namespace quorbel
