#pragma once

// A window's controls as a test reaches them: by object name (each control's
// designed name), from outside the window.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTest>

#include <source_location>
#include <stdexcept>

namespace quorbel::test {

// Thrown when a control is not there, after the failure is recorded: the
// test function cannot go on without it.
struct MissingControl : std::logic_error {
    using std::logic_error::logic_error;
};

// The child of `window` (at any depth) named `name`, as a T. When there is
// none of that kind, the running test fails at the caller's line and ends.
template <class T>
T *control(QObject &window, const char *name, std::source_location where = std::source_location::current())
{
    if (T *child = window.findChild<T *>(QString::fromLatin1(name)))
        return child;
    const QByteArray message = QByteArray("No control \"") + name + "\" of the expected kind in "
                               + window.metaObject()->className();
    QTest::qFail(message.constData(), where.file_name(), int(where.line()));
    throw MissingControl(message.toStdString());
}

} // namespace quorbel::test
