// The settings store's journal on any bytes: the reader takes exactly the
// records the writer writes, up to the first torn or damaged one; a store
// over such a journal reads each key as the records left it, a write after
// a torn end is read back, and folding the journal into the INI file
// changes nothing that reads.
//
// Input: the journal's bytes, beside a small INI file of the program's keys.
#include "Failure.h"
#include "SettingsStore.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>
#include <optional>

using namespace quorbel;

namespace {

// The lengths the program's keys take: a date text is short, the list long,
// a header text as long as its text box holds.
const SettingLimits kLimits(32767, {{QStringLiteral("dtpDate"), 128}, {QStringLiteral("ToDo"), 8 * 1024 * 1024}});

const char *const kKeys[] = {"dtpDate", "txtName", "txtProName", "ToDo"};

// In memory where the machine has /dev/shm: a fold syncs the file to the
// disk, which costs nothing there.
QString folder()
{
    static QTemporaryDir dir(QFile::exists(QStringLiteral("/dev/shm"))
                                 ? QStringLiteral("/dev/shm/quorbel-fuzz-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/quorbel-fuzz-XXXXXX"));
    return dir.path();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        std::abort();
}

// What a store reads for each key: the text, or none where it is damaged.
using Values = std::array<std::optional<QString>, 4>;

Values readAllKeys(SettingsStore &store)
{
    Values values;
    for (int i = 0; i < 4; ++i) {
        try {
            values[i] = store.read(QString::fromLatin1(kKeys[i]), QStringLiteral("(none)"));
        } catch (const Failure &) {
        }
    }
    return values;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray journal(reinterpret_cast<const char *>(data), qsizetype(size));

    // The reader takes the written form of its records and nothing else.
    qsizetype valid = -1;
    const QList<SettingsJournalRecord> records = readSettingsJournal(journal, &valid);
    if (valid < 0 || valid > journal.size())
        std::abort();
    QByteArray rewritten;
    for (const SettingsJournalRecord &record : records)
        rewritten += settingsJournalRecord(record.key, record.value);
    if (rewritten != journal.first(valid))
        std::abort();

    // A new file name each time: a file of the same size written in the
    // same millisecond is not taken for the one before.
    static int counter = 0;
    const QString path = folder() + QStringLiteral("/Marvesk-%1.ini").arg(++counter);
    writeFile(path, "[Quorbel]\ntxtName=Ann\nToDo=a^b^^V\n");
    writeFile(path + QStringLiteral(".journal"), journal);

    // Each key as the INI file and the records left it.
    Values expected = {QStringLiteral("(none)"), QStringLiteral("Ann"), QStringLiteral("(none)"),
                       QStringLiteral("a^b^^V")};
    for (const SettingsJournalRecord &record : records) {
        for (int i = 0; i < 4; ++i) {
            if (record.key == QStringLiteral("Quorbel/") + QString::fromLatin1(kKeys[i]))
                expected[i] = record.value.size() > kLimits.of(QString::fromLatin1(kKeys[i]))
                                  ? std::nullopt
                                  : std::optional<QString>(record.value);
        }
    }
    {
        SettingsStore store(path, kLimits);
        if (readAllKeys(store) != expected)
            std::abort();
        // A write goes after the records, never after a torn end.
        if (!store.write(QStringLiteral("txtProName"), QStringLiteral("x")))
            std::abort();
        expected[2] = QStringLiteral("x");
        SettingsStore fresh(path, kLimits);
        if (readAllKeys(fresh) != expected)
            std::abort();
        store.flush();
    }
    // Folded into the INI file, the journal emptied: the same.
    if (QFile(path + QStringLiteral(".journal")).size() != 0)
        std::abort();
    SettingsStore folded(path, kLimits);
    if (readAllKeys(folded) != expected)
        std::abort();
    QFile::remove(path);
    QFile::remove(path + QStringLiteral(".journal"));
    return 0;
}
