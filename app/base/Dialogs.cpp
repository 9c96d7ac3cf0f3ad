#include "Dialogs.h"

#include "Title.h"

#include <cstdio>

namespace quorbel {

BoxAnswer StderrDialogs::showBox(const Box &box)
{
    std::fprintf(stderr, "[%s] %s\n", qUtf8Printable(box.title), qUtf8Printable(box.text));
    return box.defaultButton;
}

SaveChoice StderrDialogs::getSaveFileName(const QString &, const QStringList &filters)
{
    return {QString(), filters.value(0)};
}

BoxAnswer messageBox(Dialogs &dialogs, const QString &text, BoxButtons buttons, BoxAnswer defaultButton)
{
    Box box;
    box.title = applicationTitle();
    box.text = text;
    box.buttons = buttons;
    box.defaultButton = defaultButton;
    return dialogs.showBox(box);
}

} // namespace quorbel
