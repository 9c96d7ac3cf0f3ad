#include "SettingsStore.h"

#include "Failure.h"
#include "FileProcs.h"
#include "IniCodec.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorbel {
namespace {

const QString kApplicationName = QStringLiteral("Marvesk");

// --- the journal ----------------------------------------------------------------

constexpr char kRecordMagic[4] = {'Q', 'S', 'J', '1'};
constexpr qsizetype kRecordHeaderSize = 12; // magic, length, CRC-32

// CRC-32 (the one of zip and PNG), eight bytes a step: table k holds the
// CRC of a byte followed by k zero bytes.
constexpr std::array<std::array<quint32, 256>, 8> kCrcTables = [] {
    std::array<std::array<quint32, 256>, 8> tables {};
    for (quint32 i = 0; i < 256; ++i) {
        quint32 c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        tables[0][i] = c;
    }
    for (quint32 i = 0; i < 256; ++i) {
        for (int k = 1; k < 8; ++k)
            tables[k][i] = (tables[k - 1][i] >> 8) ^ tables[0][tables[k - 1][i] & 0xFF];
    }
    return tables;
}();

// The CRC-32 of `size` bytes at `data`, continued from `crc`.
quint32 crc32(const char *data, qsizetype size, quint32 crc = 0)
{
    const auto *p = reinterpret_cast<const uchar *>(data);
    crc = ~crc;
    for (; size >= 8; size -= 8, p += 8) {
        const quint32 low = crc ^ qFromLittleEndian<quint32>(p);
        const quint32 high = qFromLittleEndian<quint32>(p + 4);
        crc = kCrcTables[7][low & 0xFF] ^ kCrcTables[6][(low >> 8) & 0xFF] ^ kCrcTables[5][(low >> 16) & 0xFF] ^
              kCrcTables[4][low >> 24] ^ kCrcTables[3][high & 0xFF] ^ kCrcTables[2][(high >> 8) & 0xFF] ^
              kCrcTables[1][(high >> 16) & 0xFF] ^ kCrcTables[0][high >> 24];
    }
    for (; size > 0; --size, ++p)
        crc = kCrcTables[0][(crc ^ *p) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

// A text in a record: its length in UTF-16 code units (32-bit
// little-endian), then the code units as they are (little-endian), so every
// text, lone surrogates too, comes back exactly.
void appendRecordText(QByteArray &out, const QString &text)
{
    const qsizetype at = out.size();
    out.resize(at + 4 + text.size() * 2);
    qToLittleEndian(quint32(text.size()), out.data() + at);
    qToLittleEndian<char16_t>(text.utf16(), text.size(), out.data() + at + 4);
}

// The text at `pos` of `bytes`, moving `pos` past it; none when it runs past
// the end.
std::optional<QString> takeRecordText(QByteArrayView bytes, qsizetype &pos)
{
    if (bytes.size() - pos < 4)
        return std::nullopt;
    const quint32 length = qFromLittleEndian<quint32>(bytes.data() + pos);
    if (length > quint64(bytes.size() - pos - 4) / 2)
        return std::nullopt;
    QString text(qsizetype(length), Qt::Uninitialized);
    qFromLittleEndian<char16_t>(bytes.data() + pos + 4, qsizetype(length), text.data());
    pos += 4 + qsizetype(length) * 2;
    return text;
}

// Locks on the journal, by byte: one fold at a time, and no append while a
// fold decides whether the journal may be emptied. Open file description
// locks, so that two opens in one process exclude each other as two
// processes do.
constexpr off_t kFoldLockByte = 0;
constexpr off_t kAppendLockByte = 1;
// A fold in another copy of the program syncs a file to the disk; the
// decision to empty the journal takes a moment.
constexpr int kFoldLockWaitMs = 5000;
constexpr int kAppendLockWaitMs = 2000;

bool lockByte(int fd, off_t byte, int waitMs)
{
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = byte;
    lock.l_len = 1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        if (::fcntl(fd, F_OFD_SETLK, &lock) == 0)
            return true;
        if ((errno != EAGAIN && errno != EACCES && errno != EINTR) || std::chrono::steady_clock::now() > deadline)
            return false;
        ::usleep(1000);
    }
}

void unlockByte(int fd, off_t byte)
{
    struct flock lock {};
    lock.l_type = F_UNLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = byte;
    lock.l_len = 1;
    ::fcntl(fd, F_OFD_SETLK, &lock);
}

// The first `size` bytes of the open file; empty when they could not be read.
std::optional<QByteArray> readBytes(int fd, qint64 size)
{
    QByteArray bytes;
    bytes.resize(qsizetype(size));
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pread(fd, bytes.data() + done, size_t(bytes.size() - done), off_t(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        done += n;
    }
    bytes.truncate(done);
    return bytes;
}

qint64 nanoseconds(const struct timespec &time)
{
    return qint64(time.tv_sec) * 1000000000 + time.tv_nsec;
}

SettingsFileCalls &systemCalls()
{
    static SettingsFileCalls calls;
    return calls;
}

QByteArray folderOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash > 0 ? path.left(slash) : QByteArray(slash == 0 ? "/" : ".");
}

} // namespace

int SettingsFileCalls::fdatasync(int fd)
{
    return ::fdatasync(fd);
}

int SettingsFileCalls::rename(const char *from, const char *to)
{
    return ::rename(from, to);
}

int SettingsFileCalls::fsync(int fd)
{
    return ::fsync(fd);
}

int SettingsFileCalls::ftruncate(int fd, off_t length)
{
    return ::ftruncate(fd, length);
}

QByteArray settingsJournalRecord(const QString &key, const QString &value)
{
    QByteArray record;
    record.reserve(kRecordHeaderSize + 8 + (key.size() + value.size()) * 2);
    record.resize(kRecordHeaderSize);
    appendRecordText(record, key);
    appendRecordText(record, value);
    char *header = record.data();
    std::memcpy(header, kRecordMagic, sizeof kRecordMagic);
    qToLittleEndian(quint32(record.size() - kRecordHeaderSize), header + 4);
    const quint32 crc = crc32(header + kRecordHeaderSize, record.size() - kRecordHeaderSize, crc32(header + 4, 4));
    qToLittleEndian(crc, header + 8);
    return record;
}

QList<SettingsJournalRecord> readSettingsJournal(QByteArrayView bytes, qsizetype *validLength)
{
    QList<SettingsJournalRecord> records;
    qsizetype pos = 0;
    while (bytes.size() - pos >= kRecordHeaderSize) {
        const char *header = bytes.data() + pos;
        if (std::memcmp(header, kRecordMagic, sizeof kRecordMagic) != 0)
            break;
        const quint32 length = qFromLittleEndian<quint32>(header + 4);
        if (length > quint64(bytes.size() - pos - kRecordHeaderSize))
            break;
        const QByteArrayView payload = bytes.sliced(pos + kRecordHeaderSize, qsizetype(length));
        if (crc32(payload.data(), payload.size(), crc32(header + 4, 4)) != qFromLittleEndian<quint32>(header + 8))
            break;
        qsizetype at = 0;
        std::optional<QString> key = takeRecordText(payload, at);
        std::optional<QString> value = key ? takeRecordText(payload, at) : std::nullopt;
        // A key as QSettings names it: no empty part, so that it is the same
        // key once the record is folded into the INI file.
        if (!value || at != payload.size() || key->isEmpty() || key->startsWith(QLatin1Char('/')) ||
            key->endsWith(QLatin1Char('/')) || key->contains(QLatin1String("//")))
            break;
        records.append({std::move(*key), std::move(*value)});
        pos += kRecordHeaderSize + payload.size();
    }
    if (validLength)
        *validLength = pos;
    return records;
}

SettingsStore::SettingsStore(QString filePath, SettingLimits limits, QString section, SettingsFileCalls *calls)
    : m_path(std::move(filePath)),
      m_journalPath(m_path + QStringLiteral(".journal")),
      m_nativePath(QFile::encodeName(m_path)),
      m_nativeJournalPath(QFile::encodeName(m_journalPath)),
      m_limits(std::move(limits)),
      m_section(std::move(section)),
      m_calls(calls ? calls : &systemCalls())
{
}

SettingsStore::FileIdentity SettingsStore::identityOf(const struct stat &st)
{
    FileIdentity id;
    id.exists = true;
    id.device = st.st_dev;
    id.inode = st.st_ino;
    id.size = st.st_size;
    id.modifiedNs = nanoseconds(st.st_mtim);
    id.changedNs = nanoseconds(st.st_ctim);
    return id;
}

// The INI file through a link (its target is the store); the journal never.
SettingsStore::Seen SettingsStore::seen() const
{
    Seen now;
    struct stat st {};
    if (::lstat(m_nativeJournalPath.constData(), &st) == 0)
        now.journal = identityOf(st);
    if (::stat(m_nativePath.constData(), &st) == 0)
        now.file = identityOf(st);
    return now;
}

SettingsStore::FileIdentity SettingsStore::fileIdentity() const
{
    struct stat st {};
    return ::stat(m_nativePath.constData(), &st) == 0 ? identityOf(st) : FileIdentity();
}

// The journal is read before the INI file: a fold that comes between the
// two leaves an INI file that holds the records already read, and applying
// them again changes nothing.
void SettingsStore::load()
{
    m_entries.clear();
    m_loaded = true;
    m_seen = seen();
    QList<SettingsJournalRecord> records;
    if (m_seen.journal.exists) {
        try {
            records = readSettingsJournal(readOwnFile(m_journalPath, kMaxSettingsFileSize));
        } catch (const Failure &) {
            // Not a file of the user's own, a link, or too large: ignored.
        }
    }
    m_tooLarge = m_seen.file.size > kMaxSettingsFileSize;
    if (m_tooLarge)
        return;
    if (m_seen.file.exists)
        m_entries = readIniFile(m_path);
    for (const SettingsJournalRecord &record : std::as_const(records))
        m_entries.insert(record.key, record.value);
}

QString SettingsStore::read(const QString &key, const QString &defaultValue)
{
    if (!m_loaded || seen() != m_seen)
        load();
    if (m_tooLarge)
        throw Failure(QStringLiteral("The settings file %1 is larger than %2 MB: it is damaged.")
                          .arg(m_path)
                          .arg(kMaxSettingsFileSize / (1024 * 1024)));
    const auto it = m_entries.constFind(m_section + QLatin1Char('/') + key);
    if (it == m_entries.cend() || !it->isValid())
        return defaultValue;
    // A hand-edited value with an unquoted comma reads back as a list; its
    // text is still the user's, so give it back joined as it was written.
    const QString text =
        it->typeId() == QMetaType::QStringList ? it->toStringList().join(QLatin1Char(',')) : it->toString();
    if (text.size() > m_limits.of(key))
        throw Failure(QStringLiteral("The stored value of \"%1\" is %2 characters long, longer than any this program "
                                     "writes: it is damaged.")
                          .arg(key)
                          .arg(text.size()));
    return text;
}

// --- writing: one record appended to the journal ------------------------------

// The journal, open for appending and reading; made for the user alone. A
// link, or anything but a regular file of the user's own, in its place is
// nobody's journal (readers ignore it): a new journal replaces it.
int SettingsStore::openJournalForAppend()
{
    const char *name = m_nativeJournalPath.constData();
    const int flags = O_RDWR | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    int fd = ::open(name, flags, 0600);
    // A new account has no configuration folder yet: it is made for the
    // user alone, as configuration folders are.
    if (fd < 0 && errno == ENOENT && makeFolders(QFileInfo(m_path).path()))
        fd = ::open(name, flags, 0600);
    if (fd >= 0) {
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid())
            return fd;
        ::close(fd);
    } else if (errno != ELOOP) {
        return -1;
    }
    if (::unlink(name) != 0 && errno != ENOENT)
        return -1;
    return ::open(name, flags | O_EXCL, 0600);
}

