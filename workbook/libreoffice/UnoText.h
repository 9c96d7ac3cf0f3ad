#pragma once

// Small helpers between Qt and UNO: text, property values and exceptions.

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/uno/Exception.hpp>
#include <com/sun/star/uno/Sequence.hxx>
#include <rtl/ustring.hxx>

#include <QString>

#include <initializer_list>
#include <utility>

namespace quorbel::lo {

namespace css = com::sun::star;

inline QString toQ(const rtl::OUString &text)
{
    return QString(reinterpret_cast<const QChar *>(text.getStr()), text.getLength());
}

inline rtl::OUString toU(const QString &text)
{
    return rtl::OUString(reinterpret_cast<const sal_Unicode *>(text.utf16()), sal_Int32(text.size()));
}

// A media descriptor or filter data list: {{"Hidden", Any(true)}, ...}.
inline css::uno::Sequence<css::beans::PropertyValue>
properties(std::initializer_list<std::pair<const char *, css::uno::Any>> list)
{
    css::uno::Sequence<css::beans::PropertyValue> result(sal_Int32(list.size()));
    css::beans::PropertyValue *out = result.getArray();
    for (const auto &[name, value] : list) {
        out->Name = rtl::OUString::createFromAscii(name);
        out->Value = value;
        ++out;
    }
    return result;
}

// The message of a UNO exception, or its type name when it carries none.
inline QString describe(const css::uno::Exception &error)
{
    return toQ(error.Message);
}

} // namespace quorbel::lo
