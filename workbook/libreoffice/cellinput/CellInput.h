#pragma once

// How a value given to a cell is entered: the parts that need no office.

#include <QDate>
#include <QLocale>
#include <QString>

#include <optional>

namespace quorbel::lo {

// Day numbers of the 1900 date system as spreadsheets count them: days since
// 1899-12-30 (so 1 is 1899-12-31 and 46380 is 2026-12-24).
double dateSerial(QDate date);
// The day of a serial number (its whole part; the time of day is dropped).
// Invalid for values outside the years 1 to 9999.
QDate dateFromSerial(double serial);

// The office's language and country for a Qt locale ("de", "DE"); the C
// locale is US English.
struct OfficeLocale {
    QString language;
    QString country;
};
OfficeLocale officeLocale(const QLocale &locale);

// The office number format code for the locale's short date with the year in
// full, e.g. "M/D/YYYY" for en_US and "DD.MM.YYYY" for de_DE.
QString officeDateFormatCode(const QLocale &locale);

// What a text typed into a cell is before any number reading: empty (clears
// the cell), a literal text that can never be a number (no digit in it; a
// leading "=" never makes a formula here), a date in the locale's short date
// form or ISO form, or a candidate for the office's number reading.
enum class TextKind { Empty, Literal, Date, NumberCandidate };
struct TypedText {
    TextKind kind = TextKind::Literal;
    QDate date;
};
TypedText classifyTypedText(const QString &text, const QLocale &locale);

} // namespace quorbel::lo
