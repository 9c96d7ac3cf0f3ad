// What a key typed into a header field costs ("To Be Completed By:"; each
// key is written to the settings store at once), with an empty stored list
// and with 10,000 stored entries, in one run; what a change of the list
// costs, and what folding the journal into the INI file costs the store's
// thread. Prints figures; asserts nothing.
//
//     bench_settings_store [keys per round, default 200]

#include "BenchSupport.h"
#include "EntryList.h"
#include "ListChanges.h"
#include "Form1.h"
#include "Form1Settings.h"
#include "SettingsStore.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

using namespace quorbel;

namespace {

QList<ListEntry> makeList(int count)
{
    QList<ListEntry> entries;
    for (int i = 0; i < count; ++i)
        entries.append({QStringLiteral("12/%1/2026").arg(i % 28 + 1), QStringLiteral("Project %1").arg(i),
                        QStringLiteral("Notes on entry %1: what is to be done, by whom and with what").arg(i),
                        i % 3 == 0 ? QStringLiteral("V") : QString()});
    return entries;
}

struct Figures {
    double medianMs = 0;
    double meanMs = 0;
    double cpuMedianMs = 0; // the thread's own time, user and system: steady on a busy machine
};

// The thread's CPU time in ms (what the kernel spends writing counts).
double threadCpuMs()
{
    struct timespec t {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// Wall-clock and CPU time of one step.
class Stopwatch {
public:
    void start()
    {
        m_cpu = threadCpuMs();
        m_wall.start();
    }
    void stop(std::vector<double> &wall, std::vector<double> &cpu)
    {
        wall.push_back(double(m_wall.nsecsElapsed()) / 1e6);
        cpu.push_back(threadCpuMs() - m_cpu);
    }

private:
    QElapsedTimer m_wall;
    double m_cpu = 0;
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

Figures summarise(const std::vector<double> &times, const std::vector<double> &cpu)
{
    Figures f;
    f.medianMs = median(times);
    for (double t : times)
        f.meanMs += t;
    f.meanMs /= double(times.size());
    f.cpuMedianMs = median(cpu);
    return f;
}

// Keys typed into the window's "To Be Completed By:" field.
Figures typeKeys(SettingsStore &store, int entries, int keys, Dialogs &dialogs)
{
    store.writeOrThrow(kListKey, encodeEntryList(makeList(entries)));
    store.writeOrThrow(kCompletedByKey, QString());
    Form1::Services services = bench::programServices(dialogs);
    services.settings = &store;
    Form1 window(services);
    window.show();
    auto *completedBy = window.findChild<QLineEdit *>(QStringLiteral("txtName"));
    completedBy->setFocus();
    std::vector<double> times, cpu;
    Stopwatch timer;
    for (int i = 0; i < keys; ++i) {
        timer.start();
        QTest::keyClick(completedBy, char('a' + i % 26));
        timer.stop(times, cpu);
    }
    store.flush();
    if (window.entryCount() != entries || QSettings(settingsFilePath(), QSettings::IniFormat).value(QStringLiteral("Quorbel/txtName")).toString().size() != keys)
        std::fprintf(stderr, "unexpected state: %d rows, %lld characters stored\n", window.entryCount(),
                     qlonglong(store.read(kCompletedByKey).size()));
    window.close();
    // The store folds the journal into the file in a pause after the last
    // write: let it happen here, outside the figures.
    QTest::qWait(SettingsStore::kFoldDelayMs + 200);
    return summarise(times, cpu);
}

// `step` timed `count` times, with a text a letter longer each time.
template <typename Step>
Figures timeSteps(int count, Step step)
{
    std::vector<double> times, cpu;
    Stopwatch timer;
    QString text;
    for (int i = 0; i < count; ++i) {
        text += QLatin1Char(char('a' + i % 26));
        timer.start();
        step(text);
        timer.stop(times, cpu);
    }
    return summarise(times, cpu);
}

// One write of "txtName" a key, a letter longer each time, by `write`.
template <typename Write>
Figures timeWrites(SettingsStore &store, int entries, int keys, Write write)
{
    store.writeOrThrow(kListKey, encodeEntryList(makeList(entries)));
    // The INI file holds that list (not the journal alone).
    store.flush();
    const Figures f = timeSteps(keys, write);
    QTest::qWait(SettingsStore::kFoldDelayMs + 200);
    return f;
}

// An edit committed in place: the first entry's notes, a letter longer each
// time. The whole list is encoded and written, and the edit waits for the
// file (a failed list write is reported), so it grows with the list.
Figures editNotes(SettingsStore &store, int entries, int edits, Dialogs &dialogs)
{
    store.writeOrThrow(kListKey, encodeEntryList(makeList(entries)));
    Form1::Services services = bench::programServices(dialogs);
    services.settings = &store;
    Form1 window(services);
    window.show();
    QString last;
    const Figures f = timeSteps(edits, [&](const QString &text) {
        window.ListView1_AfterLabelEdit(0, EntryField::Notes, text);
        last = text;
    });
    if (window.entry(0).notes != last)
        std::fprintf(stderr, "unexpected state: the edit did not land\n");
    window.close();
    QTest::qWait(SettingsStore::kFoldDelayMs + 200);
    return f;
}

// The store alone: each write is in the journal when it returns.
Figures writeKeys(SettingsStore &store, int entries, int keys)
{
    return timeWrites(store, entries, keys, [&](const QString &text) { store.write(kCompletedByKey, text); });
}

// A change of the list as the store takes it: the whole list, a letter
// longer each time, appended to the journal.
Figures writeLists(SettingsStore &store, int entries, int writes)
{
    const QString list = encodeEntryList(makeList(entries));
    const Figures f = timeSteps(writes, [&](const QString &text) { store.writeOrThrow(kListKey, list + text); });
    QTest::qWait(SettingsStore::kFoldDelayMs + 200);
    return f;
}

// What the store's thread does in the pause after a key: the journal (one
// key) folded into an INI file that holds the list, synced to the disk.
Figures foldKeys(SettingsStore &store, int entries, int folds)
{
    store.writeOrThrow(kListKey, encodeEntryList(makeList(entries)));
    store.flush();
    return timeSteps(folds, [&](const QString &text) {
        store.write(kCompletedByKey, text);
        store.flush();
    });
}

// The same writes as the program made them before it kept one store for
// the run: a QSettings made for each write, which reads the file again when
// it changed and writes every key anew (for comparison).
Figures writeKeysThroughQSettings(SettingsStore &store, int entries, int keys)
{
    return timeWrites(store, entries, keys, [](const QString &text) {
        QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Marvesk"));
        settings.setAtomicSyncRequired(true);
        settings.setValue(QStringLiteral("Quorbel/txtName"), text);
        settings.sync();
    });
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // A store of its own, in a scratch folder.
    QTemporaryDir home;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, home.path());
    QApplication app(argc, argv);
    const int keys = argc > 1 ? std::max(1, atoi(argv[1])) : 200;
    bench::CountingDialogs dialogs;
    // The store of the run, as the program makes one.
    SettingsStore store(settingsFilePath(), mainWindowSettingLimits());

    std::printf("settings file: %s\n", qPrintable(settingsFilePath()));
    std::printf("%-34s %8s %10s %10s %10s\n", "", "entries", "median ms", "mean ms", "CPU ms");
    std::vector<double> keyEmpty, keyFull, cpuEmpty, cpuFull;
    // Three times each, alternating, so that neither order nor warm-up decides.
    for (int round = 0; round < 3; ++round) {
        for (int entries : {0, 10000}) {
            const Figures f = typeKeys(store, entries, keys, dialogs);
            std::printf("%-34s %8d %10.3f %10.3f %10.3f\n", "key in \"To Be Completed By:\"", entries, f.medianMs, f.meanMs, f.cpuMedianMs);
            (entries == 0 ? keyEmpty : keyFull).push_back(f.medianMs);
            (entries == 0 ? cpuEmpty : cpuFull).push_back(f.cpuMedianMs);
        }
    }
    for (int entries : {0, 10000}) {
        const Figures f = writeKeys(store, entries, keys);
        std::printf("%-34s %8d %10.3f %10.3f %10.3f\n", "store write of \"txtName\"", entries, f.medianMs, f.meanMs, f.cpuMedianMs);
    }
    for (int entries : {1, 10000}) {
        const Figures f = writeLists(store, entries, std::max(1, keys / 4));
        std::printf("%-34s %8d %10.3f %10.3f %10.3f\n", "store write of the list (\"ToDo\")", entries, f.medianMs, f.meanMs, f.cpuMedianMs);
    }
    for (int entries : {0, 10000}) {
        const Figures f = foldKeys(store, entries, std::max(1, keys / 10));
        std::printf("%-34s %8d %10.3f %10.3f %10.3f\n", "key and fold (the thread's work)", entries, f.medianMs, f.meanMs, f.cpuMedianMs);
    }
    for (int entries : {0, 10000}) {
        const Figures f = writeKeysThroughQSettings(store, entries, keys);
        std::printf("%-34s %8d %10.3f %10.3f %10.3f\n", "QSettings write each (as before)", entries, f.medianMs, f.meanMs, f.cpuMedianMs);
    }
    for (int entries : {1, 10000}) {
        const Figures f = editNotes(store, entries, std::max(1, keys / 4), dialogs);
        std::printf("%-34s %8d %10.3f %10.3f %10.3f\n", "edit of an entry's notes in place", entries, f.medianMs, f.meanMs, f.cpuMedianMs);
    }
    std::printf("key with 10,000 entries / key with none (median of the rounds' medians): %.2fx wall-clock, "
                "%.2fx CPU\n",
                median(keyFull) / median(keyEmpty), median(cpuFull) / median(cpuEmpty));
    std::printf("boxes shown: %d\n", dialogs.boxes);
    return 0;
}
