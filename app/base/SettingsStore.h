#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QMap>
#include <QString>
#include <QVariant>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

#include <sys/stat.h>
#include <sys/types.h>

namespace quorbel {

// The per-user store of the program's small working state: an INI file in the
// user's configuration folder ("Marvesk.ini"), section "Quorbel", and a
// journal beside it ("Marvesk.ini.journal") that holds the latest writes
// until they are folded into the INI file (see SettingsStore). Every key is a
// text. A write is in the file system when it returns: a kill or a crash of
// the program right after it loses nothing.

// Where the program's store lives: "Marvesk.ini" in the user's
// configuration folder.
QString settingsFilePath();

// A settings file (or journal) larger than this is not one the program wrote.
inline constexpr qint64 kMaxSettingsFileSize = 64 * 1024 * 1024;

// The longest text a store keeps under each key, as the store's user names
// its keys: a longer value is never written, and one read back is damaged.
class SettingLimits {
public:
    // `otherKeys` for every key that `byKey` does not name. By default no
    // key is limited below what a settings file holds.
    explicit SettingLimits(qsizetype otherKeys = kMaxSettingsFileSize, QHash<QString, qsizetype> byKey = {})
        : m_otherKeys(otherKeys), m_byKey(std::move(byKey))
    {
    }
    qsizetype of(const QString &key) const { return m_byKey.value(key, m_otherKeys); }

private:
    qsizetype m_otherKeys;
    QHash<QString, qsizetype> m_byKey;
};

// One write as the journal keeps it: the key as QSettings names it
// ("Section/key") and the text.
struct SettingsJournalRecord {
    QString key;
    QString value;
    bool operator==(const SettingsJournalRecord &) const = default;
};

// The journal's bytes for one write: "QSJ1", the length of the rest and a
// CRC-32 of the length and the rest (both 32-bit little-endian), then the
// key and the text, each as its length in UTF-16 code units and the code
// units (little-endian), so every text, lone surrogates too, comes back
// exactly.
QByteArray settingsJournalRecord(const QString &key, const QString &value);
// The writes of a journal in order, up to the first record that is torn or
// damaged (a power cut may leave the last one half written) or holds a key
// QSettings would not keep as it is (an empty part: "/a", "a//b", "a/");
// `validLength` gets the bytes they take.
QList<SettingsJournalRecord> readSettingsJournal(QByteArrayView bytes, qsizetype *validLength = nullptr);

// The system calls by which the store makes a folded settings file durable
// and empties the journal. Each forwards to the call of its name; a test
// passes its own to see them and their order.
class SettingsFileCalls {
public:
    virtual ~SettingsFileCalls() = default;
    virtual int fdatasync(int fd);
    virtual int rename(const char *from, const char *to);
    // On an open folder.
    virtual int fsync(int fd);
    virtual int ftruncate(int fd, off_t length);
};

// One settings file and its journal, kept in memory for the run.
//
// A write appends one record to the journal with one write(2) and returns:
// no sync, and the same few steps whatever the other keys hold, so a key
// typed never waits for the disk or for a long list to be written out
// again. A write is then in the file system, so a kill or a crash right
// after it keeps it.
//
// The store's own thread folds the journal into the INI file in a pause of
// kFoldDelayMs after the last write (at once when the journal has grown past
// kJournalFoldSize), on flush() and at the store's end: it reads the INI file
// and the journal's records, writes the result to a temporary file beside the
// INI file, syncs that file's data to the disk, renames it over the INI file
// and syncs the folder, so after a power cut the INI file is the old one or
// the new one, never empty or torn. It then empties the journal, unless a
// record came in meanwhile (that one is folded the next time; applying a
// record twice changes nothing). Until then a power cut may lose the latest
// writes, never the file.
//
// Reading takes the INI file and then the journal's records in order, up to
// the first torn or damaged one. A journal that is not a regular file of the
// user's own, is a link or is larger than kMaxSettingsFileSize is ignored
// (and replaced by the next write).
//
// Another program may change the INI file meanwhile (a second copy of the
// program, a hand edit, a sync tool). Before each read the store compares
// the INI file and the journal with the ones it last read (inode, size and
// times) and reads them again when they differ; a fold reads the INI file as
// it is then, so each write changes only its own key and keeps the others'
// changes (the last writer wins, key by key; a change made by hand while the
// journal still holds a write of the same key is overwritten when that write
// is folded). Copies of the program that share the journal take locks on it
// (open file description locks) around each append and around each fold.
//
// The file format is QSettings' INI format: anything QSettings wrote reads
// the same here, and QSettings reads what this store writes the same.
// Texts the INI text form cannot carry as they are (a lone surrogate, which
// has no UTF-8 form) are written with the format's escapes, so every text
// reads back exactly. A new INI file and the journal are for the user alone
// (0600); an existing INI file keeps its permissions.
//
// The program makes one store for its run and hands it to what reads and
// writes its keys; `limits` are the lengths its keys take.
class SettingsStore {
public:
    // `calls` (kept, not owned) defaults to the system's.
    explicit SettingsStore(QString filePath, SettingLimits limits = SettingLimits(),
                           QString section = QStringLiteral("Quorbel"), SettingsFileCalls *calls = nullptr);
    ~SettingsStore();
    SettingsStore(const SettingsStore &) = delete;
    SettingsStore &operator=(const SettingsStore &) = delete;

