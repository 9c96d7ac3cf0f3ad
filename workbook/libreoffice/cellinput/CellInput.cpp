#include "CellInput.h"

#include "DateText.h"

#include <cmath>

namespace quorbel::lo {
namespace {

const QDate kEpoch(1899, 12, 30);

} // namespace

double dateSerial(QDate date)
{
    return double(kEpoch.daysTo(date));
}

QDate dateFromSerial(double serial)
{
    if (!std::isfinite(serial) || serial < -693593.0 || serial > 2958465.0)
        return {};
    return kEpoch.addDays(qint64(std::floor(serial)));
}

OfficeLocale officeLocale(const QLocale &locale)
{
    if (locale.language() == QLocale::C)
        return {QStringLiteral("en"), QStringLiteral("US")};
    const QString name = locale.name();  // "de_DE"
    const qsizetype underscore = name.indexOf(QLatin1Char('_'));
    if (underscore < 0)
        return {name, QString()};
    return {name.left(underscore), name.mid(underscore + 1)};
}

QString officeDateFormatCode(const QLocale &locale)
{
    // Qt's pattern letters become the office's: d D, M M, y Y; day names
    // (ddd) are NN, and any other letter or mark is quoted literal text.
    const QString format = shortDateFormat(locale);
    QString code;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format.at(i);
        qsizetype run = 1;
        while (i + run < format.size() && format.at(i + run) == c)
            ++run;
        if (c == QLatin1Char('d')) {
            code += run <= 2 ? QString(run, QLatin1Char('D')) : QString(run == 3 ? QStringLiteral("NN") : QStringLiteral("NNN"));
        } else if (c == QLatin1Char('M')) {
            code += QString(std::min<qsizetype>(run, 4), QLatin1Char('M'));
        } else if (c == QLatin1Char('y')) {
            code += run <= 2 ? QStringLiteral("YY") : QStringLiteral("YYYY");
        } else if (c == QLatin1Char('\'')) {
            // A quoted literal in Qt's pattern.
            const qsizetype end = format.indexOf(QLatin1Char('\''), i + 1);
            const QString literal = format.mid(i + 1, (end < 0 ? format.size() : end) - i - 1);
            if (!literal.isEmpty())
                code += QLatin1Char('"') + literal + QLatin1Char('"');
            run = (end < 0 ? format.size() : end + 1) - i;
        } else if (c == QLatin1Char('/') || c == QLatin1Char('.') || c == QLatin1Char('-') || c == QLatin1Char(' ')
                   || c == QLatin1Char(',')) {
            code += QString(run, c);
        } else {
            code += QLatin1Char('"') + QString(run, c) + QLatin1Char('"');
        }
        i += run;
    }
    return code;
}

TypedText classifyTypedText(const QString &text, const QLocale &locale)
{
    if (text.isEmpty())
        return {TextKind::Empty, {}};
    if (text.startsWith(QLatin1Char('=')))
        return {TextKind::Literal, {}};
    if (const auto date = readDateText(text, locale))
        return {TextKind::Date, *date};
    for (const QChar c : text) {
        if (c.isDigit())
            return {TextKind::NumberCandidate, {}};
    }
    return {TextKind::Literal, {}};
}

} // namespace quorbel::lo
