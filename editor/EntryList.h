#pragma once

#include <QList>
#include <QString>

#include <functional>

namespace quorbel {

// One row of the to-do list. `done` is exactly "V" when the entry is done;
// any other text (also "v") is shown as it is and counts as not done.
struct ListEntry {
    QString dueBy;
    QString project;
    QString notes;
    QString done;

    bool isDone() const { return done == QLatin1String("V"); }
    friend bool operator==(const ListEntry &, const ListEntry &) = default;
};

// The mark a done entry carries.
inline const QString kDoneMark = QStringLiteral("V");

// The stored form of the list (the setting "ToDo"): each entry is its four
// fields joined by "^", entries are joined by "|", an empty list is "".
//
// A field text that holds "^" or "|" gets the escape character "\" in front
// of that character, so a typed separator can never split an entry or shift
// its fields. A "\" of the text is doubled only where it could be mistaken
// for an escape: right before "^", "|" or "\", and at the end of the field.
// Every other text is stored exactly as it is, and a stored list without
// "\" reads exactly as the plain separator form. When reading, "\" followed
// by "^", "|" or "\" stands for that character; any other "\" is itself.
inline constexpr QChar kEntryEscape = QLatin1Char('\\');
inline constexpr QChar kFieldSeparator = QLatin1Char('^');
inline constexpr QChar kRecordSeparator = QLatin1Char('|');

// One field text in its stored form (escaped where needed).
QString encodeEntryField(const QString &text);

// The stored text of the whole list, first entry first.
QString encodeEntryList(const QList<ListEntry> &entries);

// A field of a stored record beyond the fourth: it has no column to go to.
struct ExtraEntryField {
    qsizetype entryNumber = 0; // 1-based position of the entry it belongs to in `entries`
    int fieldNumber = 0;       // 5 for the fifth field of its record, and so on
    QString text;              // the field's text, unescaped
};
using ExtraFieldReport = std::function<void(const ExtraEntryField &)>;

// Appends the entries of `stored` to the end of `entries` (the list is not
// cleared first). Empty records ("", or a stray "|" at the start, at the end
// or doubled) create no entry; absent fields stay empty. Each field beyond
// the fourth is handed to `report` once (when given) and skipped.
void decodeEntryList(const QString &stored, QList<ListEntry> &entries, const ExtraFieldReport &report = {});

} // namespace quorbel
