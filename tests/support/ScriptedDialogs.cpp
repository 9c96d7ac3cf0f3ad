#include "ScriptedDialogs.h"

namespace quorbel::test {

BoxAnswer ScriptedDialogs::showBox(const Box &box)
{
    boxes.append(box);
    if (box.buttons == BoxButtons::Ok)
        return BoxAnswer::Ok;
    return m_answers.isEmpty() ? box.defaultButton : m_answers.dequeue();
}

QString ScriptedDialogs::getSaveFileName(const QString &title, const QString &filter)
{
    saveRequests.append({title, filter});
    return m_fileNames.isEmpty() ? QString() : m_fileNames.dequeue();
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
    m_fileNames.clear();
}

} // namespace quorbel::test