// Appends `record` with one write(2); on a failure (a full disk) the journal
// is cut back to what it was. The journal never grows past
// kMaxSettingsFileSize: a record that would take it there has it folded
// first.
bool SettingsStore::append(const QByteArray &record, qint64 *journalSize)
{
    for (int round = 0;; ++round) {
        const int fd = openJournalForAppend();
        if (fd < 0)
            return false;
        const auto fail = [fd] {
            ::close(fd);
            return false;
        };
        // Past the wait (a copy of the program stopped in the middle of a
        // fold's last step), the record is appended all the same.
        lockByte(fd, kAppendLockByte, kAppendLockWaitMs);
        struct stat st {};
        if (::fstat(fd, &st) != 0)
            return fail();
        const FileIdentity before = identityOf(st);
        qint64 end = st.st_size;
        if (before != m_journalLeft) {
            // Not as this store left it: a power cut may have left a torn
            // record at its end, after which no record would ever be read.
            qsizetype valid = 0;
            if (end <= kMaxSettingsFileSize) {
                const std::optional<QByteArray> bytes = readBytes(fd, end);
                if (!bytes)
                    return fail();
                readSettingsJournal(*bytes, &valid);
            }
            if (valid < end && ::ftruncate(fd, off_t(valid)) != 0)
                return fail();
            end = valid;
        }
        if (end + record.size() > kMaxSettingsFileSize) {
            ::close(fd);
            if (round > 0 || !foldNow())
                return false;
            continue;
        }
        if (writeAll(fd, record.constData(), record.size()) != 0) {
            if (::ftruncate(fd, off_t(end)) != 0)
                m_journalLeft = FileIdentity();
            return fail();
        }
        if (::fstat(fd, &st) != 0) {
            m_journalLeft = FileIdentity();
        } else {
            // What this store reads has not changed by its own write.
            if (m_loaded && m_seen.journal == before)
                m_seen.journal = identityOf(st);
            m_journalLeft = identityOf(st);
        }
        *journalSize = end + record.size();
        ::close(fd);
        return true;
    }
}

