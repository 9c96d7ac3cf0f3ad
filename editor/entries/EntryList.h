#pragma once

#include "ListEntry.h"

#include <QList>
#include <QString>

#include <functional>
#include <limits>

namespace quorbel {

// The stored form of the list (the setting "ToDo"): each entry is its four
// fields joined by "^", entries are joined by "|", an empty list is "".
// Every text without "^" and "|" is stored exactly as it is, with no quoting
// and no escape character.
//
// A "^" or "|" typed into a text is stored as a stand-in from Unicode's
// private use area (U+E05E for "^", U+E07C for "|"), so it can neither split
// an entry nor shift its fields; reading turns the stand-ins back. A text
// that holds a stand-in itself reads back with the separator in its place.
//
// Lists written by earlier versions put "\" before a "^" or "|" of a text
// and doubled a "\" before those, before another "\" and at the end of a
// field. Such a list is read that way only when the plain reading cannot be
// a list this program wrote (some record does not have exactly four fields)
// while the backslash reading gives every record exactly four fields; every
// other stored text reads in the plain form.
inline constexpr QChar kFieldSeparator = QLatin1Char('^');
inline constexpr QChar kRecordSeparator = QLatin1Char('|');
inline constexpr QChar kStoredFieldSeparator = QChar(0xE05E);
inline constexpr QChar kStoredRecordSeparator = QChar(0xE07C);
inline constexpr QChar kOldEntryEscape = QLatin1Char('\\');

// One field text in its stored form (separators replaced by their stand-ins).
QString encodeEntryField(const QString &text);
// The text of one stored field (stand-ins turned back into separators).
QString decodeEntryField(const QString &stored);

// The stored text of the whole list, first entry first.
QString encodeEntryList(const QList<ListEntry> &entries);

// A field of a stored record beyond the fourth: it has no column to go to.
struct ExtraEntryField {
    qsizetype entryNumber = 0; // 1-based position of the entry it belongs to in `entries`
    int fieldNumber = 0;       // 5 for the fifth field of its record, and so on
    QString text;              // the field's text, as decodeEntryField gives it
};
using ExtraFieldReport = std::function<void(const ExtraEntryField &)>;

// Appends the entries of `stored` to the end of `entries` (the list is not
// cleared first). Empty records ("", or a stray "|" at the start, at the end
// or doubled) create no entry; absent fields stay empty. Each field beyond
// the fourth is handed to `report` once (when given) and skipped.
//
// Only the first `limit` entries are appended (and only their extra fields
// reported); the rest are counted without being made. Returns the number of
// entries `stored` holds, appended or not.
qsizetype decodeEntryList(const QString &stored, QList<ListEntry> &entries, const ExtraFieldReport &report = {},
                          qsizetype limit = std::numeric_limits<qsizetype>::max());

} // namespace quorbel
