#include "PointerFeedback.h"

#include <QEvent>
#include <QMouseEvent>
#include <QSet>
#include <QWidget>

namespace quorbel {

bool isBusyPointer(const QWidget *window)
{
    return window->testAttribute(Qt::WA_SetCursor) && window->cursor().shape() == Qt::WaitCursor;
}

class PointerFeedback : public QObject {
public:
    PointerFeedback(QWidget *window, const QCursor &hand, const QList<QWidget *> &buttons,
                    const QList<QWidget *> &plainAreas)
        : QObject(window), m_window(window), m_hand(hand)
    {
        for (QWidget *button : buttons) {
            button->setMouseTracking(true);
            button->installEventFilter(this);
            m_buttons.insert(button);
        }
        for (QWidget *area : plainAreas) {
            area->setMouseTracking(true);
            area->installEventFilter(this);
            m_areas.insert(area);
        }
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::MouseMove || event->type() == QEvent::Enter) {
            // A move that a button ignores travels on to its container: only
            // the innermost watched widget under the pointer decides.
            const auto *area = static_cast<QWidget *>(watched);
            const QPoint pos = static_cast<QSinglePointEvent *>(event)->position().toPoint();
            for (const QWidget *inner = area->childAt(pos); inner && inner != area; inner = inner->parentWidget()) {
                if (m_buttons.contains(inner) || m_areas.contains(inner))
                    return false;
            }
            if (!isBusyPointer(m_window)) {
                if (m_buttons.contains(watched))
                    m_window->setCursor(m_hand);
                else
                    m_window->setCursor(Qt::ArrowCursor);
            }
        }
        return false;
    }

private:
    QWidget *m_window;
    QCursor m_hand;
    QSet<const QObject *> m_buttons;
    QSet<const QObject *> m_areas;
};

PointerFeedback *installPointerFeedback(QWidget *window, const QCursor &hand, const QList<QWidget *> &buttons,
                                        const QList<QWidget *> &plainAreas)
{
    return new PointerFeedback(window, hand, buttons, plainAreas);
}

} // namespace quorbel
