#include "ScriptedDialogs.h"

namespace quorbel::test {

BoxAnswer ScriptedDialogs::showBox(const Box &box)
{
    boxes.append(box);
    if (box.buttons == BoxButtons::Ok)
        return BoxAnswer::Ok;
    return m_answers.isEmpty() ? box.defaultButton : m_answers.dequeue();
}

SaveChoice ScriptedDialogs::getSaveFileName(const QString &title, const QStringList &filters)
{
    saveRequests.append({title, filters});
    SaveChoice choice = m_saves.isEmpty() ? SaveChoice() : m_saves.dequeue();
    if (choice.filter.isEmpty())
        choice.filter = filters.value(0);
    return choice;
}

QStringList ScriptedDialogs::errorTexts() const
{
    QStringList texts;
    for (const Box &box : boxes) {
        if (box.title == QLatin1String("Application Error"))
            texts.append(box.text);
    }
    return texts;
}

void ScriptedDialogs::clear()
{
    boxes.clear();
    saveRequests.clear();
    m_answers.clear();
    m_saves.clear();
}

} // namespace quorbel::test
