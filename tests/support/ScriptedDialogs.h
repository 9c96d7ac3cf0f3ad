#pragma once

#include "Dialogs.h"

#include <QList>
#include <QQueue>
#include <QString>

namespace quorbel::test {

// Dialogs with scripted answers: every box shown is recorded; Yes/No boxes
// take the next queued answer (the box's default when none is queued); the
// save dialog takes the next queued name (empty = cancelled) with the filter
// queued with it (the first filter offered when none was). The code under
// test is handed it.
class ScriptedDialogs final : public Dialogs {
public:
    BoxAnswer showBox(const Box &box) override;
    SaveChoice getSaveFileName(const QString &title, const QStringList &filters) override;

    void setNextAnswer(BoxAnswer answer) { m_answers.enqueue(answer); }
    void setNextFileName(const QString &name, const QString &filter = QString()) { m_saves.enqueue({name, filter}); }

    QList<Box> boxes;
    struct SaveRequest {
        QString title;
        QStringList filters;
    };
    QList<SaveRequest> saveRequests;

    // The texts of the "Application Error" boxes shown so far.
    QStringList errorTexts() const;
    void clear();

private:
    QQueue<BoxAnswer> m_answers;
    QQueue<SaveChoice> m_saves;
};

} // namespace quorbel::test
