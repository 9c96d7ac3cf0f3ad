#pragma once

// The spreadsheet instances kept started ahead of need, so that the template
// command's instances (Offices::createApplication) take offices that are already up
// and warm instead of starting them while the user waits. A build fills and
// saves the workbook in one instance and pictures it in another; with an
// office kept ahead, the build does both in the one warm office it takes
// (see the template command), so one office is kept: a second, started
// for the picture, costs the machine an office's memory while the window
// waits and the user its taking and ending. It starts in the background: it is launched, and the program
// connects to it from the event loop, on the one thread, without blocking.
// Then it is warmed up there in small steps: one throwaway round of the
// command's work (load the template, write cells, store as 97-2003, load
// that file, export a range as PDF, close everything, delete the files), so
// that the command's first calls are not an office's first. Each step holds
// the window for one call (a few tens of milliseconds, up to a few hundred
// on a busy machine for a first load), so steps wait until the user has
// paused typing or clicking for a moment. The second
// office is launched once the first is ready, so that the two never start
// at the same time while the main window waits.
//
// An office that ends while it waits, or whose warm-up fails or hangs, is
// replaced without a word (after two warm-ups in a row went wrong, offices
// are kept without one for the rest of the run, so that an office that
// cannot warm up is not started over and over). An office found dead when it is asked for is
// dropped, and the next one is tried; with none left, Offices::createApplication
// starts one the ordinary way. The offices taken by a command are replaced
// from the event loop, once the command has ended (the command holds the
// keeping while it runs).
//
// QUORBEL_SPARE_OFFICE=0 turns it off (each instance is then started when
// it is needed, and nothing is warmed). It is off, too, when the offices
// object makes no real offices (a test's). Waiting offices end with this
// object at the latest, and die with the program when it is killed.

#include "Spreadsheet.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QTimer>

#include <memory>
#include <vector>

namespace quorbel {

class InputPause;
class Offices;

class SpareOffice final : public QObject {
    Q_OBJECT

public:
    // How many offices are kept: one, which does both halves of a build.
    static constexpr int kKept = 1;

    // Starts its offices through `offices` and follows its keeping; warm-up
    // steps wait for a pause of `input` (none: no input comes). Neither is
    // owned.
    SpareOffice(Offices &offices, const InputPause *input);
    // Ends the waiting offices.
    ~SpareOffice() override;

    // Whether offices are kept ahead of need at all.
    bool wanted() const;
    // Whether kept offices are warmed up before they are handed out
    // (QUORBEL_WARM_OFFICE=0 keeps them cold, to compare).
    bool warming() const;

    // Keeps kKept offices ready from now on, starting them as needed.
    void keep();
    // Ends the waiting offices and keeps none until keep().
    void stop();
    bool keeping() const { return m_keeping; }
    // While held, nothing is started or warmed: a build runs, and lets the
    // event loop run for its progress window, and an office starting or
    // warming beside it would slow it down. Released, the keeping goes on
    // (offices a build took are replaced then).
    void hold(bool held);

    // Launches the availability check's office and returns at once, so
    // that it starts while the rest of the start-up runs; startNow() then
    // waits for it. Does nothing when offices are not wanted or one is kept
    // already; a launch that fails leaves nothing (startNow() tries again
    // and tells).
    void launchFirst();
    // Starts an office (or takes the one launchFirst() launched) and waits
    // until it is connected, keeping it (the availability check's office;
    // it is warmed up later, from the event loop). False when none could be
    // started.
    bool startNow();

    // An office is kept (ready, warming or still starting).
    bool hasOffice() const { return !m_kept.empty(); }
    // kKept offices are kept, every one connected and warmed up.
    bool ready() const;
    // A kept office is connected and warmed up, to be handed out now.
    bool hasReadyOffice() const;
    // An office is part way through its warm-up.
    bool warmingUp() const;
    // The first kept office's process id, or 0.
    qint64 processId() const;
    // Every kept office's process id, in the order they are handed out.
    QList<qint64> processIds() const;
    // How many offices this object has started, and how many of them
    // finished their warm-up.
    int starts() const { return m_starts; }
    int warmed() const { return m_warmed; }

    // A kept instance that answers, or none; never fails.
    std::unique_ptr<xl::XlApplication> takeInstance();

private:
    enum class Stage { Starting, Warming, Ready };
    struct Kept {
        std::unique_ptr<xl::StartingApplication> office;
        Stage stage = Stage::Starting;
    };

    bool begin();
    void topUp();
    void advance();
    void checkEnded();
    void drop(size_t index);
    void warmStep(Kept &kept);

    std::vector<Kept> m_kept;
    bool m_keeping = false;
    bool m_held = false;
    int m_starts = 0;
    int m_warmed = 0;
    int m_failedWarmUps = 0;
    QByteArray m_templateBytes;
    Offices &m_offices;
    const InputPause *m_input;
    QTimer m_poll;
};

} // namespace quorbel
