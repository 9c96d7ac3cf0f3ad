// The list's stored form ("ToDo") on any text: decoding never fails, and
// the entries it gives are stored and read back unchanged; a limit on the
// entries made gives the first of them.
#include "EntryList.h"

#include <QString>

#include <cstdint>
#include <cstdlib>

using namespace quorbel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString stored = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    QList<ListEntry> entries;
    qsizetype extras = 0;
    const qsizetype held = decodeEntryList(stored, entries, [&](const ExtraEntryField &extra) {
        if (extra.entryNumber < 1 || extra.entryNumber > entries.size() || extra.fieldNumber < 5)
            std::abort();
        ++extras;
    });
    // Every entry comes from a non-empty record: no more entries than
    // records.
    if (entries.size() > stored.count(kRecordSeparator) + 1)
        std::abort();

    if (held != entries.size())
        std::abort();
    // A limit gives the first entries of the same reading, and the same count.
    const qsizetype limit = qsizetype(size % 4);
    QList<ListEntry> first;
    if (decodeEntryList(stored, first, {}, limit) != held || first != entries.mid(0, limit))
        std::abort();

    QList<ListEntry> again;
    decodeEntryList(encodeEntryList(entries), again, [](const ExtraEntryField &) { std::abort(); });
    if (again.size() != entries.size())
        std::abort();
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const ListEntry &a = entries.at(i);
        const ListEntry &b = again.at(i);
        if (a.dueBy != b.dueBy || a.project != b.project || a.notes != b.notes || a.done != b.done)
            std::abort();
    }
    return 0;
}
