#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QVariant>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include <sys/types.h>

namespace quorbel {

// The per-user store of the program's small working state: an INI file in the
// user's configuration folder ("Marvesk.ini"), section "Quorbel". Every key is
// a text. A write by saveSetting or storeSetting has reached the file when it
// returns; one by saveSettingSoon is on its way (see SettingsStore).
//
// The functions below use one SettingsStore for the whole run (see
// programSettings()).
//
// A stored value longer than its key allows (maxSettingLength) is damaged:
// readSetting throws Failure for it, as for a settings file too large to be
// one this program wrote.
QString readSetting(const QString &key, const QString &defaultValue = QString());
void saveSetting(const QString &key, const QString &value);
// The same write, but a value that did not reach the disk (a full disk, a
// folder that cannot be written) throws Failure.
void storeSetting(const QString &key, const QString &value);
// The same write, started at once but not waited for: the caller goes on
// while the file is written (a key typed into a header field).
void saveSettingSoon(const QString &key, const QString &value);

// Where the store lives (for the README and tests).
QString settingsFilePath();

// The longest value the program writes under `key`: a date text is short, a
// header text holds what its text box holds, the list ("ToDo") is generous
// (far beyond 10,000 entries of several hundred characters each).
qsizetype maxSettingLength(const QString &key);
// A settings file larger than this is not one the program wrote.
inline constexpr qint64 kMaxSettingsFileSize = 64 * 1024 * 1024;

// One settings file, kept in memory for the run.
//
// The file is read once; a write changes one key in memory and writes the
// file whole (a temporary file beside it, then a rename, so a write cut short
// leaves the old file or the new one; a kill or a crash right after a write
// keeps it, and the file is synced to the disk kSyncDelayMs after the last
// write, so a key typed does not wait for the disk). The text of each key is
// kept in its written form, so a write costs the same few steps whatever the
// other keys hold, plus writing out the bytes.
//
// The bytes are written by the store's own writer thread, which starts on a
// write at once. write() waits until the file holds the change; writeSoon()
// returns as soon as the writer has it, so that a key typed does not wait
// for a whole long list to be written out again. Writes that come while one
// is under way are written together, the newest text of each key winning.
// flush() and the store's end wait for every write handed over. A failed
// write keeps the value in memory; the next write writes it.
//
// Another program may change the file meanwhile (a second copy of the
// program, a hand edit, a sync tool). Before each read and each write the
// store compares the file with the one it last read or wrote (its inode,
// size and times); when it differs, the store reads it again, so a write
// changes only its own key and keeps the others' changes (the last writer
// wins, key by key).
//
// The file format is QSettings' INI format: anything QSettings wrote reads
// the same here, and QSettings reads what this store writes the same.
// Texts the INI text form cannot carry as they are (a lone surrogate, which
// has no UTF-8 form) are written with the format's escapes, so every text
// reads back exactly.
class SettingsStore {
public:
    explicit SettingsStore(QString filePath, QString section = QStringLiteral("Quorbel"));
    ~SettingsStore();
    SettingsStore(const SettingsStore &) = delete;
    SettingsStore &operator=(const SettingsStore &) = delete;

    // How long after the last write the file is synced to the disk.
    static constexpr int kSyncDelayMs = 500;

    QString filePath() const { return m_path; }

    // The stored text of `key`, or `defaultValue` when it does not exist.
    // Throws Failure when the value is longer than maxSettingLength(key) or
    // the file is larger than kMaxSettingsFileSize.
    QString read(const QString &key, const QString &defaultValue = QString());
    // Writes `key`; false when the file could not be written (the value is
    // then kept in memory and written with the next write).
    bool write(const QString &key, const QString &value);
    // Writes `key` without waiting for the file.
    void writeSoon(const QString &key, const QString &value);
    // Waits until every write handed over has been made (or has failed).
    void flush();

private:
    struct Entry {
        QVariant value;    // as QSettings reads it
        QByteArray line;   // "key=value\n" as written; empty: not yet made
    };
    struct FileIdentity {
        bool exists = false;
        dev_t device = 0;
        ino_t inode = 0;
        qint64 size = 0;
        qint64 modifiedNs = 0;
        qint64 changedNs = 0;
        bool operator==(const FileIdentity &) const = default;
    };

    // A whole file's text for the writer, and the write it stands for.
    struct Job {
        QList<QByteArray> pieces;
        quint64 number = 0;
        qint64 lastModifiedMs = 0; // of the file as last seen
    };

    FileIdentity identity() const;
    void refresh();
    void load();
    QList<QByteArray> fileText();
    // Hands the change to the writer; the number of its write, or 0 when the
    // file was written here already (see `written`).
    quint64 submit(const QString &key, const QString &value, bool *written);
    bool waitFor(quint64 number);
    void runWriter();
    // On the writer thread.
    bool writeFile(const Job &job, FileIdentity *written);
    static void syncToDisk(const QByteArray &path);

    QString m_path;
    QString m_section;
    // Every key of the file, by section, as QSettings names it
    // ("Quorbel/ToDo"; a key without a section stands alone).
    QMap<QString, Entry> m_entries;
    bool m_loaded = false;
    bool m_tooLarge = false;
    FileIdentity m_seen;
    quint64 m_submitted = 0;

    // Shared with the writer thread, under m_mutex.
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::optional<Job> m_job;     // the next write; a newer one replaces it
    bool m_writing = false;       // the writer holds a job
    bool m_stopping = false;
    quint64 m_doneNumber = 0;     // the newest write made or failed
    quint64 m_writtenNumber = 0;  // the newest write that reached the file
    std::optional<FileIdentity> m_writtenIdentity; // the file it left, not yet taken as seen
    std::thread m_writer;

    // The writer's own.
    qint64 m_lastWriteMs = 0;
    QByteArray m_unsynced; // the file written and not yet synced to the disk
};

// The program's store, on settingsFilePath(), made at first use.
SettingsStore &programSettings();

} // namespace quorbel
