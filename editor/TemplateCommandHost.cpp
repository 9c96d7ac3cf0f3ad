#include "TemplateCommandHost.h"

#include "Form1.h"
#include "Form2.h"
#include "PictureBox.h"
#include "Program.h"


namespace quorbel {

TemplateCommandHost::TemplateCommandHost(Program &program)
    : m_program(program), m_mainWindow(program.mainWindow())
{
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
    m_program.previewWindow().Picture1->setAccessibleDescription(
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
