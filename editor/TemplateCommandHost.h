#pragma once

#include "TemplateFilling.h"

namespace quorbel {

class Form1;
class Program;

// "Start Creating Template" as the windows see it: the header fields and
// rows of the main window go in, the picture and the scratch workbook go to
// the preview window.
class TemplateCommandHost final : public TemplateHost {
public:
    explicit TemplateCommandHost(Program &program);

    QString completedBy() override;
    QDate deadline() override;
    QString projectName() override;
    int entryCount() override;
    ListEntry entry(int position) override;
    void setBusyPointer(bool busy) override;
    void loadPreviewPicture(const QString &path) override;
    void showNoPreviewPicture() override;
    void setPreviewWorkbook(const QString &path) override;
    void showPreview() override;
    void hideMainWindow() override;
    Dialogs &dialogs() override;

private:
    Program &m_program;
    Form1 &m_mainWindow;
};

} // namespace quorbel
