#include "Failure.h"
#include "IniCodec.h"
#include "SettingsStore.h"
#include "TestFiles.h"
#include "TestHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <atomic>
#include <mutex>
#include <thread>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quorbel;
using namespace Qt::Literals::StringLiterals;

using quorbel::test::readAll;
using quorbel::test::writeFile;

namespace {

// The lengths the tests' keys take: "short" few, "long" many, every other
// key a hundred characters.
const SettingLimits kTestLimits(100, {{u"short"_s, 10}, {u"long"_s, 1000000}});

} // namespace

// The settings store: its INI text form, its journal, its folds and the
// lengths its keys take.
class TestSettingsStore : public QObject {
    Q_OBJECT

private slots:
    // --- the INI text form ---
    // Texts and keys as the file carries them, exactly.
    void escapes_data()
    {
        QTest::addColumn<bool>("isKey");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("plain") << false << u"Ann Example"_s << QByteArray("Ann Example");
        QTest::newRow("list mark quoted") << false << u"a,b"_s << QByteArray("\"a,b\"");
        QTest::newRow("leading blank quoted") << false << u" a"_s << QByteArray("\" a\"");
        QTest::newRow("typed-value mark doubled") << false << u"@x"_s << QByteArray("@@x");
        QTest::newRow("quote and backslash") << false << u"a\"b\\"_s << QByteArray("a\\\"b\\\\");
        QTest::newRow("control, then a hex digit") << false << u"\x01" "F"_s << QByteArray("\\x1\\x46");
        QTest::newRow("NUL") << false << QString(QChar(0)) + u"1"_s << QByteArray("@String(\\0\\x31)");
        QTest::newRow("UTF-8") << false << u"ä€"_s << QByteArray("\xc3\xa4\xe2\x82\xac");
        QTest::newRow("lone surrogate") << false << QString(QChar(0xD800)) << QByteArray("\\xd800");
        QTest::newRow("byte order mark") << false << QString(QChar(0xFEFF)) << QByteArray("\\xfeff");
        QTest::newRow("key as it is") << true << u"txt_Name-2.x"_s << QByteArray("txt_Name-2.x");
        QTest::newRow("key with blank and slash") << true << u"a b/c"_s << QByteArray("a%20b\\c");
        QTest::newRow("key beyond ASCII") << true << u"ä€"_s << QByteArray("%E4%U20AC");
    }

    void escapes()
    {
        QFETCH(bool, isKey);
        QFETCH(QString, text);
        QFETCH(QByteArray, written);
        QByteArray out("=");
        if (isKey)
            appendIniKey(out, text);
        else
            appendIniText(out, text);
        QCOMPARE(out, "=" + written);
    }

    // A whole file's text: what QSettings writes for the same keys, byte
    // for byte, where QSettings can write them; read back (as QSettings
    // reads) the same keys and values in every case.
    void fileText_data()
    {
        QTest::addColumn<QVariantMap>("entries");
        QTest::addColumn<bool>("qtWritesTheSame");
        QTest::newRow("sections in order") << QVariantMap{{u"Quorbel/txtName"_s, u"Ann"_s},
                                                          {u"Other/key"_s, u"v"_s},
                                                          {u"A/b"_s, u"c"_s}}
                                           << true;
        QTest::newRow("key without a section") << QVariantMap{{u"top"_s, u"x"_s}, {u"Quorbel/k"_s, u"y"_s}} << true;
        QTest::newRow("section named General") << QVariantMap{{u"General/k"_s, u"x"_s}, {u"top"_s, u"y"_s}} << true;
        QTest::newRow("keys with escapes") << QVariantMap{{u"Quorbel/a b"_s, u"1"_s},
                                                          {u"Quorbel/\u00e4\u20ac"_s, u"2"_s},
                                                          {u"Quorbel/a/b"_s, u"3"_s}}
                                           << true;
        QTest::newRow("quoted and escaped texts") << QVariantMap{{u"Quorbel/k"_s, u" a,b=c;d "_s},
                                                                 {u"Quorbel/l"_s, u"x\ny\t\"z\""_s}}
                                                  << true;
        QTest::newRow("list of texts") << QVariantMap{{u"Quorbel/k"_s, QStringList{u"a"_s, u"b c"_s}}} << true;
        QTest::newRow("texts QSettings cannot write")
            << QVariantMap{{u"Quorbel/k"_s, QString(QChar(0xDC00)) + u"a"_s}, {u"Quorbel/l"_s, u"\ufeffb"_s}} << false;
    }

