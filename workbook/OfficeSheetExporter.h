#pragma once

// The sheet exporter the program hands the preview window: it converts the
// scratch workbook in a spreadsheet instance of the program's offices.
//
// Each conversion takes its own instance (Offices::createApplication: one
// kept ahead of need when the program keeps one, else a private office
// started for it, a few hundred milliseconds) and ends it (Quit) before it
// returns, whatever happened; no office is started before a conversion is
// asked for, and none is left between two. The instance opens the workbook
// read-only and writes the new file from it:
// - Xlsx and Ods: the workbook saved in that format (its sheets, cells,
//   texts and formats, as far as the format carries them);
// - Pdf: every sheet as the office paginates it for paper of the given size,
//   portrait, with the page set-up the workbook has (margins, headers,
//   grid), scaled to fit the width of the page, printing the sheet's used
//   area only, with the rows above the first entry row (the sheet's heading)
//   repeated at the top of every page; the text as text. The page set-up is
//   changed in the open copy only: the workbook file is never written.
// - Xls: a byte copy of the workbook; no office is needed.
//
// The workbook must be the user's own regular file (never one reached
// through a link); the target must be absent or a regular file of the
// user's own (it is replaced). The new file is written in a folder of the
// program's own made beside the target (".quorbel-" and six characters,
// mode 0700) and renamed to the target once it is complete, so nothing is
// ever written through a link put in the target's place. The cancellation token is asked before each
// step (after the office has started, after the workbook is open, before it
// is written out): a cancel ends the instance, removes what was written and
// throws Cancelled.

#include "SheetExport.h"

namespace quorbel {

class Offices;

class OfficeSheetExporter final : public SheetExporter {
public:
    // Takes its instances from `offices` (not owned), which must outlive it.
    explicit OfficeSheetExporter(Offices &offices) : m_offices(offices) {}

    void exportWorkbook(const QString &workbook, SheetFormat format, const QString &target, QSizeF paperMm,
                        const CancellationToken *cancel = nullptr) override;

private:
    void convert(const QString &workbook, SheetFormat format, const QString &target, QSizeF paperMm,
                 const CancellationToken *cancel);

    Offices &m_offices;
};

} // namespace quorbel
