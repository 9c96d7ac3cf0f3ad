#pragma once

// The failures that mean a spreadsheet instance is lost, told apart from the
// ordinary ones (a refused value, a file that cannot be opened), which leave
// the instance usable.

#include "Failure.h"

#include <exception>

namespace quorbel {

// How a spreadsheet instance was lost: it could not be started, it ended
// unexpectedly (a crash, a kill), or it stopped answering and was ended
// after the call limit. Every later call on a lost instance fails with the
// same loss.
enum class InstanceLoss {
    None,        // an ordinary failure: the instance (if any) still answers
    NotStarted,  // no instance could be created
    Ended,       // the instance ended unexpectedly
    Hung,        // the instance stopped answering and was ended
};

// A failure that carries how the instance was lost.
class InstanceFailure : public Failure {
public:
    InstanceFailure(QString description, InstanceLoss loss) : Failure(std::move(description)), m_loss(loss) {}

    InstanceLoss loss() const noexcept { return m_loss; }

private:
    InstanceLoss m_loss;
};

// The loss `failure` means; None for an ordinary failure.
inline InstanceLoss lossOf(const Failure &failure)
{
    const auto *lost = dynamic_cast<const InstanceFailure *>(&failure);
    return lost ? lost->loss() : InstanceLoss::None;
}

// The same for a failure kept past its catch (null: none).
inline InstanceLoss lossOf(const std::exception_ptr &failure)
{
    if (failure) {
        try {
            std::rethrow_exception(failure);
        } catch (const Failure &caught) {
            return lossOf(caught);
        } catch (...) {
        }
    }
    return InstanceLoss::None;
}

inline bool instanceLost(const Failure &failure)
{
    return lossOf(failure) != InstanceLoss::None;
}

} // namespace quorbel