    void fileText()
    {
        QFETCH(QVariantMap, entries);
        QFETCH(bool, qtWritesTheSame);
        QTemporaryDir dir;
        const std::optional<QList<QByteArray>> pieces = iniText(entries);
        QVERIFY(pieces);
        const QString path = dir.filePath(u"Marvesk.ini"_s);
        writeFile(path, pieces->join());
        QCOMPARE(readIniFile(path), entries);
        if (!qtWritesTheSame)
            return;
        const QString qtPath = dir.filePath(u"qt.ini"_s);
        {
            QSettings qt(qtPath, QSettings::IniFormat);
            for (auto it = entries.cbegin(); it != entries.cend(); ++it)
                qt.setValue(it.key(), it.value());
        }
        QCOMPARE(readAll(path), readAll(qtPath));
    }

    // A value of another type (only another program puts one there) has no
    // text of this codec's: QSettings writes that file.
    void otherTypesHaveNoText()
    {
        QVERIFY(!iniText({{u"Quorbel/k"_s, u"x"_s}, {u"Quorbel/n"_s, 5}}));
        QVERIFY(readIniFile(QTemporaryDir().filePath(u"missing.ini"_s)).isEmpty());
    }

    // --- the store ---
    void settingsLiveInTheTestsOwnFolder()
    {
        // Not the folder the environment names (the user's own outside CTest).
        const QString home = test::settingsHome();
        QVERIFY(!home.isEmpty());
        QCOMPARE(settingsFilePath(), home + QStringLiteral("/Marvesk.ini"));
        const QString fromEnvironment =
            qEnvironmentVariable("XDG_CONFIG_HOME", QDir::homePath() + QStringLiteral("/.config"));
        QVERIFY2(!settingsFilePath().startsWith(fromEnvironment + QLatin1Char('/')), qPrintable(settingsFilePath()));
        QVERIFY(home.startsWith(QDir::tempPath() + QLatin1Char('/')));
    }

    void settingsWriteReachesDisk()
    {
        SettingsStore store(settingsFilePath());
        QCOMPARE(store.read(QStringLiteral("neverWritten"), QStringLiteral("dflt")), QStringLiteral("dflt"));
        const QString tricky = QStringLiteral("a|b^c,d=e;\"f\"\\g\nh äöü");
        QVERIFY(store.write(QStringLiteral("txtProName"), tricky));
        // Another reader of the INI file sees it once the journal is folded.
        store.flush();
        QSettings raw(settingsFilePath(), QSettings::IniFormat);
        QCOMPARE(raw.value(QStringLiteral("Quorbel/txtProName")).toString(), tricky);
        QCOMPARE(store.read(QStringLiteral("txtProName")), tricky);
        QVERIFY(settingsFilePath().endsWith(QStringLiteral("/Marvesk.ini")));
    }

    void damagedSettingsKeepReadableKeys()
    {
        const QString path = settingsFilePath();
        const QByteArray original = readAll(path);
        const auto restore = qScopeGuard([&] { writeFile(path, original); });
        writeFile(path, QByteArray("\x01\x02garbage\xff\n[Quorbel]\ntxtName=Ann\ntxtProName=a,b\n"
                                   "\xfe\xfe\nToDo=x^y^z^V\n"));
        SettingsStore store(path);
        QCOMPARE(store.read(QStringLiteral("txtName")), QStringLiteral("Ann"));
        QCOMPARE(store.read(QStringLiteral("txtProName")), QStringLiteral("a,b"));
        QCOMPARE(store.read(QStringLiteral("ToDo")), QStringLiteral("x^y^z^V"));
        QVERIFY(store.write(QStringLiteral("dtpDate"), QStringLiteral("12/24/2026")));
        QCOMPARE(store.read(QStringLiteral("txtName")), QStringLiteral("Ann"));
        store.flush();
    }

