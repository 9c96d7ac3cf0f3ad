#include "Dialogs.h"

#include "Title.h"

#include <cstdio>

namespace quorbel {
namespace {

class StderrDialogs final : public Dialogs {
public:
    BoxAnswer showBox(const Box &box) override
    {
        std::fprintf(stderr, "[%s] %s\n", qUtf8Printable(box.title), qUtf8Printable(box.text));
        return box.defaultButton;
    }
    QString getSaveFileName(const QString &, const QString &) override { return {}; }
};

StderrDialogs g_fallback;
Dialogs *g_current = nullptr;

} // namespace

Dialogs &Dialogs::current()
{
    return g_current ? *g_current : g_fallback;
}

void Dialogs::setCurrent(Dialogs *dialogs)
{
    g_current = dialogs;
}

BoxAnswer messageBox(const QString &text, BoxButtons buttons, BoxAnswer defaultButton)
{
    Box box;
    box.title = applicationTitle();
    box.text = text;
    box.buttons = buttons;
    box.defaultButton = defaultButton;
    return Dialogs::current().showBox(box);
}

} // namespace quorbel
