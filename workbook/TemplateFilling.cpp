#include "TemplateFilling.h"

#include "ErrorReport.h"
#include "Failure.h"
#include "FileProcs.h"
#include "ListEntry.h"
#include "Offices.h"
#include "ScratchFolder.h"
#include "Snapshot.h"
#include "Spreadsheet.h"
#include "TemplateCells.h"
#include "TemplateWorkbook.h"
#include "TimingLog.h"

#include <QFileInfo>
#include <QRandomGenerator>

#include <QSet>

#include <functional>
#include <memory>
#include <optional>

namespace quorbel {
namespace {

using xl::use;

const QString kLocation = QStringLiteral("Form1.PushButton6_Click");

int randomDigit()
{
    return int(QRandomGenerator::global()->bounded(1, 10));
}

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

namespace {

// The numbered steps of one run of the command. An ordinary failure is
// reported with its step and the run goes on with the next statement. A
// failure that leaves the later steps nothing to work on (a lost instance,
// no template copy, no workbook, no saved file: the essential steps) stops
// the run instead: it is kept, not shown, so that the command reports it
// once, or tries again. Ending an instance whose work is done (the closing
// steps) loses nothing when the instance is lost by then: nothing is
// reported. A second run does not show again what the first one showed.
StepPolicy buildPolicy(QSet<QString> &reported)
{
    return {&instanceLost, &reported};
}

// Reports what stopped the run, unless it was the program ending.
void reportStop(Steps &steps, const Steps::Stop &stop)
{
    if (!stop.cancelled)
        steps.report(stop.description, stop.step);
}

// The sheet's picture, made in the scratch folder for the preview.
QString picturePath()
{
    return scratchPath(QStringLiteral("temp.bmp"));
}

// The same where nothing may throw (cleaning up): empty when there is no
// scratch folder to be had.
QString picturePathOrNone()
{
    try {
        return picturePath();
    } catch (...) {
        return {};
    }
}

// One run of the command and what it holds.
struct Build {
    Build(TemplateHost &theHost, Offices &theOffices, const CancellationToken &theCancel, const DigitSource &theDigits,
          QSet<QString> &reported)
        : host(theHost), offices(theOffices), cancel(theCancel), digits(theDigits),
          steps(theHost.dialogs(), kLocation, buildPolicy(reported))
    {
        steps.stopWhenCancelled(&cancel);
    }

    TemplateHost &host;
    Offices &offices;
    const CancellationToken &cancel;
    const DigitSource &digits;
    Steps steps;

    std::unique_ptr<xl::XlApplication> excel;
    // The first instance, its workbook closed, kept to picture the saved
    // workbook when offices are kept ahead and none of them is ready (the
    // one kept office was taken for the fill): the office that has just
    // filled the sheet is warm, where a second one would be started or
    // still warming up while the user waits, and ended afterwards.
    std::unique_ptr<xl::XlApplication> keptForPicture;
    std::shared_ptr<xl::XlWorkbook> workbook;
    // The template copy this run wrote (also when writing it failed part
    // way), deleted at the end; empty for a copy that is not the user's own.
    QString templateCopy;
    bool templateReady = false;
    QString workbookPath;
    bool workbookSaved = false;

    xl::XlApplication &app() { return use(excel, "spreadsheet application"); }
    xl::XlWorkbook &book() { return use(workbook, "workbook"); }
    std::shared_ptr<xl::XlWorksheet> firstSheet() { return use(app().ActiveWorkbook(), "workbook").Worksheets()->Item(1); }
    std::shared_ptr<xl::XlRange> cell(sheet::CellAddress at) { return app().Cells(at.row, at.column); }

    // Ends the instances this run holds, if any. Quit never fails.
    void endInstance()
    {
        workbook.reset();
        for (std::unique_ptr<xl::XlApplication> *held : {&excel, &keptForPicture}) {
            if (*held)
                (*held)->Quit();
            held->reset();
        }
    }