bool SettingsStore::write(const QString &key, const QString &value)
{
    if (value.size() > m_limits.of(key))
        return false;
    // Something other than a file in the INI file's place (a folder) can
    // never take the journal's records.
    struct stat st {};
    bool damaged = false;
    if (::stat(m_nativePath.constData(), &st) == 0) {
        if (!S_ISREG(st.st_mode))
            return false;
        damaged = st.st_size > kMaxSettingsFileSize;
    } else if (errno != ENOENT) {
        return false;
    }
    const QString fullKey = m_section + QLatin1Char('/') + key;
    qint64 journalSize = 0;
    if (!append(settingsJournalRecord(fullKey, value), &journalSize))
        return false;
    if (m_loaded && !m_tooLarge)
        m_entries.insert(fullKey, value);
    {
        std::lock_guard lock(m_mutex);
        ++m_appends;
        if (!damaged) {
            if (!m_folder.joinable())
                m_folder = std::thread([this] { runFolder(); });
            m_urgent = m_urgent || journalSize > kJournalFoldSize;
            m_changed.notify_all();
        }
    }
    // A damaged file is replaced by what this program keeps, at once.
    if (damaged)
        return foldNow();
    return !m_foldFailed;
}

// --- folding the journal into the INI file -------------------------------------

void SettingsStore::flush()
{
    foldNow();
}

