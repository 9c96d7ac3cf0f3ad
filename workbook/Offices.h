#pragma once

// Where the program's spreadsheet instances come from. One object, made by
// the program and handed to whoever needs an instance (the template command,
// the availability check): it loads the office module (from the program's
// own folder, never from a folder the environment names) and keeps offices
// started ahead of need (SpareOffice) while the program asks it to. Tests
// hand over an object of their own that makes in-memory instances.

#include "SpareOffice.h"
#include "Spreadsheet.h"

#include <QString>

#include <memory>

namespace quorbel {

class InputPause;

// Which offices are kept ahead of need, and how.
struct OfficeKeeping {
    // Offices are kept started ahead of need at all.
    bool spare = true;
    // Kept offices are warmed up before they are handed out.
    bool warm = true;

    // QUORBEL_SPARE_OFFICE=0 keeps none, QUORBEL_WARM_OFFICE=0 keeps
    // them cold.
    static OfficeKeeping fromEnvironment();
};

class Offices {
public:
    using Keeping = OfficeKeeping;

    // `moduleFolder`: where the office module is loaded from (the program's
    // folder when empty; a test names a folder without it to meet a program
    // without the module). `input` (not owned; may be null): the user's
    // input, for which warm-up steps wait; none counts as a lasting pause.
    explicit Offices(Keeping keeping = {}, const InputPause *input = nullptr, QString moduleFolder = {});
    // Ends every office still kept.
    virtual ~Offices();
    Offices(const Offices &) = delete;
    Offices &operator=(const Offices &) = delete;

    // A new, hidden application instance: one kept ahead of need when there
    // is one that answers, else a private LibreOffice started now
    // (/usr/lib/libreoffice/program/soffice.bin, or the soffice.bin named by
    // QUORBEL_SOFFICE) with a profile of its own, about a second to start.
    // Throws Failure (InstanceLoss::NotStarted) when none can be started (no
    // office installed, the office module missing, start failed or timed
    // out).
    virtual std::unique_ptr<xl::XlApplication> createApplication();

    // Starts a new, hidden instance's office and returns at once (the
    // process has been launched). Throws Failure (InstanceLoss::NotStarted)
    // when no office can be launched.
    std::unique_ptr<xl::StartingApplication> startApplication();

    // True when instances come from the office (a test's object says no).
    virtual bool usingOffice() const { return true; }

    const Keeping &keeping() const { return m_keeping; }

    // The offices kept ahead of need.
    SpareOffice &spare() { return *m_spare; }
    const SpareOffice &spare() const { return *m_spare; }
    // From now on offices are kept ready (the main window shows).
    void keepAhead() { m_spare->keep(); }
    // The kept offices end, and none is kept until keepAhead().
    void stopKeeping() { m_spare->stop(); }

private:
    using CreateFunction = xl::XlApplication *(*)(QString *error);
    using StartFunction = xl::StartingApplication *(*)(QString *error);

    void loadModule();

    Keeping m_keeping;
    QString m_moduleFolder;
    bool m_moduleTried = false;
    CreateFunction m_create = nullptr;
    StartFunction m_start = nullptr;
    QString m_moduleError;
    std::unique_ptr<SpareOffice> m_spare;
};

} // namespace quorbel
