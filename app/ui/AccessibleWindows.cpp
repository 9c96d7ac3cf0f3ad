#include "AccessibleWindows.h"

#include <QAccessibleWidget>
#include <QWidget>

namespace quorbel {

namespace {

// A window of the program's own: a widget whose class derives from QWidget
// directly (Qt's own window classes, dialogs and main windows, have
// interfaces of their own) and that is a top-level window.
bool isPlainWindow(QObject *object)
{
    auto *widget = qobject_cast<QWidget *>(object);
    return widget && widget->isWindow() && widget->windowType() == Qt::Window
        && object->metaObject()->superClass() == &QWidget::staticMetaObject;
}

QAccessibleInterface *windowInterface(const QString &, QObject *object)
{
    if (!isPlainWindow(object))
        return nullptr;
    return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Window);
}

} // namespace

void installAccessibleWindows()
{
    static const bool installed = (QAccessible::installFactory(windowInterface), true);
    Q_UNUSED(installed);
}

} // namespace quorbel
