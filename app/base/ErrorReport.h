#pragma once

#include <QString>

#include <functional>

namespace quorbel {

inline const QString kSupportAddress = QStringLiteral("support@marvesk.com");
inline const QString kLocationPrefix = QStringLiteral("Lintravo2021/08/31.");

// The text of the "Application Error" box. `location` is the owner and the
// procedure, for example "Form1.Form_Load".
QString errorReportText(const QString &description, const QString &location, int step);

// Shows the "Application Error" box (exclamation icon, OK only) and returns
// when the user has closed it.
void ReportError(const QString &description, const QString &location, int step);

// The numbered steps of one reporting procedure. Each statement runs under
// the number of its step; a statement that fails is reported with that number
// and the procedure goes on with its next statement:
//
//     Steps steps("Form1.PushButton1_Click");
//     steps(100, [&] { appendRow(); });
//     steps(102, [&] { setProject(); });
//
// Failures are quorbel::Failure (its description), any other std::exception
// (its what()), or anything else (an empty description).
class Steps {
public:
    explicit Steps(QString location);

    // Runs one statement of step `number`. Returns false when it failed.
    bool operator()(int number, const std::function<void()> &statement);

    // Runs the test of a branch or loop. When the test itself fails, the
    // procedure goes on inside the branch, so a failed test counts as true.
    bool test(int number, const std::function<bool()> &condition);

    const QString &location() const { return m_location; }
    int failures() const { return m_failures; }

private:
    void report(const QString &description, int number);

    QString m_location;
    int m_failures = 0;
};

} // namespace quorbel
