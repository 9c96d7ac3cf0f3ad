#include "EntryList.h"

#include <QStringTokenizer>

#include <algorithm>

namespace quorbel {
namespace {

// The fields of each non-empty record, in order, as they stand in the
// stored text (stand-ins not yet turned back).
using Records = QList<QStringList>;

// The plain form: split at every "|", then at every "^".
Records plainRecords(const QString &stored)
{
    Records records;
    // An empty record string yields no fields and creates no entry (and,
    // skipped where it stands, costs nothing: a damaged text of separators
    // alone makes no list of empty pieces).
    for (const QStringView record : QStringTokenizer(stored, kRecordSeparator, Qt::SkipEmptyParts))
        records.append(record.toString().split(kFieldSeparator));
    return records;
}

// The earlier backslash form: "\" before "^", "|" or "\" stands for that
// character, any other "\" is itself.
Records backslashRecords(const QString &stored)
{
    Records records;
    QStringList fields;
    QString field;
    bool recordEmpty = true;
    const auto endRecord = [&] {
        if (!recordEmpty) {
            fields.append(std::exchange(field, QString()));
            records.append(std::exchange(fields, QStringList()));
        }
        recordEmpty = true;
    };
    for (qsizetype i = 0; i < stored.size(); ++i) {
        const QChar c = stored.at(i);
        const QChar next = i + 1 < stored.size() ? stored.at(i + 1) : QChar();
        if (c == kOldEntryEscape && (next == kFieldSeparator || next == kRecordSeparator || next == kOldEntryEscape)) {
            field += next;
            recordEmpty = false;
            ++i;
        } else if (c == kFieldSeparator) {
            fields.append(std::exchange(field, QString()));
            recordEmpty = false;
        } else if (c == kRecordSeparator) {
            endRecord();
        } else {
            field += c;
            recordEmpty = false;
        }
    }
    endRecord();
    return records;
}

// True when every record has the four fields this program always writes.
bool asWritten(const Records &records)
{
    return std::all_of(records.cbegin(), records.cend(), [](const QStringList &fields) { return fields.size() == 4; });
}

} // namespace

QString encodeEntryField(const QString &text)
{
    QString out = text;
    out.replace(kFieldSeparator, kStoredFieldSeparator);
    out.replace(kRecordSeparator, kStoredRecordSeparator);
    return out;
}

QString decodeEntryField(const QString &stored)
{
    QString out = stored;
    out.replace(kStoredFieldSeparator, kFieldSeparator);
    out.replace(kStoredRecordSeparator, kRecordSeparator);
    return out;
}

QString encodeEntryList(const QList<ListEntry> &entries)
{
    QString stored;
    for (const ListEntry &entry : entries) {
        stored += encodeEntryField(entry.dueBy);
        stored += kFieldSeparator;
        stored += encodeEntryField(entry.project);
        stored += kFieldSeparator;
        stored += encodeEntryField(entry.notes);
        stored += kFieldSeparator;
        stored += encodeEntryField(entry.done);
        stored += kRecordSeparator;
    }
    if (!stored.isEmpty())
        stored.chop(1);
    return stored;
}

void decodeEntryList(const QString &stored, QList<ListEntry> &entries, const ExtraFieldReport &report)
{
    // Without a "\" pair both forms read the same, so the earlier form can
    // only win where it holds one.
    Records records = plainRecords(stored);
    if (!asWritten(records)) {
        Records old = backslashRecords(stored);
        if (asWritten(old))
            records = std::move(old);
    }

    for (const QStringList &fields : std::as_const(records)) {
        ListEntry entry;
        entry.dueBy = decodeEntryField(fields.at(0));
        if (fields.size() > 1)
            entry.project = decodeEntryField(fields.at(1));
        if (fields.size() > 2)
            entry.notes = decodeEntryField(fields.at(2));
        if (fields.size() > 3)
            entry.done = decodeEntryField(fields.at(3));
        entries.append(std::move(entry));
        for (qsizetype extra = 4; extra < fields.size(); ++extra) {
            if (report)
                report(ExtraEntryField{entries.size(), int(extra + 1), decodeEntryField(fields.at(extra))});
        }
    }
}

} // namespace quorbel
