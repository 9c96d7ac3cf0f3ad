#pragma once

#include <QString>

namespace quorbel {

// The mark a done entry carries.
inline const QString kDoneMark = QStringLiteral("V");

// One row of the to-do list. `done` is exactly "V" when the entry is done;
// any other text (also "v") is shown as it is and counts as not done.
struct ListEntry {
    QString dueBy;
    QString project;
    QString notes;
    QString done;

    bool isDone() const { return done == kDoneMark; }
    friend bool operator==(const ListEntry &, const ListEntry &) = default;
};

} // namespace quorbel
