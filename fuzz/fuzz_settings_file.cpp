// The settings store on any file, and any text through the store: a file of
// any bytes reads without failing (a value too long counts as damaged), and
// a text written to the store reads back exactly, from the store and from a
// store made afresh.
//
// Input: the first byte picks what is fuzzed (even: the bytes are the file;
// odd: the rest is a text, as UTF-16, to write).
#include "Failure.h"
#include "SettingsStore.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

using namespace quorbel;

namespace {

// The lengths the program's keys take: a date text is short, the list long,
// a header text as long as its text box holds.
const SettingLimits kLimits(32767, {{QStringLiteral("dtpDate"), 128}, {QStringLiteral("ToDo"), 8 * 1024 * 1024}});

// In memory where the machine has /dev/shm: the store syncs each file to
// the disk, which costs nothing there.
QString folder()
{
    static QTemporaryDir dir(QFile::exists(QStringLiteral("/dev/shm"))
                                 ? QStringLiteral("/dev/shm/quorbel-fuzz-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/quorbel-fuzz-XXXXXX"));
    return dir.path();
}

void readAllKeys(SettingsStore &store)
{
    for (const char *key : {"dtpDate", "txtName", "txtProName", "ToDo"}) {
        try {
            const QString value = store.read(QString::fromLatin1(key));
            if (value.size() > kLimits.of(QString::fromLatin1(key)))
                std::abort();
        } catch (const Failure &) {
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    static int counter = 0;
    // A new file name each time: a file of the same size written in the
    // same millisecond is not taken for the one before.
    const QString path = folder() + QStringLiteral("/Marvesk-%1.ini").arg(++counter);
    const QByteArray rest(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    if (data[0] % 2 == 0) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(rest) != rest.size())
            std::abort();
        file.close();
        SettingsStore store(path, kLimits);
        readAllKeys(store);
        // A write keeps the file readable and its own key exact.
        if (!store.write(QStringLiteral("txtName"), QStringLiteral("x")))
            std::abort();
        SettingsStore fresh(path, kLimits);
        readAllKeys(fresh);
        if (fresh.read(QStringLiteral("txtName")) != QStringLiteral("x"))
            std::abort();
    } else {
        const QString text(reinterpret_cast<const QChar *>(rest.constData()), rest.size() / 2);
        SettingsStore store(path, kLimits);
        if (!store.write(QStringLiteral("txtProName"), text))
            std::abort();
        if (store.read(QStringLiteral("txtProName")) != text)
            std::abort();
        SettingsStore fresh(path, kLimits);
        if (fresh.read(QStringLiteral("txtProName")) != text)
            std::abort();
    }
    QFile::remove(path);
    return 0;
}
