// The stored date readers (the deadline "dtpDate" and Due By texts) on any
// text, in locales with short date forms of different shapes. A text that
// reads as a date must read as the same date again from its own short form.
#include "DateText.h"

#include <QLocale>
#include <QString>

#include <cstdint>
#include <cstdlib>

using namespace quorbel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QLocale locales[] = {QLocale::c(), QLocale(QLocale::English, QLocale::UnitedStates),
                                      QLocale(QLocale::German, QLocale::Germany),
                                      QLocale(QLocale::Japanese, QLocale::Japan)};
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const QLocale &locale : locales) {
        if (const auto date = readDateText(text, locale)) {
            if (!date->isValid() || readDateText(shortDateText(*date, locale), locale) != date)
                std::abort();
        }
        if (const auto value = readGeneralDateText(text, locale)) {
            if (!value->isValid())
                std::abort();
            const auto again = readGeneralDateText(generalDateText(*value, locale), locale);
            if (!again || again->date() != value->date())
                std::abort();
        }
    }
    return 0;
}
