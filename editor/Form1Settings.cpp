#include "Form1Settings.h"

#include "DateText.h"
#include "EntryList.h"
#include "Failure.h"
#include "SettingsStore.h"

#include <QDateTime>

#include <optional>

namespace quorbel {
namespace {

// A stored list's fields with no column: so many get a report of their own,
// the rest one report that counts them; a report shows so much of the
// field's text.
constexpr qint64 kExtraFieldReports = 10;
constexpr qsizetype kExtraFieldShownLength = 200;

} // namespace

QString readStoredDeadline()
{
    return readSetting(kDeadlineKey);
}

QDate deadlineFromStoredText(const QString &stored)
{
    const std::optional<QDateTime> value = readGeneralDateText(stored);
    if (!value || value->date() < kFirstDeadline || value->date() > kLastDeadline)
        throw Failure(QStringLiteral("The stored deadline \"%1\" is not a date.").arg(stored));
    return value->date();
}

void saveDeadline(QDate date)
{
    saveSettingSoon(kDeadlineKey, generalDateText(QDateTime(date, QTime(0, 0))));
}

QString readStoredCompletedBy()
{
    return readSetting(kCompletedByKey);
}

QString readStoredProjectName()
{
    return readSetting(kProjectNameKey);
}

void saveCompletedBy(const QString &text)
{
    saveSettingSoon(kCompletedByKey, text);
}

void saveProjectName(const QString &text)
{
    saveSettingSoon(kProjectNameKey, text);
}

QString readStoredList()
{
    return readSetting(kListKey);
}

void decodeStoredList(const QString &stored, int rowsBefore, QList<ListEntry> &entries,
                      const std::function<void(const Failure &)> &report)
{
    // A damaged store may hold millions of fields with no column, which one
    // report then counts.
    qint64 extraFields = 0;
    decodeEntryList(stored, entries, [&](const ExtraEntryField &extra) {
        if (++extraFields > kExtraFieldReports)
            return;
        report(Failure(QStringLiteral("Entry %1 of the stored list has a field %2 with no column to go to; "
                                      "\"%3\" was left out.")
                           .arg(extra.entryNumber + rowsBefore)
                           .arg(extra.fieldNumber)
                           .arg(extra.text.size() > kExtraFieldShownLength
                                    ? extra.text.left(kExtraFieldShownLength) + QStringLiteral("...")
                                    : extra.text)));
    });
    if (extraFields > kExtraFieldReports) {
        report(Failure(QStringLiteral("%1 more fields of the stored list with no column to go to were left out.")
                           .arg(extraFields - kExtraFieldReports)));
    }
}

void storeListText(const QString &stored)
{
    storeSetting(kListKey, stored);
}

} // namespace quorbel
