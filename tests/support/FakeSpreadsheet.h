#pragma once

// An in-memory spreadsheet application for tests of the code that drives one:
// one sheet of cells, row copy and insert, save (to a file holding the cells
// as text) and a log of every call.

#include "Failure.h"
#include "Offices.h"
#include "Spreadsheet.h"

#include <QMap>
#include <QPair>
#include <QStringList>

#include <functional>

#include <memory>

namespace quorbel::test {

struct FakeSheet {
    QMap<QPair<int, int>, xl::CellValue> cells;
    QMap<int, QString> rowStyle; // row -> style tag, copied with the row
    int lastRow() const;
    int lastColumn() const;
};

struct FakeWorld {
    QStringList log;
    int applicationsCreated = 0;
    int applicationsAlive = 0;
    int maxAlive = 0;
    QString version = QStringLiteral("7.4");
    // Makes the call whose log line starts with this text fail (an ordinary
    // failure: the instance goes on answering).
    QString failOn;
    // Loses the instance that makes a call whose log line starts with
    // `loseOn`, at the occurrences listed (counted over every instance, from
    // 1): that call and every later call of that instance fail with `loss`.
    // Quit still ends it quietly.
    QString loseOn;
    QList<int> loseOnOccurrences {1};
    InstanceLoss loss = InstanceLoss::Hung;
    int loseOnSeen = 0;
    // Creations (counted from 1) that fail: no instance could be started.
    QList<int> failingCreations;
    int creationAttempts = 0;
    // Saved files: path -> sheet.
    QMap<QString, FakeSheet> savedFiles;
    // A template opened from disk gets this sheet.
    FakeSheet templateSheet;
    std::function<void(const QString &)> onCall;        // sees every call first

    // Logs a call; throws the failure it is set up to meet. Returns true
    // when the call loses its instance (after which it throws too).
    bool call(const QString &line);
};

// A new instance in `world`; throws Failure (InstanceLoss::NotStarted) for a
// creation listed in world->failingCreations.
std::unique_ptr<xl::XlApplication> makeFakeApplication(const std::shared_ptr<FakeWorld> &world);

// Offices whose instances come from `factory` (in-memory ones, or a failure)
// and which keep no office ahead of need.
class FakeOffices final : public Offices {
public:
    using Factory = std::function<std::unique_ptr<xl::XlApplication>()>;
    explicit FakeOffices(Factory factory) : Offices(Options().withoutOfficesAhead()), m_factory(std::move(factory)) {}

    std::unique_ptr<xl::XlApplication> createApplication() override { return m_factory(); }
    bool usingOffice() const override { return false; }
    void setFactory(Factory factory) { m_factory = std::move(factory); }

private:
    Factory m_factory;
};

} // namespace quorbel::test
