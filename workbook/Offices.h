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

namespace quorbel {

class InputPause;

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

    // Loads the office module once; throws InstanceFailure (NotStarted)
    // when it is not there.
    void loadModule();

    Options m_options;
    QString m_moduleFolder;
    bool m_moduleTried = false;
    CreateFunction m_create = nullptr;
    StartFunction m_start = nullptr;
    QString m_moduleError;
    std::unique_ptr<SpareOffice> m_spare;
};

} // namespace quorbel
