#pragma once

// The main window's fields in the settings store: the header fields and the
// list, each under a key of its own, and the stored forms they take there.

#include "ListEntry.h"

#include <QDate>
#include <QList>
#include <QString>

#include <functional>

namespace quorbel {

class Failure;
class SettingLimits;
class SettingsStore;

// The keys (the names the fields' values have always been stored under).
inline const QString kDeadlineKey = QStringLiteral("dtpDate");
inline const QString kCompletedByKey = QStringLiteral("txtName");
inline const QString kProjectNameKey = QStringLiteral("txtProName");
inline const QString kListKey = QStringLiteral("ToDo");

// The longest value the window writes under each key, which the store keeps
// to: a date text is short, a header text holds what its text box holds
// (32,767 characters), the list is generous (far beyond 10,000 entries of
// several hundred characters each). A longer stored value is damaged.
SettingLimits mainWindowSettingLimits();
// The longest stored list (kListKey).
inline constexpr qsizetype kMaxStoredListLength = 8 * 1024 * 1024;
// The longest header text (kCompletedByKey, kProjectNameKey).
inline constexpr qsizetype kMaxHeaderTextLength = 32767;

// The earliest and the latest deadline the window takes.
inline const QDate kFirstDeadline(1601, 1, 1);
inline const QDate kLastDeadline(9999, 12, 31);

// The stored text of the deadline (empty: none is stored). Throws Failure
// when the store cannot be read.
QString readStoredDeadline(SettingsStore &store);
// The deadline a stored text names; throws Failure when it names no date
// from kFirstDeadline to kLastDeadline.
QDate deadlineFromStoredText(const QString &stored);
// Writes the deadline at once (a change of the field). Like the header
// texts' writes, it is handed to the store's writer: the field does not wait
// for the file.
void saveDeadline(SettingsStore &store, QDate date);

// The header fields' texts: read at start-up, written at every change.
// A write that fails is dropped (the next change writes the field again).
QString readStoredCompletedBy(SettingsStore &store);
QString readStoredProjectName(SettingsStore &store);
void saveCompletedBy(SettingsStore &store, const QString &text);
void saveProjectName(SettingsStore &store, const QString &text);

// The list's stored form (empty: none is stored).
QString readStoredList(SettingsStore &store);
// Appends the entries of a stored list to `entries`. A field with no column
// to go to is left out and handed to `report` as a Failure that says so, up
// to a few of them; the rest are counted in one more. `rowsBefore` is the
// number of rows the list already has (entries are numbered after them).
//
// A stored list of more entries than the sheet has rows for (only a damaged
// or foreign store holds one) gives its first kMaxListEntries, and one
// Failure says how many it holds; false then, true when every entry was
// taken.
bool decodeStoredList(const QString &stored, int rowsBefore, QList<ListEntry> &entries,
                      const std::function<void(const Failure &)> &report);
// The most entries a stored list gives the window: the rows of the sheet.
extern const int kMaxListEntries;
// Replaces the list's stored form. Throws Failure when it does not reach the
// disk.
void storeListText(SettingsStore &store, const QString &stored);

} // namespace quorbel
