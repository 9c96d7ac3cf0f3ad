#pragma once

// The progress of long work that runs on the user-interface thread and holds
// its event loop (the template command): a small modal window over the
// window the work belongs to, with a text, a progress bar and "Cancel",
// which cancels the work's token. Escape and closing the window press
// "Cancel" too.
//
// The work calls pump() often (at every step; it is cheap). Nothing shows
// until the work has run for `showAfter`, so that short work never flashes a
// window, and until then pump() lets no event through. From then on pump()
// lets the event loop run for a moment (at most kEventsMs) at most every
// `every`: the window draws its latest report and takes its "Cancel", while
// every other window, blocked by the modal one, takes no input. Once the
// token is cancelled (by "Cancel", or by its parent), pump() lets no event
// through any more; the window stays, with "Cancel" pressed, until the work
// closes it, so that no other window takes input while the work winds down.

#include "CancellationToken.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QString>

#include <functional>

class QWidget;

namespace quorbel {

class ProgressDialog;

// What the window shows: a text and `done` of `total` (total 0: the amount
// is not known, and the bar only shows that the work goes on).
struct ProgressReport {
    QString text;
    int done = 0;
    int total = 0;
};

struct ProgressTiming {
    int showAfterMs = 500;
    int everyMs = 50;
    // Milliseconds since the work started; the window's own clock when empty.
    std::function<qint64()> elapsedMs;
};

class ProgressWindow {
public:
    // The longest one pump() lets the event loop run.
    static constexpr int kEventsMs = 10;

    // The work starts now. `report` says what to show; it is asked only when
    // the window draws. `parent` is the window the work belongs to.
    ProgressWindow(QWidget &parent, CancellationToken cancel, std::function<ProgressReport()> report,
                   ProgressTiming timing = {});
    // Closes the window.
    ~ProgressWindow();
    ProgressWindow(const ProgressWindow &) = delete;
    ProgressWindow &operator=(const ProgressWindow &) = delete;

    void pump();
    // The work is over: the window goes (for good), and the widget that had
    // the focus before it showed has it again.
    void close();

private:
    void show();
    void redraw();
    qint64 elapsedMs() const;

    QWidget &m_parent;
    CancellationToken m_cancel;
    std::function<ProgressReport()> m_report;
    ProgressTiming m_timing;
    QElapsedTimer m_clock;
    qint64 m_lastPumpMs = 0;
    bool m_pumping = false;
    bool m_closed = false;
    QPointer<ProgressDialog> m_dialog;
    QPointer<QWidget> m_focus;
};

} // namespace quorbel
