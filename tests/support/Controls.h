#pragma once

// A window's control found by its object name (its designed name), as the
// tests reach the controls: windows keep their controls to themselves.

#include <QObject>
#include <QString>

#include <cstdlib>

namespace quorbel::test {

template <typename Control>
Control *control(const QObject &window, const char *name)
{
    Control *found = window.findChild<Control *>(QLatin1String(name));
    if (!found) {
        qFatal("%s has no %s named \"%s\"", window.metaObject()->className(), Control::staticMetaObject.className(),
               name);
        std::abort();
    }
    return found;
}

} // namespace quorbel::test
