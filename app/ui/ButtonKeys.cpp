#include "ButtonKeys.h"

#include <QAbstractButton>
#include <QEvent>
#include <QKeyEvent>

namespace quorbel {
namespace {

class ReturnPresses : public QObject {
public:
    explicit ReturnPresses(QAbstractButton *button) : QObject(button), m_button(button) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_button && event->type() == QEvent::KeyPress) {
            const auto *key = static_cast<QKeyEvent *>(event);
            const bool returnKey = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
            const Qt::KeyboardModifiers others = key->modifiers() & ~Qt::KeypadModifier;
            if (returnKey && others == Qt::NoModifier) {
                if (!key->isAutoRepeat() && m_button->isEnabled())
                    m_button->click();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QAbstractButton *m_button;
};

} // namespace

void pressOnReturn(QAbstractButton *button)
{
    button->installEventFilter(new ReturnPresses(button));
}

} // namespace quorbel
