#include "EntryList.h"

#include <QStringTokenizer>

#include <utility>

namespace quorbel {
namespace {

// The fields of the first non-empty records, in order, as they stand in the
// stored text (stand-ins not yet turned back), and what the whole text holds:
// how many non-empty records, and whether each has the four fields this
// program always writes. Records past the first `limit` are counted, not
// kept, so a damaged or foreign text of millions of records costs a scan.
struct Records {
    QList<QStringList> kept;
    qsizetype count = 0;
    bool asWritten = true;

    // Takes one record of `fields` fields; `make` gives them when kept.
    template <typename Make>
    void take(qsizetype fields, qsizetype limit, Make make)
    {
        ++count;
        asWritten = asWritten && fields == 4;
        if (kept.size() < limit)
            kept.append(make());
    }
};

// The plain form: split at every "|", then at every "^".
Records plainRecords(const QString &stored, qsizetype limit)
{
    Records records;
    // An empty record string yields no fields and creates no entry (and,
    // skipped where it stands, costs nothing: a damaged text of separators
    // alone makes no list of empty pieces).
    for (const QStringView record : QStringTokenizer(stored, kRecordSeparator, Qt::SkipEmptyParts))
        records.take(record.count(kFieldSeparator) + 1, limit,
                     [&] { return record.toString().split(kFieldSeparator); });
    return records;
}

// The earlier backslash form: "\" before "^", "|" or "\" stands for that
// character, any other "\" is itself.
Records backslashRecords(const QString &stored, qsizetype limit)
{
    Records records;
    QStringList fields;
    QString field;
    bool recordEmpty = true;
    const auto endRecord = [&] {
        if (!recordEmpty) {
            fields.append(std::exchange(field, QString()));
            records.take(fields.size(), limit, [&] { return fields; });
            fields.clear();
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

qsizetype decodeEntryList(const QString &stored, QList<ListEntry> &entries, const ExtraFieldReport &report,
                          qsizetype limit)
{
    // Without a "\" pair both forms read the same, so the earlier form can
    // only win where it holds one.
    Records records = plainRecords(stored, limit);
    if (!records.asWritten) {
        Records old = backslashRecords(stored, limit);
        if (old.asWritten)
            records = std::move(old);
    }

    for (const QStringList &fields : std::as_const(records.kept)) {
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
    return records.count;
}

} // namespace quorbel
