#pragma once

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>

#include <optional>

namespace quorbel {

// Dates that become text take the locale's short date format, with the year
// always written in full ("12/24/2026" rather than "12/24/26") so that the
// text reads back as the same date in any century.
QString shortDateFormat(const QLocale &locale = QLocale());
QString shortDateText(QDate date, const QLocale &locale = QLocale());

// The longest text the readers below take for a date (after the blanks
// around it are dropped): a short date with a time of day is a few dozen
// characters in any locale. A longer text is no date, and is refused before
// any parsing, so reading takes the same short time whatever the text holds.
inline constexpr qsizetype kMaxDateTextLength = 128;

// Reads a date written in the locale's short format, with a four-digit or a
// two-digit year (two digits land in 1930-2029, as a desktop spreadsheet reads
// them), or in ISO form (2026-12-24). Surrounding blanks are ignored.
std::optional<QDate> readDateText(const QString &text, const QLocale &locale = QLocale());

// The general date form: the short date, followed by the time of day only
// when that is not midnight.
QString generalDateText(const QDateTime &value, const QLocale &locale = QLocale());
std::optional<QDateTime> readGeneralDateText(const QString &text, const QLocale &locale = QLocale());

} // namespace quorbel
