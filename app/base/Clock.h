#pragma once

#include <QDate>

namespace quorbel {

// Today's date, replaceable in tests.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDate today() const { return QDate::currentDate(); }
};

} // namespace quorbel
