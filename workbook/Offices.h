#pragma once

// Where the program's spreadsheet instances come from. One object, made by
// the program and handed to whoever needs an instance (the template command,
// the availability check): it loads the office module (from the program's
// own folder, never from a folder the environment names) and keeps offices
// started ahead of need (SpareOffice) while the program asks it to. Tests
// hand over an object of their own that makes in-memory instances.

#include "Options.h"
#include "SpareOffice.h"
#include "Spreadsheet.h"

#include <QString>

#include <memory>
#include <utility>

namespace quorbel {

class InputPause;

// While it lives, an office that a command ends is killed at once, and what
// is left of its ending (the kernel reaping it, its pipes and folder
// removed) waits until settle() or the scope's end, so that the user does
// not wait for it. Made by Offices::deferEndings().
class OfficeEndings {
public:
    OfficeEndings() = default;
    ~OfficeEndings() { settle(); }
    OfficeEndings(OfficeEndings &&other) noexcept : m_defer(std::exchange(other.m_defer, nullptr)) {}
    OfficeEndings &operator=(OfficeEndings &&) = delete;
    OfficeEndings(const OfficeEndings &) = delete;
    OfficeEndings &operator=(const OfficeEndings &) = delete;

    // Finishes every ending that waits, and defers none from now on.
    void settle()
    {
        if (auto defer = std::exchange(m_defer, nullptr))
            defer(false);
    }

private:
    friend class Offices;
    using DeferFunction = void (*)(bool on);
    explicit OfficeEndings(DeferFunction defer) : m_defer(defer)
    {
        if (m_defer)
            m_defer(true);
    }

    DeferFunction m_defer = nullptr;
};

class Offices {
public:
    // `options`: which office, its time limits, and whether offices are
    // kept ahead of need and warmed up. `moduleFolder`: where the office
    // module is loaded from (the program's folder when empty; a test names a
    // folder without it to meet a program without the module). `input` (not
    // owned; may be null): the user's input, for which warm-up steps wait;
    // none counts as a lasting pause.
    explicit Offices(Options options = {}, const InputPause *input = nullptr, QString moduleFolder = {});
    // Ends every office still kept.
    virtual ~Offices();
    Offices(const Offices &) = delete;
    Offices &operator=(const Offices &) = delete;

    // A new, hidden application instance: one kept ahead of need when there
    // is one that answers, else a private LibreOffice started now (the
    // options' office program) with a profile of its own, about a second to
    // start. Throws InstanceFailure (NotStarted) when none can be started
    // (no office installed, the office module missing, start failed or timed
    // out).
    virtual std::unique_ptr<xl::XlApplication> createApplication();

    // Starts a new, hidden instance's office and returns at once (the
    // process has been launched). Throws InstanceFailure (NotStarted) when
    // no office can be launched.
    std::unique_ptr<xl::StartingApplication> startApplication();

    // Defers the endings of the offices ended from now on (see
    // OfficeEndings). Nothing is deferred when the office module cannot be
    // loaded or the instances are not the office's (a test's object).
    OfficeEndings deferEndings();

    // True when instances come from the office (a test's object says no).
    virtual bool usingOffice() const { return true; }

    const Options &options() const { return m_options; }

    // The offices kept ahead of need.
    SpareOffice &spare() { return *m_spare; }
    const SpareOffice &spare() const { return *m_spare; }
    // From now on offices are kept ready (the main window shows).
    void keepAhead() { m_spare->keep(); }
    // The kept offices end, and none is kept until keepAhead().
    void stopKeeping() { m_spare->stop(); }

private:
    using CreateFunction = xl::XlApplication *(*)(const Options *options, QString *error);
    using StartFunction = xl::StartingApplication *(*)(const Options *options, QString *error);
    using DeferFunction = void (*)(bool on);

    // Loads the office module once; throws InstanceFailure (NotStarted)
    // when it is not there.
    void loadModule();

    Options m_options;
    QString m_moduleFolder;
    bool m_moduleTried = false;
    CreateFunction m_create = nullptr;
    StartFunction m_start = nullptr;
    DeferFunction m_defer = nullptr;
    QString m_moduleError;
    std::unique_ptr<SpareOffice> m_spare;
};

} // namespace quorbel