bool SettingsStore::foldNow()
{
    std::lock_guard foldLock(m_foldMutex);
    quint64 through = 0;
    {
        std::lock_guard lock(m_mutex);
        through = m_appends;
    }
    const FoldResult result = fold();
    if (result == FoldResult::Failed)
        qWarning("The settings file %s could not be written.", qPrintable(m_path));
    if (result != FoldResult::Deferred)
        m_foldFailed = result == FoldResult::Failed;
    if (result == FoldResult::Done) {
        std::lock_guard lock(m_mutex);
        m_foldedThrough = std::max(m_foldedThrough, through);
    }
    return result == FoldResult::Done;
}

SettingsStore::FoldResult SettingsStore::fold()
{
    const int fd = ::open(m_nativeJournalPath.constData(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT || errno == ELOOP ? FoldResult::Done : FoldResult::Failed;
    const auto finish = [fd](FoldResult result) {
        ::close(fd);
        return result;
    };
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return finish(FoldResult::Failed);
    if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid())
        return finish(FoldResult::Done); // nobody's journal: ignored
    if (!lockByte(fd, kFoldLockByte, kFoldLockWaitMs))
        return finish(FoldResult::Deferred); // another copy of the program is folding
    if (::fstat(fd, &st) != 0)
        return finish(FoldResult::Failed);
    const qint64 size = st.st_size;
    if (size == 0)
        return finish(FoldResult::Done);
    QList<SettingsJournalRecord> records;
    if (size <= kMaxSettingsFileSize) {
        const std::optional<QByteArray> bytes = readBytes(fd, size);
        if (!bytes)
            return finish(FoldResult::Failed);
        records = readSettingsJournal(*bytes);
    }
    if (!records.isEmpty() && !foldInto(records))
        return finish(FoldResult::Failed);
    // Emptied only when nothing came in since it was read: a record
    // appended meanwhile stays for the next fold, with the ones before it
    // (applying them twice changes nothing).
    if (lockByte(fd, kAppendLockByte, kAppendLockWaitMs)) {
        if (::fstat(fd, &st) == 0 && st.st_size == size && m_calls->ftruncate(fd, 0) != 0)
            return finish(FoldResult::Failed);
        unlockByte(fd, kAppendLockByte);
    }
    return finish(FoldResult::Done);
}

// The INI file as it is now, with `records` applied in order, replaces it.
// A change another program makes to it meanwhile has the fold start again
// from that file (twice at most; then the fold's result stands).
bool SettingsStore::foldInto(const QList<SettingsJournalRecord> &records)
{
    for (int attempt = 0;; ++attempt) {
        const FileIdentity before = fileIdentity();
        QMap<QString, QVariant> entries;
        // A file larger than any this program writes is damaged: what the
        // journal holds replaces it.
        if (before.exists && before.size <= kMaxSettingsFileSize)
            entries = readIniFile(m_path);
        for (const SettingsJournalRecord &record : records)
            entries.insert(record.key, record.value);
        const std::optional<QList<QByteArray>> text = iniText(entries);
        if (!text) {
            // A value of another type: QSettings writes the file, keeping it
            // as it is.
            QSettings settings(m_path, QSettings::IniFormat);
            settings.setAtomicSyncRequired(true);
            for (const SettingsJournalRecord &record : records)
                settings.setValue(record.key, record.value);
            settings.sync();
            if (settings.status() != QSettings::NoError)
                return false;
            const int dir = ::open(folderOf(m_nativePath).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            const bool synced = dir >= 0 && m_calls->fsync(dir) == 0;
            if (dir >= 0)
                ::close(dir);
            return synced;
        }
        switch (replaceFile(*text, attempt < 2 ? &before : nullptr)) {
        case Replaced::Yes: return true;
        case Replaced::Failed: return false;
        case Replaced::Changed: break;
        }
    }
}

// Writes `pieces` to a new file beside the INI file (with the old one's
// permissions; a new store's are the user's alone), syncs its data to the
// disk, renames it over the INI file and syncs the folder. Changed, with the
// INI file left as it is, when it is no longer `expected`.
SettingsStore::Replaced SettingsStore::replaceFile(const QList<QByteArray> &pieces, const FileIdentity *expected)
{
    // A link in the store's place is followed: its target is replaced.
    QString target = m_path;
    const QFileInfo info(m_path);
    if (info.isSymLink())
        target = info.symLinkTarget();
    const QByteArray targetName = QFile::encodeName(target);

    QByteArray tempName = targetName + ".XXXXXX";
    int fd = ::mkstemp(tempName.data());
    if (fd < 0 && errno == ENOENT && makeFolders(QFileInfo(target).path())) {
        tempName = targetName + ".XXXXXX";
        fd = ::mkstemp(tempName.data());
    }
    if (fd < 0)
        return Replaced::Failed;
    const auto fail = [&] {
        ::close(fd);
        ::unlink(tempName.constData());
        return Replaced::Failed;
    };
    struct stat st {};
    const mode_t mode = ::stat(targetName.constData(), &st) == 0 ? mode_t(st.st_mode & 07777) : mode_t(0600);
    if (::fchmod(fd, mode) != 0)
        return fail();
    for (const QByteArray &piece : pieces) {
        if (writeAll(fd, piece.constData(), piece.size()) != 0)
            return fail();
    }
    // Each write gets a modification time at least a millisecond past the
    // file's last one: readers that take a file of the same size and time to
    // the millisecond as unchanged (QSettings does) see every write.
    const qint64 nowMs = QDateTime::currentMSecsSinceEpoch();
    const qint64 lastMs = expected && expected->exists ? expected->modifiedNs / 1000000 : 0;
    const qint64 ms = std::max({nowMs, lastMs + 1, m_lastWriteMs + 1});
    const struct timespec times[2] = {{0, UTIME_OMIT}, {time_t(ms / 1000), long((ms % 1000) * 1000000)}};
    ::futimens(fd, times);
    // The data is on the disk before the name points at it: a power cut
    // after the rename finds the new file whole.
    if (m_calls->fdatasync(fd) != 0)
        return fail();
    if (::close(fd) != 0) {
        ::unlink(tempName.constData());
        return Replaced::Failed;
    }
    if (expected && fileIdentity() != *expected) {
        ::unlink(tempName.constData());
        return Replaced::Changed;
    }
    if (m_calls->rename(tempName.constData(), targetName.constData()) != 0) {
        ::unlink(tempName.constData());
        return Replaced::Failed;
    }
    m_lastWriteMs = ms;
    // The rename itself reaches the disk.
    const int dir = ::open(folderOf(targetName).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return Replaced::Failed;
    const int synced = m_calls->fsync(dir);
    ::close(dir);
    return synced == 0 ? Replaced::Yes : Replaced::Failed;
}

// The store's thread: a fold in a pause of kFoldDelayMs after the last
// write, or at once when the journal has grown large. A fold that failed
// is tried again after the next write, and at the store's end.
void SettingsStore::runFolder()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_appends != m_tried || m_stopping; });
        quint64 seenAppends = m_appends;
        while (!m_stopping && !m_urgent) {
            if (!m_changed.wait_for(lock, std::chrono::milliseconds(kFoldDelayMs),
                                    [&] { return m_appends != seenAppends || m_stopping || m_urgent; }))
                break;
            seenAppends = m_appends;
        }
        if (m_stopping)
            return; // the store's end folds
        m_urgent = false;
        m_tried = m_appends;
        lock.unlock();
        foldNow();
        lock.lock();
    }
}

SettingsStore::~SettingsStore()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_changed.notify_all();
    }
    if (m_folder.joinable())
        m_folder.join();
    if (m_appends != m_foldedThrough)
        foldNow();
}

void SettingsStore::writeOrThrow(const QString &key, const QString &value)
{
    const qsizetype max = m_limits.of(key);
    if (value.size() > max)
        throw Failure(QStringLiteral("The value of \"%1\" is %2 characters long, longer than the settings file keeps "
                                     "(at most %3).")
                          .arg(key)
                          .arg(value.size())
                          .arg(max));
    if (!write(key, value))
        throw Failure(QStringLiteral("Could not write the settings file %1.").arg(m_path));
}

// --- where the program's store lives -------------------------------------------

QString settingsFilePath()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, kApplicationName).fileName();
}

} // namespace quorbel
