#pragma once

#include "Dialogs.h"

#include <QList>
#include <QQueue>
#include <QString>

namespace quorbel::test {

// Dialogs with scripted answers: every box shown is recorded; Yes/No boxes
// take the next queued answer (the box's default when none is queued); the
// save dialog takes the next queued name (empty = cancelled). The code under
// test is handed it.
class ScriptedDialogs final : public Dialogs {
public:
    BoxAnswer showBox(const Box &box) override;
    QString getSaveFileName(const QString &title, const QString &filter) override;

    void setNextAnswer(BoxAnswer answer) { m_answers.enqueue(answer); }
    void setNextFileName(const QString &name) { m_fileNames.enqueue(name); }

    QList<Box> boxes;
    struct SaveRequest {
        QString title;
        QString filter;
    };
    QList<SaveRequest> saveRequests;

    // The texts of the "Application Error" boxes shown so far.
    QStringList errorTexts() const;
    void clear();

private:
    QQueue<BoxAnswer> m_answers;
    QQueue<QString> m_fileNames;
};

} // namespace quorbel::test
