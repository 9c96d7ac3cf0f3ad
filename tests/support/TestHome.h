#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <utility>

namespace quorbel::test {

// The folder that holds this test run's settings store. Every test
// executable gets one of its own, empty at the start of the run and removed
// at its end, so no test ever reads or writes the user's own store, whether
// CTest runs it or someone starts it by hand.
QString settingsHome();

// Sets environment variables for the life of the guard and puts back each
// one's earlier value (or its absence) when the guard goes, also when a
// failed check leaves the test early.
class ScopedEnvironment {
public:
    ScopedEnvironment() = default;
    ScopedEnvironment(const ScopedEnvironment &) = delete;
    ScopedEnvironment &operator=(const ScopedEnvironment &) = delete;
    ~ScopedEnvironment();

    void set(const char *name, const QByteArray &value);
    void unset(const char *name);

private:
    void remember(const char *name);

    struct Saved {
        QByteArray name;
        bool present = false;
        QByteArray value;
    };
    QList<Saved> m_saved;
};

} // namespace quorbel::test
