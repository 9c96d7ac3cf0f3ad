#include "TemplateCommandHost.h"

#include "Form1.h"
#include "Form2.h"
#include "PictureBox.h"
#include "Program.h"

#include <QLocale>

namespace quorbel {
namespace {

// The text of a stage: while filling, the entry and the count in the
// user's locale.
QString progressText(BuildStage stage, int done, int total)
{
    switch (stage) {
    case BuildStage::Starting:
        return QStringLiteral("Starting the spreadsheet application");
    case BuildStage::Filling:
        return QStringLiteral("Filling entry %1 of %2").arg(QLocale().toString(done), QLocale().toString(total));
    case BuildStage::Saving:
        return QStringLiteral("Saving the workbook");
    case BuildStage::Picturing:
        return QStringLiteral("Making the picture of the sheet");
    case BuildStage::Finished:
        break;
    }
    return {};
}

} // namespace

TemplateCommandHost::TemplateCommandHost(Program &program, const CancellationToken &cancel,
                                         const ProgressTiming &timing)
    : m_program(program), m_mainWindow(program.mainWindow()),
      m_progressWindow(program.mainWindow(), cancel, [this] { return report(); }, timing)
{
}

// The bar counts the entries while they are written; the other stages last
// as long as they last.
ProgressReport TemplateCommandHost::report() const
{
    const bool filling = m_stage == BuildStage::Filling;
    return ProgressReport {progressText(m_stage, m_done, m_total), filling ? m_done : 0, filling ? m_total : 0};
}

// Called at every entry: only the numbers are kept; the window asks for
// its text when it draws.
void TemplateCommandHost::progress(BuildStage stage, int done, int total)
{
    m_stage = stage;
    m_done = done;
    m_total = total;
    if (stage == BuildStage::Finished)
        m_progressWindow.close();
    else
        m_progressWindow.pump();
}

QString TemplateCommandHost::completedBy() { return m_mainWindow.completedBy(); }
QDate TemplateCommandHost::deadline() { return m_mainWindow.deadline(); }
QString TemplateCommandHost::projectName() { return m_mainWindow.projectName(); }
int TemplateCommandHost::entryCount() { return m_mainWindow.entryCount(); }
ListEntry TemplateCommandHost::entry(int position) { return m_mainWindow.entry(position - 1); }

void TemplateCommandHost::setBusyPointer(bool busy)
{
    m_mainWindow.setBusyPointer(busy);
}

// The first use of the preview window loads it; its load handling runs
// before the picture is assigned.
void TemplateCommandHost::loadPreviewPicture(const QString &path)
{
    m_program.previewWindow().loadPictureFile(path);
}

void TemplateCommandHost::showNoPreviewPicture()
{
    m_program.previewWindow().showNoPicture();
}

void TemplateCommandHost::setPreviewWorkbook(const QString &path)
{
    m_program.previewWindow().mExcelFile = path;
}

void TemplateCommandHost::showPreview()
{
    // What a screen reader says of the picture (its size is added to it).
    const int entries = m_mainWindow.entryCount();
    m_program.previewWindow().setPictureDescription(
        entries == 1 ? QStringLiteral("The sheet filled with 1 to-do entry")
                     : QStringLiteral("The sheet filled with %1 to-do entries").arg(entries));
    m_program.showPreviewWindow();
}

void TemplateCommandHost::hideMainWindow()
{
    m_mainWindow.hide();
}

Dialogs &TemplateCommandHost::dialogs()
{
    return m_program.dialogs();
}

} // namespace quorbel
