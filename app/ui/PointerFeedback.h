#pragma once

#include <QCursor>
#include <QList>

class QWidget;

namespace quorbel {

// The hand pointer over a window's push buttons: the window's pointer becomes
// `hand` while the mouse moves over one of `buttons`, and the default pointer
// over one of `plainAreas`, except while the window shows the busy pointer.
class PointerFeedback;
PointerFeedback *installPointerFeedback(QWidget *window, const QCursor &hand,
                                        const QList<QWidget *> &buttons,
                                        const QList<QWidget *> &plainAreas);

// True while `window` shows the busy (hourglass) pointer.
bool isBusyPointer(const QWidget *window);

} // namespace quorbel
