#pragma once

#include "CancellationToken.h"
#include "ListEntry.h"

#include <QDate>
#include <QString>

#include <functional>

namespace quorbel {

class Dialogs;
class Offices;

// How far a build has come.
enum class BuildStage {
    Starting,   // taking an office, opening the template
    Filling,    // writing the entries, one by one
    Saving,     // saving the scratch workbook
    Picturing,  // making the picture of the sheet
    Finished,   // the build is over (a hand-over to the preview may follow)
};

// What "Start Creating Template" reads from the main window and hands back to
// it. The window implements it; the template command knows no window class.
// Every member may throw Failure; the command reports it with its step.
class TemplateHost {
public:
    virtual ~TemplateHost() = default;

    // The header fields, read at the moment they are written.
    virtual QString completedBy() = 0;   // "To Be Completed By:"
    virtual QDate deadline() = 0;        // "Deadline:"
    virtual QString projectName() = 0;   // "Project Name:"

    // The list's entries, counted from 1: each read whole, once, when its
    // row is written.
    virtual int entryCount() = 0;
    virtual ListEntry entry(int position) = 0;

    // The main window's pointer: busy (hourglass) or the default.
    virtual void setBusyPointer(bool busy) = 0;

    // How far the build has come: its stage and, while filling, the entry
    // being written (`done`, from 1) of `total`. Called at every entry, so
    // it is cheap; a long build shows it. Never fails.
    virtual void progress(BuildStage stage, int done, int total) = 0;

    // The hand-over to the preview window, in this order. The first use of
    // the preview loads it.
    virtual void loadPreviewPicture(const QString &path) = 0;
    // In place of loadPreviewPicture when no picture of the sheet could be
    // made: the preview's picture area says so (and shows no older picture).
    virtual void showNoPreviewPicture() = 0;
    virtual void setPreviewWorkbook(const QString &path) = 0;
    virtual void showPreview() = 0;
    virtual void hideMainWindow() = 0;

    // What shows the command's boxes (its failure reports).
    virtual Dialogs &dialogs() = 0;
};

// Draws a digit from 1 to 9, each equally likely.
using DigitSource = std::function<int()>;

// The scratch workbook's name without ".xls": "vantyk" and eight digits from
// 1 to 9 (from `digits`, or drawn at random when it is empty).
QString scratchWorkbookName(const DigitSource &digits);

// "Start Creating Template": fills the template with the header fields and
// the list in instances of `offices`, saves the scratch workbook, has its
// sheet pictured and hands both to the preview window. A failing step is
// reported (location "Form1.PushButton6_Click") and the command goes on
// with the next step, except when the failure leaves the later steps
// nothing to work on: the spreadsheet instance lost (not started, crashed,
// hung), the template copy not written or not opened, the workbook not
// saved. Then:
// - while filling and saving, the command ends the instance, deletes the
//   template copy, the picture and any half-saved workbook, reports that one
//   failure and shows no preview (the main window stays as it was); an
//   office that crashed (an InstanceFailure with the loss Ended) first
//   gets one more run of the whole command from its start, in fresh
//   instances, without a box;
// - while picturing the saved workbook, a crashed office gets one more try
//   in a fresh instance; when that fails too, or the office hung or did not
//   start, the failure is reported once and the preview opens with the
//   workbook and no picture.
// An instance lost after its work was done (while closing) costs nothing
// and is not reported. `cancel` cancelled (the user's Cancel, or the
// program ending) stops the run at its next step while it fills, saves and
// pictures (also between the pages of a long sheet's picture): the instance
// is ended, the template copy, the picture and the scratch workbook are
// deleted, no box shows, there is no second run and no preview, and the
// main window stays as it was. A host member that throws Cancelled stops it
// so too. A second run never shows a box the first one showed. The host
// hears of each stage (progress()), and of Finished before the hand-over or
// when the run stops.
void CreateTemplateWorkbook(TemplateHost &host, Offices &offices, const CancellationToken &cancel = {},
                            const DigitSource &digits = {});

} // namespace quorbel
