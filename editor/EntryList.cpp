#include "EntryList.h"

namespace quorbel {
namespace {

bool isSpecial(QChar c)
{
    return c == kFieldSeparator || c == kRecordSeparator || c == kEntryEscape;
}

// Collects the fields of one record while the stored text is scanned.
class RecordBuilder {
public:
    RecordBuilder(QList<ListEntry> &entries, const ExtraFieldReport &report)
        : m_entries(entries), m_report(report)
    {
    }

    void addChar(QChar c)
    {
        m_field += c;
        m_empty = false;
    }

    void endField()
    {
        m_empty = false;
        storeField();
    }

    void endRecord()
    {
        // An empty record string yields no fields and no entry.
        if (!m_empty)
            storeField();
        m_empty = true;
        m_fieldNumber = 0;
    }

private:
    void storeField()
    {
        ++m_fieldNumber;
        QString text = std::exchange(m_field, QString());
        switch (m_fieldNumber) {
        case 1:
            m_entries.append(ListEntry{std::move(text), {}, {}, {}});
            break;
        case 2:
            m_entries.last().project = std::move(text);
            break;
        case 3:
            m_entries.last().notes = std::move(text);
            break;
        case 4:
            m_entries.last().done = std::move(text);
            break;
        default:
            if (m_report)
                m_report(ExtraEntryField{m_entries.size(), m_fieldNumber, std::move(text)});
            break;
        }
    }

    QList<ListEntry> &m_entries;
    const ExtraFieldReport &m_report;
    QString m_field;
    int m_fieldNumber = 0;
    bool m_empty = true;
};

} // namespace

QString encodeEntryField(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == kFieldSeparator || c == kRecordSeparator) {
            out += kEntryEscape;
            out += c;
        } else if (c == kEntryEscape) {
            // Doubled only where a reader could take it for an escape.
            const bool ambiguous = i + 1 == text.size() || isSpecial(text.at(i + 1));
            out += c;
            if (ambiguous)
                out += c;
        } else {
            out += c;
        }
    }
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
    RecordBuilder record(entries, report);
    for (qsizetype i = 0; i < stored.size(); ++i) {
        const QChar c = stored.at(i);
        if (c == kEntryEscape && i + 1 < stored.size() && isSpecial(stored.at(i + 1))) {
            record.addChar(stored.at(i + 1));
            ++i;
        } else if (c == kFieldSeparator) {
            record.endField();
        } else if (c == kRecordSeparator) {
            record.endRecord();
        } else {
            record.addChar(c);
        }
    }
    record.endRecord();
}

} // namespace quorbel
