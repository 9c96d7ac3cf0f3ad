#pragma once

// An in-memory spreadsheet application for tests of the code that drives one:
// one sheet of cells, row copy and insert, save (to a file holding the cells
// as text) and a log of every call.

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
    // Makes the call whose log line starts with this text fail.
    QString failOn;
    // Saved files: path -> sheet.
    QMap<QString, FakeSheet> savedFiles;
    // A template opened from disk gets this sheet.
    FakeSheet templateSheet;
    std::function<void(const QString &)> pictureWriter; // CopyPicture hook

    void call(const QString &line);
};

std::unique_ptr<xl::XlApplication> makeFakeApplication(const std::shared_ptr<FakeWorld> &world);

} // namespace quorbel::test
