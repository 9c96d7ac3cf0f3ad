#include "InputPause.h"

#include <QCoreApplication>
#include <QEvent>

namespace quorbel {

InputPause::InputPause()
{
    m_sinceInput.start();
    if (QCoreApplication *app = QCoreApplication::instance())
        app->installEventFilter(this);
}

InputPause::~InputPause() = default;

bool InputPause::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseMove:
    case QEvent::Wheel:
        m_sinceInput.restart();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace quorbel