    // Whether the first instance pictures the workbook too: when offices
    // are kept ahead of need and none of them is ready. Without offices kept
    // ahead, each half has an instance of its own, as started.
    bool pictureInFirstInstance() const
    {
        const SpareOffice &spare = offices.spare();
        return spare.wanted() && !spare.hasReadyOffice();
    }
};

// Steps 100 to 192: the template filled in the first instance and saved as
// the scratch workbook. Stops at the first failure that leaves nothing to go
// on with.
void fillAndSave(Build &b)
{
    Steps &steps = b.steps;
    TemplateHost &host = b.host;
    QByteArray templateBytes;
    QString nameText;

    steps(100, [&] { host.setBusyPointer(true); });
    host.progress(BuildStage::Starting, 0, 0);
    steps.essential(102, [&] {
        b.excel = b.offices.createApplication();
        b.excel->setCancellation(&b.cancel);
    });
    logTiming("102 first office taken");
    steps.essential(104, [&] { templateBytes = templateWorkbookBytes(); });
    steps.essential(106, [&] {
        const QString path = scratchPath(QStringLiteral("template.xlt"));
        // A copy left by an earlier run is used as it is, but only the user's
        // own regular file: never one that someone else planted, nor a link.
        if (!isOwnRegularFile(path)) {
            if (FileExists(path) || QFileInfo(path).isSymLink())
                throw Failure(QStringLiteral("The file %1 is not your own file; it was not used.").arg(path));
            // From here the copy is this run's, even when writing it fails
            // part way (a full disk): it is deleted at the end.
            b.templateCopy = path;
            WriteBytesToFile(templateBytes, path);
        }
        b.templateCopy = path;
        b.templateReady = true;
    });
    steps.essential(108, [&] {
        if (!b.templateReady)
            throw Failure(QStringLiteral("There is no template copy to open."));
        b.workbook = b.app().Workbooks()->Open(b.templateCopy, true);
    });
    logTiming("108 template opened");
    steps(110, [&] { b.app().setDisplayAlerts(false); });
    steps(112, [&] { nameText = host.completedBy(); });
    steps(114, [&] { b.firstSheet()->Select(); });
    steps(116, [&] { b.firstSheet()->Activate(); });
    steps(118, [&] { b.cell(sheet::kCompletedByCell)->setValue(nameText); });
    steps(120, [&] { b.cell(sheet::kDeadlineCell)->setValue(host.deadline()); });
    steps(122, [&] { b.cell(sheet::kProjectNameCell)->setValue(host.projectName()); });

    qint16 row = sheet::kFirstEntryRow;
    steps(124, [&] { row = sheet::kFirstEntryRow; });
    int count = 0;
    steps(126, [&] {
        count = host.entryCount();
        if (count > sheet::kMaxEntries) {
            const int kept = sheet::kMaxEntries;
            count = kept;
            throw Failure(QStringLiteral("The list has more entries than the sheet has rows; only the first %1 "
                                         "entries are written.").arg(kept));
        }
    });
    for (int position = 1; position <= count && !steps.stopped(); ++position) {
        host.progress(BuildStage::Filling, position, count);
        if (steps.test(128, [&] { return position < count; })) {
            steps(130, [&] { b.app().Rows(row)->Select(); });
            steps(132, [&] { b.app().Selection()->Copy(); });
            steps(134, [&] { b.app().Rows(row + 1)->Select(); });
            steps(136, [&] { b.app().Selection()->Insert(xl::xlShiftDown); });
            steps(138, [&] { b.app().Application().setCutCopyMode(false); });
        }
        steps(142, [&] { b.app().Cells(row, sheet::kEntrySelectColumn)->Select(); });
        ListEntry entry;
        steps(146, [&] {
            entry = host.entry(position);
            b.app().Cells(row, sheet::kDueByColumn)->setValue(entry.dueBy);
        });
        steps(148, [&] { b.app().Cells(row, sheet::kProjectColumn)->setValue(entry.project); });
        steps(150, [&] { b.app().Cells(row, sheet::kNotesColumn)->setValue(entry.notes); });
        steps(152, [&] {
            b.app().Cells(row, sheet::kDoneColumn)->setValue(sheet::doneCellText(entry.isDone()));
        });
        steps(154, [&] { row = qint16(row + 1); });
    }

    logTiming("156 entries written");
    host.progress(BuildStage::Saving, 0, 0);
    steps(158, [&] { host.setBusyPointer(true); });
    steps(160, [&] { b.firstSheet()->Select(); });
    steps(162, [&] { b.cell(sheet::kSavedSelectionCell)->Select(); });
    steps(164, [&] { b.app().setDisplayAlerts(true); });
    steps(166, [&] { b.app().setVisible(false); });

    // A fresh name while a file of that name exists.
    while (!steps.stopped()) {
        QString name;
        steps(168, [&] { name = scratchWorkbookName(b.digits); });
        steps(180, [&] { b.workbookPath = scratchPath(name + QStringLiteral(".xls")); });
        bool taken = false;
        steps(182, [&] { taken = pathTaken(b.workbookPath); });
        if (!taken)
            break;
    }
    steps.essential(184, [&] {
        b.book().SaveAs(b.workbookPath, WorkbookSaveFormat(b.app()));
        b.workbookSaved = true;
        // The user's list: for the user's eyes only, whatever the office's
        // umask made of it.
        restrictToOwner(b.workbookPath);
    });
    logTiming("184 workbook saved");
    steps.closing(186, [&] { b.app().setDisplayAlerts(false); });
    steps.closing(188, [&] { b.book().Close(); });
    steps.closing(190, [&] {
        if (b.pictureInFirstInstance())
            b.keptForPicture = std::move(b.excel);
        else
            b.app().Quit();
    });
    steps(192, [&] {
        b.workbook.reset();
        b.excel.reset();
    });
    logTiming("192 first office ended (or kept for the picture)");
}

// Steps 194 to 206: the saved workbook opened in a second instance and its
// sheet pictured into temp.bmp.
void makePicture(Build &b)
{
    Steps &steps = b.steps;
    b.host.progress(BuildStage::Picturing, 0, 0);
    steps.essential(194, [&] {
        if (auto first = std::move(b.keptForPicture)) {
            // As a new instance starts: prompts shown, nothing open.
            first->setDisplayAlerts(true);
            first->Workbooks()->Open(b.workbookPath);
            b.excel = std::move(first);
        } else {
            b.excel = OpenInNewInstance(b.offices, b.workbookPath);
        }
        b.excel->setCancellation(&b.cancel);
    });
    logTiming("194 second office taken, workbook opened");
    steps(196, [&] { b.host.setBusyPointer(true); });
    steps.essential(198, [&] {
        const auto books = b.app().Workbooks();
        b.workbook = books->Item(books->count());
    });
    steps(200, [&] {
        saveCellsActivesheet(b.book(), picturePath(), b.host.dialogs(), &b.cancel);
    });
    logTiming("200 picture made");
    steps.closing(202, [&] { b.app().setDisplayAlerts(false); });
    steps.closing(204, [&] { b.book().Close(); });
    steps.closing(206, [&] { b.app().Quit(); });
    b.endInstance();
    logTiming("206 second office ended");
}

// What a stopped run leaves: no instance, no template copy, no picture, no
// half-made workbook.
void removeLeftovers(Build &b, bool keepWorkbook)
{
    b.endInstance();
    const QString picture = picturePathOrNone();
    DeleteFileQuietly(picture);
    if (!keepWorkbook && !b.workbookPath.isEmpty() && QFileInfo(b.workbookPath).isFile())
        DeleteFileQuietly(b.workbookPath);
    if (!b.templateCopy.isEmpty())
        DeleteFileQuietly(b.templateCopy);
    // A private folder made for this run inside a shared TEMP goes too.
    releaseScratchFolder(picture);
}

bool crashed(const Steps::Stop &stop)
{
    return lossOf(stop.failure) == InstanceLoss::Ended;
}

} // namespace

void CreateTemplateWorkbook(TemplateHost &host, Offices &offices, const CancellationToken &cancel,
                            const DigitSource &digitSource)
{
    logTiming("100 command starts");
    // The offices the command ends are killed at their steps; what is left
    // of their ending (reaping, removing their folders) is done when the
    // command returns, after the preview is on screen.
    OfficeEndings endings = offices.deferEndings();
    QSet<QString> reported;
    for (int attempt = 1;; ++attempt) {
        Build b(host, offices, cancel, digitSource, reported);
        fillAndSave(b);
        if (b.steps.stopped()) {
            removeLeftovers(b, false);
            // An office that crashed gets one more chance, from the start,
            // in fresh instances; a hang (the user has waited the limit
            // already) or a failed start is reported at once.
            if (crashed(b.steps.stop()) && attempt == 1)
                continue;
            host.progress(BuildStage::Finished, 0, 0);
            host.setBusyPointer(false);
            reportStop(b.steps, b.steps.stop());
            return;
        }

        // The workbook is saved complete. Its picture gets one more try in
        // a fresh instance when the office crashed while making it; when no
        // picture can be made the preview still opens, saying so, so that
        // the workbook can be saved.
        makePicture(b);
        if (b.steps.stopped() && crashed(b.steps.stop())) {
            b.endInstance();
            b.steps.clearStop();
            makePicture(b);
        }
        host.progress(BuildStage::Finished, 0, 0);
        // Cancelled: nothing is handed over, and the workbook goes too.
        if (b.steps.stopped() && b.steps.stop().cancelled) {
            removeLeftovers(b, false);
            host.setBusyPointer(false);
            return;
        }
        const bool pictureLost = b.steps.stopped();
        if (pictureLost) {
            b.endInstance();
            DeleteFileQuietly(picturePathOrNone());
        }

        Steps &steps = b.steps;
        const std::optional<Steps::Stop> pictureStop =
            pictureLost ? std::optional(steps.stop()) : std::nullopt;
        steps.clearStop();
        // The hand-over runs to its end: the preview takes the workbook, and
        // its closing deletes it.
        steps.stopWhenCancelled(nullptr);
        steps(208, [&] { host.setBusyPointer(false); });
        if (pictureStop)
            reportStop(steps, *pictureStop);
        const QString picture = picturePathOrNone();
        steps(210, [&] {
            // No picture file: the snapshot has said why (or had nothing to
            // picture); the preview says that there is no picture.
            if (pictureLost || !QFileInfo(picture).isFile())
                host.showNoPreviewPicture();
            else
                host.loadPreviewPicture(picture);
        });
        logTiming("210 picture loaded into the preview");
        steps(212, [&] { host.setPreviewWorkbook(b.workbookPath); });
        steps(214, [&] { host.showPreview(); });
        logTiming("214 preview shown");
        steps(216, [&] { host.hideMainWindow(); });
        steps(218, [&] { DeleteFileQuietly(picture); });
        steps(220, [&] {
            // Only the user's own copy: a file that was refused at 106 stays as it is.
            if (!b.templateCopy.isEmpty())
                DeleteFileQuietly(b.templateCopy);
        });
        logTiming("220 command ends");
        return;
    }
}

} // namespace quorbel
