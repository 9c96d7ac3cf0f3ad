#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

namespace quorbel {

// How a spreadsheet instance was lost, when a failure means it was: it could
// not be started, it ended unexpectedly (a crash, a kill), or it stopped
// answering and was ended after the call limit. Every later call on a lost
// instance fails with the same loss.
enum class InstanceLoss {
    None,        // an ordinary failure: the instance (if any) still answers
    NotStarted,  // no instance could be created
    Ended,       // the instance ended unexpectedly
    Hung,        // the instance stopped answering and was ended
    Stopped,     // the program is ending: the work stops where it is, unreported
};

// A failed operation. The description is what the error box shows the user,
// so it is written for them: what went wrong, in plain words.
class Failure : public std::exception {
public:
    explicit Failure(QString description, InstanceLoss loss = InstanceLoss::None)
        : m_description(std::move(description)), m_utf8(m_description.toUtf8()), m_loss(loss) {}

    const QString &description() const noexcept { return m_description; }
    const char *what() const noexcept override { return m_utf8.constData(); }

    InstanceLoss loss() const noexcept { return m_loss; }
    bool instanceLost() const noexcept { return m_loss != InstanceLoss::None; }

private:
    QString m_description;
    QByteArray m_utf8;
    InstanceLoss m_loss = InstanceLoss::None;
};

} // namespace quorbel