    // The pause after the last write before the journal is folded.
    static constexpr int kFoldDelayMs = 500;
    // A journal larger than this is folded without the pause.
    static constexpr qint64 kJournalFoldSize = 4 * 1024 * 1024;

    QString filePath() const { return m_path; }
    QString journalPath() const { return m_journalPath; }

    // The stored text of `key`, or `defaultValue` when it does not exist.
    // Throws Failure when the value is longer than its key takes (the
    // store's limits) or the file is larger than kMaxSettingsFileSize.
    QString read(const QString &key, const QString &defaultValue = QString());
    // Writes `key`. False, with nothing written, when the value is longer
    // than its key takes or the journal could not take it (a full
    // disk, a folder that cannot be written, something other than a file in
    // the INI file's place); false also, with the value written, while the
    // INI file cannot be written (the last fold failed).
    bool write(const QString &key, const QString &value);
    // The same write, but a value longer than its key takes, or one that
    // could not be written (a full disk, a folder that cannot be written),
    // throws Failure.
    void writeOrThrow(const QString &key, const QString &value);
    // Folds the journal into the INI file now (also records another copy of
    // the program left there) and waits for it: a reader of the INI file
    // alone then sees every write.
    void flush();

private:
    struct FileIdentity {
        bool exists = false;
        dev_t device = 0;
        ino_t inode = 0;
        qint64 size = 0;
        qint64 modifiedNs = 0;
        qint64 changedNs = 0;
        bool operator==(const FileIdentity &) const = default;
    };
    struct Seen {
        FileIdentity file;
        FileIdentity journal;
        bool operator==(const Seen &) const = default;
    };
    enum class FoldResult { Done, Deferred, Failed };
    enum class Replaced { Yes, Changed, Failed };

    static FileIdentity identityOf(const struct stat &st);
    FileIdentity fileIdentity() const;
    Seen seen() const;
    void load();
    bool append(const QByteArray &record, qint64 *journalSize);
    int openJournalForAppend();
    bool foldNow();
    FoldResult fold();
    bool foldInto(const QList<SettingsJournalRecord> &records);
    Replaced replaceFile(const QList<QByteArray> &pieces, const FileIdentity *expected);
    void runFolder();

    QString m_path;
    QString m_journalPath;
    QByteArray m_nativePath;
    QByteArray m_nativeJournalPath;
    SettingLimits m_limits;
    QString m_section;
    SettingsFileCalls *m_calls;

    // The reading and writing thread's own. Every key of the files, by
    // section, as QSettings names it ("Section/key"; a key without a
    // section stands alone).
    QMap<QString, QVariant> m_entries;
    bool m_loaded = false;
    bool m_tooLarge = false;
    Seen m_seen;
    // The journal as this store's last append left it; another size (a fold,
    // another program) has it checked for a torn end before the next append.
    FileIdentity m_journalLeft;

    // One fold at a time in this process; the folder's own.
    std::mutex m_foldMutex;
    qint64 m_lastWriteMs = 0;
    std::atomic<bool> m_foldFailed = false;

    // Shared with the folding thread, under m_mutex.
    std::mutex m_mutex;
    std::condition_variable m_changed;
    quint64 m_appends = 0;       // records this store appended
    quint64 m_tried = 0;         // m_appends when the thread last folded
    quint64 m_foldedThrough = 0; // m_appends when a fold last succeeded
    bool m_urgent = false;       // the journal is large: fold without the pause
    bool m_stopping = false;
    std::thread m_folder;
};

} // namespace quorbel
