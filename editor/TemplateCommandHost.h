#pragma once

#include "ProgressWindow.h"
#include "TemplateFilling.h"

namespace quorbel {

class Form1;
class Program;

// "Start Creating Template" as the windows see it: the header fields and
// rows of the main window go in, the picture and the scratch workbook go to
// the preview window. A long build shows its progress over the main window
// ("Filling entry 4,000 of 10,000", then "Making the picture of the
// sheet"), with "Cancel", which cancels `cancel`.
class TemplateCommandHost final : public TemplateHost {
public:
    TemplateCommandHost(Program &program, const CancellationToken &cancel, const ProgressTiming &timing = {});

    // Lets the progress window draw and take its "Cancel" when it is due:
    // what the build's token asks before each step.
    void keepResponsive() { m_progressWindow.pump(); }

    QString completedBy() override;
    QDate deadline() override;
    QString projectName() override;
    int entryCount() override;
    ListEntry entry(int position) override;
    void setBusyPointer(bool busy) override;
    void progress(BuildStage stage, int done, int total) override;
    void loadPreviewPicture(const QString &path) override;
    void showNoPreviewPicture() override;
    void setPreviewWorkbook(const QString &path) override;
    void showPreview() override;
    void hideMainWindow() override;
    Dialogs &dialogs() override;

private:
    ProgressReport report() const;

    Program &m_program;
    Form1 &m_mainWindow;
    BuildStage m_stage = BuildStage::Starting;
    int m_done = 0;
    int m_total = 0;
    ProgressWindow m_progressWindow;
};

} // namespace quorbel
