#pragma once

// The INI text form of the settings file, as QSettings reads and writes it:
// keys and section names with their escapes, texts with theirs, and the
// whole file's text for a set of keys.

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringView>
#include <QVariant>

#include <optional>

namespace quorbel {

// A key or section name: letters, digits, "_", "-" and "." as they are, "/"
// as "\", every other character as %XX or %UXXXX.
void appendIniKey(QByteArray &out, QStringView key);

// One text as a value: control characters, quotes and backslashes escaped,
// the rest in UTF-8; quoted when it holds ";", "," or "=" or starts or ends
// with a blank. A text starting with "@" gets a second "@" (a single one
// marks a typed value), one holding a NUL is written as @String(...). A lone
// surrogate (no UTF-8 form) and a byte order mark (which Qt drops where it
// starts decoding) are written as \x escapes. Every text reads back in
// QSettings exactly as it was.
void appendIniText(QByteArray &out, const QString &text);

// The file's text for `entries` (keys as QSettings names them:
// "Section/key"), in pieces: sections in the order QSettings writes
// them, a key without a section in [General]; byte for byte what QSettings
// writes for ordinary texts. None when a value is neither a text nor a list
// of texts (only a hand edit or another program puts one there).
std::optional<QList<QByteArray>> iniText(const QMap<QString, QVariant> &entries);

// Every key of the INI file at `path` as QSettings reads it (a hand-edited
// value with an unquoted comma as a list of texts); empty for a missing or
// unreadable file.
QMap<QString, QVariant> readIniFile(const QString &path);

} // namespace quorbel
