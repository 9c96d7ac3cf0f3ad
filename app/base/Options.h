#pragma once

// What the program's own environment variables (README: "Environment
// variables") say, read once when the program starts and handed to what
// needs it: the offices object, and through it the office module.

#include <QString>

#include <chrono>

namespace quorbel {

struct Options {
    // The longest any time limit taken from the environment may be: a day
    // (no deadline made from it can overflow).
    static constexpr std::chrono::milliseconds kLongestLimit = std::chrono::hours(24);

    // The office program every instance starts (QUORBEL_SOFFICE).
    QString officeProgram = QStringLiteral("/usr/lib/libreoffice/program/soffice.bin");
    // The longest a call into the office (and an office start) may take
    // before the office is taken to be hung (QUORBEL_CALL_TIMEOUT_MS).
    std::chrono::milliseconds callTimeLimit = std::chrono::seconds(60);
    // The longest the office may take to set up the per-user profile the
    // first time (QUORBEL_PROFILE_TIMEOUT_MS).
    std::chrono::milliseconds profileSetUpTimeLimit = std::chrono::minutes(10);
    // Offices are kept started ahead of need (QUORBEL_SPARE_OFFICE=0: no).
    bool spareOffice = true;
    // Kept offices are warmed up before they are handed out
    // (QUORBEL_WARM_OFFICE=0: no).
    bool warmOffice = true;

    // The defaults above, with what the environment sets instead: a time
    // limit only when it is a whole number above 0, and at most a day.
    static Options fromEnvironment();

    // The same with no office kept ahead of need (each instance is started
    // when it is asked for).
    Options withoutOfficesAhead() const
    {
        Options options = *this;
        options.spareOffice = false;
        return options;
    }
};

} // namespace quorbel
