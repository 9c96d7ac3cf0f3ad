#include "Form1Settings.h"

#include "DateText.h"
#include "EntryList.h"
#include "Failure.h"
#include "SettingsStore.h"
#include "TemplateCells.h"

#include <QDateTime>

#include <algorithm>
#include <optional>

namespace quorbel {
namespace {

// A stored list's fields with no column: so many get a report of their own,
// the rest one report that counts them; a report shows so much of the
// field's text.
constexpr qint64 kExtraFieldReports = 10;
constexpr qsizetype kExtraFieldShownLength = 200;

} // namespace

const int kMaxListEntries = sheet::kMaxEntries;

SettingLimits mainWindowSettingLimits()
{
    return SettingLimits(kMaxHeaderTextLength, {{kDeadlineKey, kMaxDateTextLength}, {kListKey, kMaxStoredListLength}});
}

QString readStoredDeadline(SettingsStore &store)
{
    return store.read(kDeadlineKey);
}

QDate deadlineFromStoredText(const QString &stored)
{
    const std::optional<QDateTime> value = readGeneralDateText(stored);
    if (!value || value->date() < kFirstDeadline || value->date() > kLastDeadline)
        throw Failure(QStringLiteral("The stored deadline \"%1\" is not a date.").arg(stored));
    return value->date();
}

void saveDeadline(SettingsStore &store, QDate date)
{
    store.write(kDeadlineKey, generalDateText(QDateTime(date, QTime(0, 0))));
}

QString readStoredCompletedBy(SettingsStore &store)
{
    return store.read(kCompletedByKey);
}

QString readStoredProjectName(SettingsStore &store)
{
    return store.read(kProjectNameKey);
}

void saveCompletedBy(SettingsStore &store, const QString &text)
{
    store.write(kCompletedByKey, text);
}

void saveProjectName(SettingsStore &store, const QString &text)
{
    store.write(kProjectNameKey, text);
}

QString readStoredList(SettingsStore &store)
{
    return store.read(kListKey);
}

bool decodeStoredList(const QString &stored, int rowsBefore, QList<ListEntry> &entries,
                      const std::function<void(const Failure &)> &report)
{
    // A damaged store may hold millions of fields with no column, which one
    // report then counts.
    qint64 extraFields = 0;
    const auto reportExtra = [&](const ExtraEntryField &extra) {
        if (++extraFields > kExtraFieldReports)
            return;
        report(Failure(QStringLiteral("Entry %1 of the stored list has a field %2 with no column to go to; "
                                      "\"%3\" was left out.")
                           .arg(extra.entryNumber + rowsBefore)
                           .arg(extra.fieldNumber)
                           .arg(extra.text.size() > kExtraFieldShownLength
                                    ? extra.text.left(kExtraFieldShownLength) + QStringLiteral("...")
                                    : extra.text)));
    };
    const int room = std::max(0, kMaxListEntries - rowsBefore);
    const qsizetype held = decodeEntryList(stored, entries, reportExtra, room);
    if (extraFields > kExtraFieldReports) {
        report(Failure(QStringLiteral("%1 more fields of the stored list with no column to go to were left out.")
                           .arg(extraFields - kExtraFieldReports)));
    }
    if (held <= room)
        return true;
    report(Failure(QStringLiteral("The stored list holds %L1 entries, more than the %L2 the sheet has rows for: the "
                                  "first %L2 are shown. The stored list is kept as it is until you change the list.")
                       .arg(held)
                       .arg(kMaxListEntries)));
    return false;
}

void storeListText(SettingsStore &store, const QString &stored)
{
    store.writeOrThrow(kListKey, stored);
}

} // namespace quorbel
