#pragma once

// One spreadsheet instance kept started ahead of need, so that the template
// command's instances (CreateApplication) take an office that is already up
// instead of starting one while the user waits. The office starts in the
// background: it is launched at once, and the program connects to it from
// the event loop, on the one thread, without blocking. Each instance that is
// taken is replaced by a new one started the same way. One that ends while
// it waits is replaced without a word; one that is found dead when it is
// asked for is dropped, and CreateApplication starts one the ordinary way.
//
// QUORBEL_SPARE_OFFICE=0 turns it off (each instance is then started when
// it is needed). It is off, too, while an application factory replaces the
// office. A waiting office ends with this object at the latest, and dies
// with the program when the program is killed.

#include "Spreadsheet.h"

#include <QObject>
#include <QTimer>

#include <memory>

namespace quorbel {

class SpareOffice final : public QObject, public xl::InstanceSource {
    Q_OBJECT

public:
    // Installs itself as CreateApplication's instance source.
    SpareOffice();
    // Ends a waiting office.
    ~SpareOffice() override;

    // Whether offices are kept ahead of need at all.
    static bool wanted();

    // Keeps one office ready from now on, starting one when there is none.
    void keep();
    // Ends a waiting office and keeps none until keep().
    void stop();
    bool keeping() const { return m_keeping; }

    // Starts an office and waits until it is ready, keeping it as the spare
    // (the availability check's office). False when none could be started.
    bool startNow();

    // An office is started (ready or still starting).
    bool hasOffice() const { return m_starting != nullptr; }
    // The waiting office is connected.
    bool ready() const { return m_starting && m_ready; }
    // The waiting office's process id, or 0.
    qint64 processId() const;
    // How many offices this object has started.
    int starts() const { return m_starts; }

    std::unique_ptr<xl::XlApplication> takeInstance() override;

private:
    bool begin();
    void launch();
    void advance();
    void checkEnded();

    std::unique_ptr<xl::StartingApplication> m_starting;
    bool m_ready = false;
    bool m_keeping = false;
    int m_starts = 0;
    QTimer m_poll;
};

} // namespace quorbel
