#include "DateText.h"

#include <QRegularExpression>

namespace quorbel {
namespace {

// Widens a lone "yy" (not part of "yyyy") to "yyyy".
QString widenYear(const QString &format)
{
    QString result;
    for (qsizetype i = 0; i < format.size();) {
        if (format.at(i) == QLatin1Char('y')) {
            qsizetype run = 0;
            while (i + run < format.size() && format.at(i + run) == QLatin1Char('y'))
                ++run;
            result += QStringLiteral("yyyy");
            i += run;
        } else {
            result += format.at(i);
            ++i;
        }
    }
    return result;
}

std::optional<QDate> tryFormat(const QString &text, const QString &format, const QLocale &locale)
{
    const QDate date = locale.toDate(text, format);
    if (date.isValid())
        return date;
    return std::nullopt;
}

// The locale's long time format without a time zone ("h:mm:ss AP").
QString timeFormat(const QLocale &locale)
{
    QString format = locale.timeFormat(QLocale::LongFormat);
    format.remove(QRegularExpression(QStringLiteral("\\s*t+")));
    return format.trimmed();
}

} // namespace

QString shortDateFormat(const QLocale &locale)
{
    return widenYear(locale.dateFormat(QLocale::ShortFormat));
}

QString shortDateText(QDate date, const QLocale &locale)
{
    return locale.toString(date, shortDateFormat(locale));
}

std::optional<QDate> readDateText(const QString &rawText, const QLocale &locale)
{
    const QString text = rawText.trimmed();
    if (text.isEmpty() || text.size() > kMaxDateTextLength)
        return std::nullopt;

    if (auto date = tryFormat(text, shortDateFormat(locale), locale))
        return date;

    const QString twoDigitFormat = locale.dateFormat(QLocale::ShortFormat);
    if (twoDigitFormat.contains(QStringLiteral("yy")) && !twoDigitFormat.contains(QStringLiteral("yyyy"))) {
        static const QRegularExpression fourDigits(QStringLiteral("\\d{3,}"));
        if (!fourDigits.match(text).hasMatch()) {
            if (auto date = tryFormat(text, twoDigitFormat, locale)) {
                // Qt reads "yy" as 19yy; a desktop spreadsheet's window is 1930-2029.
                int year = date->year() % 100;
                year += year < 30 ? 2000 : 1900;
                const QDate fixed(year, date->month(), date->day());
                if (fixed.isValid())
                    return fixed;
            }
        }
    }

    const QDate iso = QDate::fromString(text, Qt::ISODate);
    if (iso.isValid())
        return iso;
    return std::nullopt;
}

QString generalDateText(const QDateTime &value, const QLocale &locale)
{
    QString text = shortDateText(value.date(), locale);
    if (value.time().isValid() && value.time() != QTime(0, 0))
        text += QLatin1Char(' ') + locale.toString(value.time(), timeFormat(locale));
    return text;
}

std::optional<QDateTime> readGeneralDateText(const QString &rawText, const QLocale &locale)
{
    const QString text = rawText.trimmed();
    // Longer texts are no date; refusing them first keeps the tries below
    // (a date read for each blank) bounded, whatever the text holds.
    if (text.isEmpty() || text.size() > kMaxDateTextLength)
        return std::nullopt;
    if (auto date = readDateText(text, locale))
        return QDateTime(*date, QTime(0, 0));
    // A date followed by a time of day: try each split at a blank.
    for (qsizetype space = text.indexOf(QLatin1Char(' ')); space > 0;
         space = text.indexOf(QLatin1Char(' '), space + 1)) {
        const auto date = readDateText(text.left(space), locale);
        if (!date)
            continue;
        const QString timeText = text.mid(space + 1).trimmed();
        for (const QString &format : {timeFormat(locale), locale.timeFormat(QLocale::ShortFormat)}) {
            const QTime time = locale.toTime(timeText, format);
            if (time.isValid())
                return QDateTime(*date, time);
        }
        const QTime iso = QTime::fromString(timeText, Qt::ISODate);
        if (iso.isValid())
            return QDateTime(*date, iso);
    }
    return std::nullopt;
}

} // namespace quorbel
