#pragma once

#include "CancellationToken.h"
#include "Dialogs.h"
#include "Failure.h"

#include <QSet>
#include <QString>

#include <exception>
#include <functional>
#include <optional>

namespace quorbel {

inline const QString kSupportAddress = QStringLiteral("support@marvesk.com");
inline const QString kLocationPrefix = QStringLiteral("Lintravo2021/08/31.");

// The text of the "Application Error" box. `location` is the owner and the
// procedure, for example "Form1.Form_Load".
QString errorReportText(const QString &description, const QString &location, int step);

// Shows the "Application Error" box (exclamation icon, OK only) with
// `dialogs` and returns when the user has closed it.
void ReportError(Dialogs &dialogs, const QString &description, const QString &location, int step);

// What a failing step does to the procedure it belongs to.
struct StepPolicy {
    // The failures of an ordinary step that stop the procedure rather than
    // being reported (for example a lost spreadsheet instance, after which
    // every later step would only fail the same way): the failure is kept
    // for the caller (Steps::stop), unreported, and every later step is
    // skipped. Empty: no failure stops the procedure.
    std::function<bool(const Failure &)> stops;
    // The reports that earlier runs of the same procedure showed, keyed by
    // step and description: each is shown once. Null: every report is shown.
    QSet<QString> *shown = nullptr;
};

// The numbered steps of one reporting procedure. Each statement runs under
// the number of its step; a statement that fails is reported (with the
// dialogs the procedure is given) with that number and the procedure goes on
// with its next statement:
//
//     Steps steps(dialogs, "Form1.PushButton1_Click");
//     steps(100, [&] { appendRow(); });
//     steps(102, [&] { setProject(); });
//
// Failures are quorbel::Failure (its description), any other std::exception
// (its what()), or anything else (an empty description). The policy decides
// which failures stop the procedure instead (none by default); a step whose
// result every later step needs is run with essential(), where any failure
// stops it. A step that throws Cancelled, or one that finds the procedure's
// cancellation token cancelled before it runs, stops it as cancelled:
// nothing is reported.
class Steps {
public:
    // Why the procedure stopped: the step, and what it threw (whole, of
    // whichever kind it was, so that a caller can tell the kinds apart or
    // throw it on).
    struct Stop {
        int step = 0;
        // The failure's description; empty for a cancel.
        QString description;
        // What the step threw; for a cancel, a Cancelled.
        std::exception_ptr failure;
        bool cancelled = false;

        // Throws what stopped the procedure on.
        [[noreturn]] void rethrow() const { std::rethrow_exception(failure); }
    };

    Steps(Dialogs &dialogs, QString location, StepPolicy policy = {});

    // Runs one statement of step `number`. Returns false when it failed or
    // the procedure has stopped (the statement then does not run).
    bool operator()(int number, const std::function<void()> &statement);

    // A statement without whose result no later step can work: any failure
    // stops the procedure.
    bool essential(int number, const std::function<void()> &statement);

    // A statement that only ends what the procedure is done with: a failure
    // the policy stops on costs nothing there and is dropped, unreported;
    // any other failure is reported.
    bool closing(int number, const std::function<void()> &statement);

    // Runs the test of a branch or loop. When the test itself fails, the
    // procedure goes on inside the branch, so a failed test counts as true;
    // once the procedure has stopped, every test is false.
    bool test(int number, const std::function<bool()> &condition);

    bool stopped() const { return m_stop.has_value(); }
    const Stop &stop() const { return *m_stop; }
    // The procedure goes on after a stop its caller has dealt with.
    void clearStop() { m_stop.reset(); }
    // From now on each step first asks `cancel` (null: no more) and, once
    // it is cancelled, the procedure stops there, cancelled, instead of
    // running the step.
    void stopWhenCancelled(const CancellationToken *cancel) { m_cancel = cancel; }

    // Reports `description` at step `number` ("Application Error"), unless
    // the policy's shown reports hold it already.
    void report(const QString &description, int number);

    const QString &location() const { return m_location; }
    // The failures reported so far.
    int failures() const { return m_failures; }

private:
    enum class Kind { Ordinary, Essential, Closing };
    bool run(int number, const std::function<void()> &statement, Kind kind);
    void failed(int number, const Failure &failure, Kind kind);
    void cancelled(int number, std::exception_ptr cancel);

    Dialogs &m_dialogs;
    QString m_location;
    StepPolicy m_policy;
    std::optional<Stop> m_stop;
    const CancellationToken *m_cancel = nullptr;
    int m_failures = 0;
};

} // namespace quorbel