    // Each text goes through the store and reads back the same: from the
    // store that wrote it, from a store made afresh and from QSettings; and
    // what QSettings wrote reads the same in the store.
    void storedTextsReadBackExactly_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("qtCanWrite"); // what QSettings writes reads back the same
        QTest::newRow("plain") << u"Ann Example"_s << true;
        QTest::newRow("empty") << QString() << true;
        QTest::newRow("blanks around") << u"  a b  "_s << true;
        QTest::newRow("list and key marks") << u"a,b;c=d # [Quorbel]"_s << true;
        QTest::newRow("quotes and backslashes") << u"\"x\" \\ \\\\"_s << true;
        QTest::newRow("line breaks and tabs") << u"a\nb\r\nc\td\v\f\a\b"_s << true;
        QTest::newRow("control then hex digit") << u"\x01" "a\x1f" "F"_s << true;
        QTest::newRow("NUL then digit") << QString(QChar(0)) + u"1"_s << true;
        QTest::newRow("typed-value marks") << u"@Variant(x)"_s << true;
        QTest::newRow("double at") << u"@@x"_s << true;
        QTest::newRow("letters beyond ASCII") << u"äöü € \u007f \u0080 \uffff"_s << true;
        QTest::newRow("beyond the BMP") << u"a\U0001F600b"_s << true;
        QTest::newRow("lone surrogates") << QString(QChar(0xD800)) + u"a"_s + QChar(0xDC00) << false;
        // Qt 6.8's QSettings drops a byte order mark that starts a value.
        QTest::newRow("byte order marks") << u"\ufeffa\n\ufeff"_s << false;
        QTest::newRow("list form") << u"a^b^c^V|d^^^"_s << true;
    }

    void storedTextsReadBackExactly()
    {
        QFETCH(QString, value);
        QFETCH(bool, qtCanWrite);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"Marvesk.ini"_s);
        if (qtCanWrite) {
            QSettings qt(path, QSettings::IniFormat);
            qt.setValue(u"Quorbel/txtProName"_s, value);
            qt.sync();
            QCOMPARE(qt.status(), QSettings::NoError);
        }
        SettingsStore store(path);
        QVERIFY(store.write(u"txtName"_s, value));
        QCOMPARE(store.read(u"txtName"_s), value);
        SettingsStore fresh(path);
        QCOMPARE(fresh.read(u"txtName"_s), value);
        store.flush();
        QCOMPARE(SettingsStore(path).read(u"txtName"_s), value);
        QSettings qt(path, QSettings::IniFormat);
        QCOMPARE(qt.value(u"Quorbel/txtName"_s).toString(), value);
        if (qtCanWrite) {
            QCOMPARE(fresh.read(u"txtProName"_s), value);
            QCOMPARE(store.read(u"txtProName"_s), value);
        }
    }

    void storeWritesTheFileWholeAndKeepsOthersChanges()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"Marvesk.ini"_s);
        // Ordinary values: byte for byte the file QSettings writes.
        const QList<std::pair<QString, QString>> values = {{u"ToDo"_s, u"a^b^c^V|d^e^^"_s},
                                                           {u"dtpDate"_s, u"12/24/2026"_s},
                                                           {u"txtName"_s, u"Ann, Example"_s},
                                                           {u"txtProName"_s, u" Roof "_s}};
        SettingsStore store(path);
        {
            QSettings qt(dir.filePath(u"qt.ini"_s), QSettings::IniFormat);
            for (const auto &[key, value] : values) {
                QVERIFY(store.write(key, value));
                qt.setValue(u"Quorbel/"_s + key, value);
            }
        }
        store.flush();
        QCOMPARE(readAll(path), readAll(dir.filePath(u"qt.ini"_s)));

        // A fold replaces the file: a reader of the old one keeps it whole,
        // and nothing but the emptied journal is left beside the store.
        QFile old(path);
        QVERIFY(old.open(QIODevice::ReadOnly));
        const QByteArray before = readAll(path);
        QVERIFY(store.write(u"ToDo"_s, QString(100000, u'x')));
        store.flush();
        QCOMPARE(old.readAll(), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files),
                 (QStringList{u"Marvesk.ini"_s, u"Marvesk.ini.journal"_s, u"qt.ini"_s}));
        QCOMPARE(QFileInfo(store.journalPath()).size(), 0);

        // Another program's change is kept: the last writer wins key by key.
        {
            QSettings other(path, QSettings::IniFormat);
            other.setValue(u"Quorbel/txtProName"_s, u"changed elsewhere"_s);
            other.setValue(u"Other/key"_s, u"kept"_s);
        }
        QCOMPARE(store.read(u"txtProName"_s), u"changed elsewhere"_s);
        QVERIFY(store.write(u"txtName"_s, u"Bob"_s));
        SettingsStore fresh(path);
        QCOMPARE(fresh.read(u"txtProName"_s), u"changed elsewhere"_s);
        QCOMPARE(fresh.read(u"txtName"_s), u"Bob"_s);
        QCOMPARE(fresh.read(u"ToDo"_s), QString(100000, u'x'));
        QCOMPARE(QSettings(path, QSettings::IniFormat).value(u"Other/key"_s).toString(), u"kept"_s);

        // A file that cannot be written: the write says so.
        SettingsStore nowhere(dir.filePath(u"qt.ini/Marvesk.ini"_s));
        QVERIFY(!nowhere.write(u"txtName"_s, u"x"_s));

        // A configuration folder not made yet (a new account) is made, for
        // the user alone.
        const QString newAccount = dir.filePath(u"home/.config/Marvesk.ini"_s);
        QVERIFY(SettingsStore(newAccount).write(u"txtName"_s, u"Ann"_s));
        QCOMPARE(SettingsStore(newAccount).read(u"txtName"_s), u"Ann"_s);
        for (const QString &folder : {u"home"_s, u"home/.config"_s})
            QCOMPARE(QFileInfo(dir.filePath(folder)).permissions() & (QFile::ReadGroup | QFile::ReadOther), 0);
    }

    // Writes in a row (keys typed into a header field) reach the INI file in
    // order with the others, on a flush and by the store's end at the
    // latest, and another program's change between them is still kept.
    void writesInARowReachTheFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"Marvesk.ini"_s);
        const QString list(300000, u'l');
        {
            SettingsStore store(path);
            QVERIFY(store.write(u"ToDo"_s, list));
            QString typed;
            for (int i = 0; i < 300; ++i) {
                typed += QChar(u'a' + i % 26);
                QVERIFY(store.write(u"txtName"_s, typed));
                QCOMPARE(store.read(u"txtName"_s), typed);
            }
            QVERIFY(store.write(u"txtProName"_s, u"Roof"_s));
            store.flush();
            QCOMPARE(QSettings(path, QSettings::IniFormat).value(u"Quorbel/txtName"_s).toString(), typed);

            {
                QSettings other(path, QSettings::IniFormat);
                other.setValue(u"Other/key"_s, u"kept"_s);
            }
            QCOMPARE(store.read(u"txtName"_s), typed);
            QVERIFY(store.write(u"txtName"_s, u"last"_s));
            QVERIFY(store.write(u"dtpDate"_s, u"12/24/2026"_s));
            // No flush: the store's end folds the journal.
        }
        QSettings file(path, QSettings::IniFormat);
        QCOMPARE(file.value(u"Quorbel/txtName"_s).toString(), u"last"_s);
        QCOMPARE(file.value(u"Quorbel/dtpDate"_s).toString(), u"12/24/2026"_s);
        QCOMPARE(file.value(u"Quorbel/txtProName"_s).toString(), u"Roof"_s);
        QCOMPARE(file.value(u"Quorbel/ToDo"_s).toString(), list);
        QCOMPARE(file.value(u"Other/key"_s).toString(), u"kept"_s);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), (QStringList{u"Marvesk.ini"_s, u"Marvesk.ini.journal"_s}));
        QCOMPARE(QFileInfo(dir.filePath(u"Marvesk.ini.journal"_s)).size(), 0);
    }

    // A stored value longer than its key takes is damaged; one as long as
    // it takes reads back, a long one too.
    void overLongValuesAreDamaged()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"Marvesk.ini"_s);
        QString list;
        for (int i = 0; i < 10000; ++i)
            list += u"12/24/2026^Project %1^Notes on the work to be done, some of them long^V|"_s.arg(i);
        list.chop(1);
        {
            QSettings qt(path, QSettings::IniFormat);
            qt.setValue(u"Quorbel/short"_s, QString(11, u'1'));
            qt.setValue(u"Quorbel/other"_s, QString(101, u'n'));
            qt.setValue(u"Quorbel/another"_s, QString(100, u'p'));
            qt.setValue(u"Quorbel/long"_s, list);
        }
        SettingsStore store(path, kTestLimits);
        QVERIFY_THROWS_EXCEPTION(Failure, store.read(u"short"_s));
        QVERIFY_THROWS_EXCEPTION(Failure, store.read(u"other"_s));
        QCOMPARE(store.read(u"another"_s), QString(100, u'p'));
        QCOMPARE(store.read(u"long"_s), list);
        // Without limits of its user's, any value is read.
        QCOMPARE(SettingsStore(path).read(u"other"_s), QString(101, u'n'));

        // A file larger than the program ever writes is damaged as a whole.
        QFile file(path);
        QVERIFY(file.resize(kMaxSettingsFileSize + 1));
        QVERIFY_THROWS_EXCEPTION(Failure, store.read(u"long"_s));
        // Writing replaces it.
        QVERIFY(store.write(u"other"_s, u"Ann"_s));
        QCOMPARE(SettingsStore(path).read(u"other"_s), u"Ann"_s);
    }

    // A fold makes the new INI file durable before its name points at it:
    // the temporary file's data is synced, then renamed over the store, then
    // the folder is synced, and only then is the journal emptied. A write
    // itself syncs nothing.
    void foldSyncsTheFileBeforeItRenamesIt()
    {
        class RecordingCalls final : public SettingsFileCalls {
        public:
            QStringList steps() const
            {
                std::lock_guard lock(m_mutex);
                return m_steps;
            }
            // Set while the test's thread is inside a write.
            std::atomic<bool> writing = false;
            std::atomic<int> callsInsideWrites = 0;

            int fdatasync(int fd) override { return record(u"fdatasync "_s + nameOf(fd), SettingsFileCalls::fdatasync(fd)); }
            int rename(const char *from, const char *to) override
            {
                const QString step = u"rename %1 %2"_s.arg(QFileInfo(QFile::decodeName(from)).fileName(),
                                                            QFileInfo(QFile::decodeName(to)).fileName());
                return record(step, SettingsFileCalls::rename(from, to));
            }
            int fsync(int fd) override { return record(u"fsync "_s + nameOf(fd), SettingsFileCalls::fsync(fd)); }
            int ftruncate(int fd, off_t length) override
            {
                return record(u"ftruncate %1 %2"_s.arg(nameOf(fd)).arg(length), SettingsFileCalls::ftruncate(fd, length));
            }

        private:
            static QString nameOf(int fd)
            {
                return QFileInfo(QFile::symLinkTarget(u"/proc/self/fd/%1"_s.arg(fd))).fileName();
            }
            int record(const QString &step, int result)
            {
                if (writing && std::this_thread::get_id() == m_testThread)
                    ++callsInsideWrites;
                std::lock_guard lock(m_mutex);
                m_steps.append(step + (result == 0 ? QString() : u" failed"_s));
                return result;
            }
            mutable std::mutex m_mutex;
            QStringList m_steps;
            const std::thread::id m_testThread = std::this_thread::get_id();
        };

        QTemporaryDir dir;
        const QString path = dir.filePath(u"Marvesk.ini"_s);
        RecordingCalls calls;
        {
            SettingsStore store(path, SettingLimits(), u"Quorbel"_s, &calls);
            calls.writing = true;
            QVERIFY(store.write(u"txtName"_s, u"Ann"_s));
            QVERIFY(store.write(u"ToDo"_s, u"a^b^^|c^d^^V"_s));
            calls.writing = false;
            store.flush();
        }
        QCOMPARE(calls.callsInsideWrites.load(), 0);
        // One fold (the store's thread's or the flush's), its steps in order.
        const QStringList steps = calls.steps();
        QCOMPARE(steps.size(), 4);
        const QRegularExpression sync(u"^fdatasync (Marvesk\\.ini\\.\\w{6})$"_s);
        const QRegularExpressionMatch synced = sync.match(steps.at(0));
        QVERIFY2(synced.hasMatch(), qPrintable(steps.join(u"; "_s)));
        QCOMPARE(steps.at(1), u"rename %1 Marvesk.ini"_s.arg(synced.captured(1)));
        QCOMPARE(steps.at(2), u"fsync "_s + QFileInfo(dir.path()).fileName());
        QCOMPARE(steps.at(3), u"ftruncate Marvesk.ini.journal 0"_s);
        QSettings file(path, QSettings::IniFormat);
        QCOMPARE(file.value(u"Quorbel/txtName"_s).toString(), u"Ann"_s);
        QCOMPARE(file.value(u"Quorbel/ToDo"_s).toString(), u"a^b^^|c^d^^V"_s);
    }

    // A process killed the moment its writes return: the next store reads
    // them, from the journal (the INI file was not folded yet).
    void writesSurviveAKillRightAfterThem()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"Marvesk.ini"_s);
        QVERIFY(SettingsStore(path).write(u"txtName"_s, u"before"_s));
        QString list;
        for (int i = 0; i < 10000; ++i)
            list += u"12/24/2026^Project %1^Notes on the work to be done^V|"_s.arg(i);
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            SettingsStore store(path);
            if (store.write(u"ToDo"_s, list))
                store.write(u"txtName"_s, u"typed"_s);
            ::kill(::getpid(), SIGKILL);
            ::_exit(1);
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
        QCOMPARE(QSettings(path, QSettings::IniFormat).value(u"Quorbel/txtName"_s).toString(), u"before"_s);
        SettingsStore next(path);
        QCOMPARE(next.read(u"txtName"_s), u"typed"_s);
        QCOMPARE(next.read(u"ToDo"_s), list);
        // A flush folds what the killed process left.
        next.flush();
        QCOMPARE(QSettings(path, QSettings::IniFormat).value(u"Quorbel/txtName"_s).toString(), u"typed"_s);
        QCOMPARE(QFileInfo(next.journalPath()).size(), 0);
    }

    // A journal whose end a power cut tore: the records before the torn
    // one are read, the torn one and what follows it are not, and a write
    // after it is read (the torn end is cut before the record goes on).
    void tornJournalEndIsIgnored_data()
    {
        QTest::addColumn<QByteArray>("journal");
        QTest::addColumn<int>("kept"); // of the three records
        const QByteArray first = settingsJournalRecord(u"Quorbel/txtName"_s, u"Ann"_s);
        const QByteArray second = settingsJournalRecord(u"Quorbel/txtProName"_s, QString(QChar(0xD800)) + u"Roof"_s);
        const QByteArray third = settingsJournalRecord(u"Quorbel/ToDo"_s, u"new^list^^"_s);
        const QByteArray two = first + second;
        QTest::newRow("whole") << two + third << 3;
        QTest::newRow("noise after the last record") << two + third + QByteArray("\0\0\x7f", 3) << 3;
        QTest::newRow("last record cut in its header") << two + third.left(7) << 2;
        QTest::newRow("last record cut in its text") << two + third.chopped(1) << 2;
        QByteArray changed = third;
        changed[changed.size() - 2] = char(changed.at(changed.size() - 2) ^ 0x01);
        QTest::newRow("a byte of the last record changed") << two + changed << 2;
        QByteArray tooLong = third;
        qToLittleEndian(quint32(0x7fffffff), tooLong.data() + 4);
        QTest::newRow("a length past the end") << two + tooLong << 2;
        QTest::newRow("a record before them torn") << first.chopped(3) + second + third << 0;
    }

    void tornJournalEndIsIgnored()
    {
        QFETCH(QByteArray, journal);
        QFETCH(int, kept);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"Marvesk.ini"_s);
        writeFile(path, "[Quorbel]\nToDo=old^list^^\n");
        writeFile(path + u".journal"_s, journal);
        const QString values[] = {u"Ann"_s, QString(QChar(0xD800)) + u"Roof"_s, u"new^list^^"_s};
        const QString keys[] = {u"txtName"_s, u"txtProName"_s, u"ToDo"_s};
        const QString unwritten[] = {QString(), QString(), u"old^list^^"_s};
        SettingsStore store(path);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(store.read(keys[i]), i < kept ? values[i] : unwritten[i]);
        QVERIFY(store.write(u"dtpDate"_s, u"12/24/2026"_s));
        SettingsStore fresh(path);
        QCOMPARE(fresh.read(u"dtpDate"_s), u"12/24/2026"_s);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(fresh.read(keys[i]), i < kept ? values[i] : unwritten[i]);
    }

    // The files the store makes are the user's alone whatever the umask; an
    // existing INI file keeps its permissions; a link in the journal's place
    // is never followed.
    void storeFilesAreTheUsersAlone()
    {
        const mode_t umaskBefore = ::umask(022);
        const auto restoreUmask = qScopeGuard([&] { ::umask(umaskBefore); });
        QTemporaryDir dir;
        const QString path = dir.filePath(u"Marvesk.ini"_s);
        const QString journal = path + u".journal"_s;
        const auto mode = [](const QString &file) {
            struct stat st {};
            return ::lstat(QFile::encodeName(file).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
        };
        {
            SettingsStore store(path);
            QVERIFY(store.write(u"txtName"_s, u"Ann"_s));
            QCOMPARE(mode(journal), 0600);
            store.flush();
            QCOMPARE(mode(path), 0600);
            QCOMPARE(mode(journal), 0600);
        }
        QCOMPARE(::chmod(QFile::encodeName(path).constData(), 0640), 0);
        {
            SettingsStore store(path);
            QVERIFY(store.write(u"txtName"_s, u"Bob"_s));
            store.flush();
        }
        QCOMPARE(mode(path), 0640);

        // A journal elsewhere, linked in the journal's place: not read, and
        // replaced (not written through) by the next write.
        const QString elsewhere = dir.filePath(u"elsewhere"_s);
        const QByteArray planted = settingsJournalRecord(u"Quorbel/txtName"_s, u"Mallory"_s);
        writeFile(elsewhere, planted);
        QVERIFY(QFile::remove(journal));
        QVERIFY(QFile::link(elsewhere, journal));
        SettingsStore store(path);
        QCOMPARE(store.read(u"txtName"_s), u"Bob"_s);
        QVERIFY(store.write(u"txtProName"_s, u"Roof"_s));
        QVERIFY(!QFileInfo(journal).isSymLink());
        QCOMPARE(mode(journal), 0600);
        QCOMPARE(readAll(elsewhere), planted);
        QCOMPARE(SettingsStore(path).read(u"txtProName"_s), u"Roof"_s);
    }

    // A value longer than its key takes is never written (the store's own
    // reader would refuse it as damaged); one as long as it takes reads back.
    void overLongValuesAreRefused_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<qsizetype>("length");
        QTest::addColumn<bool>("written");
        QTest::newRow("other key as long as it takes") << u"other"_s << qsizetype(100) << true;
        QTest::newRow("other key one longer") << u"another"_s << qsizetype(101) << false;
        QTest::newRow("short key one longer") << u"short"_s << qsizetype(11) << false;
        QTest::newRow("long key as long as it takes") << u"long"_s << qsizetype(1000000) << true;
        QTest::newRow("long key one longer") << u"long"_s << qsizetype(1000001) << false;
    }

    void overLongValuesAreRefused()
    {
        QFETCH(QString, key);
        QFETCH(qsizetype, length);
        QFETCH(bool, written);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"Marvesk.ini"_s);
        const QString value(length, u'v');
        {
            SettingsStore store(path, kTestLimits);
            QVERIFY(store.write(key, u"before"_s));
            store.flush();
            const QByteArray before = readAll(path);
            QCOMPARE(store.write(key, value), written);
            if (!written) {
                QCOMPARE(QFileInfo(store.journalPath()).size(), 0);
                QCOMPARE(readAll(path), before);
                QCOMPARE(store.read(key), u"before"_s);
            }
        }
        SettingsStore store(path, kTestLimits);
        QCOMPARE(store.read(key), written ? value : u"before"_s);
        if (written)
            return;
        try {
            store.writeOrThrow(key, value);
            QFAIL("writeOrThrow took a value too long for its key");
        } catch (const Failure &failure) {
            QCOMPARE(failure.description(), u"The value of \"%1\" is %2 characters long, longer than the settings file "
                                        "keeps (at most %3)."_s
                                            .arg(key)
                                            .arg(length)
                                            .arg(kTestLimits.of(key)));
        }
        QCOMPARE(store.read(key), u"before"_s);
    }
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "test_settings_store.moc"
