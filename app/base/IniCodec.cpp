#include "IniCodec.h"

#include <QSettings>
#include <QStringList>

#include <utility>

namespace quorbel {
namespace {

void appendHex(QByteArray &out, char16_t ch)
{
    out += "\\x";
    out += QByteArray::number(uint(ch), 16);
}

bool isHexDigit(char16_t ch)
{
    return (ch >= u'0' && ch <= u'9') || (ch >= u'a' && ch <= u'f') || (ch >= u'A' && ch <= u'F');
}

} // namespace

void appendIniKey(QByteArray &out, QStringView key)
{
    for (const QChar qch : key) {
        const char16_t ch = qch.unicode();
        if (ch == u'/') {
            out += '\\';
        } else if ((ch >= u'a' && ch <= u'z') || (ch >= u'A' && ch <= u'Z') || (ch >= u'0' && ch <= u'9') ||
                   ch == u'_' || ch == u'-' || ch == u'.') {
            out += char(ch);
        } else if (ch <= 0xFF) {
            out += '%';
            out += QByteArray::number(uint(ch), 16).toUpper().rightJustified(2, '0');
        } else {
            out += "%U";
            out += QByteArray::number(uint(ch), 16).toUpper().rightJustified(4, '0');
        }
    }
}

void appendIniText(QByteArray &out, const QString &raw)
{
    QString text = raw;
    if (text.contains(QChar(u'\0')))
        text = QStringLiteral("@String(") + text + QLatin1Char(')');
    else if (text.startsWith(QLatin1Char('@')))
        text.prepend(QLatin1Char('@'));

    const qsizetype start = out.size();
    bool needsQuotes = false;
    bool escapeHexDigit = false; // after a \x or \0 escape, a hex digit would join it
    const qsizetype n = text.size();
    const char16_t *s = reinterpret_cast<const char16_t *>(text.constData());
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t ch = s[i];
        if (ch == u';' || ch == u',' || ch == u'=')
            needsQuotes = true;
        if (escapeHexDigit && isHexDigit(ch)) {
            appendHex(out, ch);
            continue;
        }
        escapeHexDigit = false;
        switch (ch) {
        case u'\0': out += "\\0"; escapeHexDigit = true; break;
        case u'\a': out += "\\a"; break;
        case u'\b': out += "\\b"; break;
        case u'\f': out += "\\f"; break;
        case u'\n': out += "\\n"; break;
        case u'\r': out += "\\r"; break;
        case u'\t': out += "\\t"; break;
        case u'\v': out += "\\v"; break;
        case u'"':
        case u'\\':
            out += '\\';
            out += char(ch);
            break;
        default:
            if (ch <= 0x1F) {
                appendHex(out, ch);
                escapeHexDigit = true;
            } else if (ch < 0x80) {
                out += char(ch);
            } else if (ch < 0x800) {
                out += char(0xC0 | (ch >> 6));
                out += char(0x80 | (ch & 0x3F));
            } else if (QChar::isHighSurrogate(ch) && i + 1 < n && QChar::isLowSurrogate(s[i + 1])) {
                const char32_t cp = QChar::surrogateToUcs4(ch, s[i + 1]);
                ++i;
                out += char(0xF0 | (cp >> 18));
                out += char(0x80 | ((cp >> 12) & 0x3F));
                out += char(0x80 | ((cp >> 6) & 0x3F));
                out += char(0x80 | (cp & 0x3F));
            } else if (QChar::isSurrogate(ch) || ch == 0xFEFF) {
                appendHex(out, ch);
                escapeHexDigit = true;
            } else {
                out += char(0xE0 | (ch >> 12));
                out += char(0x80 | ((ch >> 6) & 0x3F));
                out += char(0x80 | (ch & 0x3F));
            }
        }
    }
    if (needsQuotes || (start < out.size() && (out.at(start) == ' ' || out.back() == ' '))) {
        out.insert(start, '"');
        out += '"';
    }
}

namespace {

// "key=value\n" for a text or a list of texts; empty for other values,
// which only QSettings writes.
QByteArray makeLine(QStringView key, const QVariant &value)
{
    QByteArray line;
    appendIniKey(line, key);
    line += '=';
    if (value.typeId() == QMetaType::QString) {
        appendIniText(line, value.toString());
    } else if (value.typeId() == QMetaType::QStringList) {
        const QStringList list = value.toStringList();
        if (list.isEmpty())
            line += "@Invalid()";
        for (qsizetype i = 0; i < list.size(); ++i) {
            if (i != 0)
                line += ", ";
            appendIniText(line, list.at(i));
        }
    } else {
        return {};
    }
    line += '\n';
    return line;
}

} // namespace

std::optional<QList<QByteArray>> iniText(const QMap<QString, QVariant> &entries)
{
    QMap<QString, QList<QByteArray>> sections;
    for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
        const qsizetype slash = it.key().indexOf(QLatin1Char('/'));
        const QString section = slash < 0 ? QString() : it.key().left(slash);
        QByteArray line =
            makeLine(slash < 0 ? QStringView(it.key()) : QStringView(it.key()).sliced(slash + 1), it.value());
        if (line.isEmpty())
            return std::nullopt;
        sections[section].append(std::move(line));
    }
    QList<QByteArray> pieces;
    for (auto it = sections.cbegin(); it != sections.cend(); ++it) {
        QByteArray header;
        if (!pieces.isEmpty())
            header += '\n';
        QByteArray name;
        appendIniKey(name, it.key());
        if (name.isEmpty())
            header += "[General]\n";
        else if (name.compare("general", Qt::CaseInsensitive) == 0)
            header += "[%General]\n";
        else
            header += '[' + name + "]\n";
        pieces.append(header);
        pieces.append(it.value());
    }
    return pieces;
}

QMap<QString, QVariant> readIniFile(const QString &path)
{
    QMap<QString, QVariant> entries;
    QSettings settings(path, QSettings::IniFormat);
    const QStringList keys = settings.allKeys();
    for (const QString &key : keys)
        entries.insert(key, settings.value(key));
    return entries;
}

} // namespace quorbel
