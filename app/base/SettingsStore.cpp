#include "SettingsStore.h"

#include "DateText.h"
#include "Failure.h"
#include "FileProcs.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorbel {
namespace {

const QString kApplicationName = QStringLiteral("Marvesk");

// --- the INI text form, as QSettings reads it -------------------------------

void appendHex(QByteArray &out, char16_t ch)
{
    out += "\\x";
    out += QByteArray::number(uint(ch), 16);
}

bool isHexDigit(char16_t ch)
{
    return (ch >= u'0' && ch <= u'9') || (ch >= u'a' && ch <= u'f') || (ch >= u'A' && ch <= u'F');
}

// A key or section name: letters, digits, "_", "-" and "." as they are, "/"
// as "\", every other character as %XX or %UXXXX.
void appendKey(QByteArray &out, QStringView key)
{
    for (const QChar qch : key) {
        const char16_t ch = qch.unicode();
        if (ch == u'/') {
            out += '\\';
        } else if ((ch >= u'a' && ch <= u'z') || (ch >= u'A' && ch <= u'Z') || (ch >= u'0' && ch <= u'9') ||
                   ch == u'_' || ch == u'-' || ch == u'.') {
            out += char(ch);
        } else if (ch <= 0xFF) {
            out += '%';
            out += QByteArray::number(uint(ch), 16).toUpper().rightJustified(2, '0');
        } else {
            out += "%U";
            out += QByteArray::number(uint(ch), 16).toUpper().rightJustified(4, '0');
        }
    }
}

// One text: control characters, quotes and backslashes escaped, the rest in
// UTF-8; quoted when it holds ";", "," or "=" or starts or ends with a blank.
// A text starting with "@" gets a second "@" (a single one marks a typed
// value), one holding a NUL is written as @String(...). A lone surrogate has
// no UTF-8 form, and a byte order mark in UTF-8 is dropped where Qt starts
// decoding (Qt 6.8 does at a value's start): both are written as a \x
// escape, which reads back as itself.
void appendText(QByteArray &out, const QString &raw)
{
    QString text = raw;
    if (text.contains(QChar(u'\0')))
        text = QStringLiteral("@String(") + text + QLatin1Char(')');
    else if (text.startsWith(QLatin1Char('@')))
        text.prepend(QLatin1Char('@'));

    const qsizetype start = out.size();
    bool needsQuotes = false;
    bool escapeHexDigit = false; // after a \x or \0 escape, a hex digit would join it
    const qsizetype n = text.size();
    const char16_t *s = reinterpret_cast<const char16_t *>(text.constData());
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t ch = s[i];
        if (ch == u';' || ch == u',' || ch == u'=')
            needsQuotes = true;
        if (escapeHexDigit && isHexDigit(ch)) {
            appendHex(out, ch);
            continue;
        }
        escapeHexDigit = false;
        switch (ch) {
        case u'\0': out += "\\0"; escapeHexDigit = true; break;
        case u'\a': out += "\\a"; break;
        case u'\b': out += "\\b"; break;
        case u'\f': out += "\\f"; break;
        case u'\n': out += "\\n"; break;
        case u'\r': out += "\\r"; break;
        case u'\t': out += "\\t"; break;
        case u'\v': out += "\\v"; break;
        case u'"':
        case u'\\':
            out += '\\';
            out += char(ch);
            break;
        default:
            if (ch <= 0x1F) {
                appendHex(out, ch);
                escapeHexDigit = true;
            } else if (ch < 0x80) {
                out += char(ch);
            } else if (ch < 0x800) {
                out += char(0xC0 | (ch >> 6));
                out += char(0x80 | (ch & 0x3F));
            } else if (QChar::isHighSurrogate(ch) && i + 1 < n && QChar::isLowSurrogate(s[i + 1])) {
                const char32_t cp = QChar::surrogateToUcs4(ch, s[i + 1]);
                ++i;
                out += char(0xF0 | (cp >> 18));
                out += char(0x80 | ((cp >> 12) & 0x3F));
                out += char(0x80 | ((cp >> 6) & 0x3F));
                out += char(0x80 | (cp & 0x3F));
            } else if (QChar::isSurrogate(ch) || ch == 0xFEFF) {
                appendHex(out, ch);
                escapeHexDigit = true;
            } else {
                out += char(0xE0 | (ch >> 12));
                out += char(0x80 | ((ch >> 6) & 0x3F));
                out += char(0x80 | (ch & 0x3F));
            }
        }
    }
    if (needsQuotes || (start < out.size() && (out.at(start) == ' ' || out.back() == ' '))) {
        out.insert(start, '"');
        out += '"';
    }
}

// "key=value\n" for a text or a list of texts; empty for other values,
// which only QSettings writes.
QByteArray makeLine(QStringView key, const QVariant &value)
{
    QByteArray line;
    appendKey(line, key);
    line += '=';
    if (value.typeId() == QMetaType::QString) {
        appendText(line, value.toString());
    } else if (value.typeId() == QMetaType::QStringList) {
        const QStringList list = value.toStringList();
        if (list.isEmpty())
            line += "@Invalid()";
        for (qsizetype i = 0; i < list.size(); ++i) {
            if (i != 0)
                line += ", ";
            appendText(line, list.at(i));
        }
    } else {
        return {};
    }
    line += '\n';
    return line;
}

qint64 nanoseconds(const struct timespec &time)
{
    return qint64(time.tv_sec) * 1000000000 + time.tv_nsec;
}

} // namespace

qsizetype maxSettingLength(const QString &key)
{
    if (key == QLatin1String("dtpDate"))
        return kMaxDateTextLength;
    if (key == QLatin1String("ToDo"))
        return 8 * 1024 * 1024;
    // A text box holds at most 32,767 characters.
    return 32767;
}

SettingsStore::SettingsStore(QString filePath, QString section)
    : m_path(std::move(filePath)), m_section(std::move(section))
{
}

SettingsStore::FileIdentity SettingsStore::identity() const
{
    FileIdentity id;
    struct stat st {};
    if (::stat(QFile::encodeName(m_path).constData(), &st) != 0)
        return id;
    id.exists = true;
    id.device = st.st_dev;
    id.inode = st.st_ino;
    id.size = st.st_size;
    id.modifiedNs = nanoseconds(st.st_mtim);
    id.changedNs = nanoseconds(st.st_ctim);
    return id;
}

void SettingsStore::load()
{
    m_entries.clear();
    m_loaded = true;
    m_seen = identity();
    m_tooLarge = m_seen.size > kMaxSettingsFileSize;
    if (!m_seen.exists || m_tooLarge)
        return;
    QSettings settings(m_path, QSettings::IniFormat);
    const QStringList keys = settings.allKeys();
    for (const QString &key : keys)
        m_entries.insert(key, Entry{settings.value(key), QByteArray()});
}

// The file is compared with the one last seen before each read and write;
// while a write of the store's own is under way it is not: what the store
// holds is newer than any file then.
void SettingsStore::refresh()
{
    if (m_loaded) {
        std::lock_guard lock(m_mutex);
        if (m_job || m_writing)
            return;
        if (m_writtenIdentity) {
            m_seen = *m_writtenIdentity;
            m_writtenIdentity.reset();
        }
    }
    if (!m_loaded || identity() != m_seen)
        load();
}

QString SettingsStore::read(const QString &key, const QString &defaultValue)
{
    refresh();
    if (m_tooLarge)
        throw Failure(QStringLiteral("The settings file %1 is larger than %2 MB: it is damaged.")
                          .arg(m_path)
                          .arg(kMaxSettingsFileSize / (1024 * 1024)));
    const auto it = m_entries.constFind(m_section + QLatin1Char('/') + key);
    if (it == m_entries.cend() || !it->value.isValid())
        return defaultValue;
    // A hand-edited value with an unquoted comma reads back as a list; its
    // text is still the user's, so give it back joined as it was written.
    const QString text = it->value.typeId() == QMetaType::QStringList
                             ? it->value.toStringList().join(QLatin1Char(','))
                             : it->value.toString();
    if (text.size() > maxSettingLength(key))
        throw Failure(QStringLiteral("The stored value of \"%1\" is %2 characters long, longer than any this program "
                                     "writes: it is damaged.")
                          .arg(key)
                          .arg(text.size()));
    return text;
}

QList<QByteArray> SettingsStore::fileText()
{
    // Sections in the order QSettings names them; a key without a section
    // belongs to [General]. The pieces are written as they are, uncopied.
    QMap<QString, QList<QByteArray>> sections;
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
        const qsizetype slash = it.key().indexOf(QLatin1Char('/'));
        const QString section = slash < 0 ? QString() : it.key().left(slash);
        if (it->line.isEmpty())
            it->line = makeLine(slash < 0 ? QStringView(it.key()) : QStringView(it.key()).sliced(slash + 1), it->value);
        if (it->line.isEmpty())
            return {};
        sections[section].append(it->line);
    }
    QList<QByteArray> pieces;
    for (auto it = sections.cbegin(); it != sections.cend(); ++it) {
        QByteArray header;
        if (!pieces.isEmpty())
            header += '\n';
        QByteArray name;
        appendKey(name, it.key());
        if (name.isEmpty())
            header += "[General]\n";
        else if (name.compare("general", Qt::CaseInsensitive) == 0)
            header += "[%General]\n";
        else
            header += '[' + name + "]\n";
        pieces.append(header);
        pieces.append(it.value());
    }
    return pieces;
}

bool SettingsStore::writeFile(const Job &job, FileIdentity *written)
{
    // A link in the store's place is followed: its target is replaced.
    QString target = m_path;
    const QFileInfo info(m_path);
    if (info.isSymLink())
        target = info.symLinkTarget();
    const QByteArray targetName = QFile::encodeName(target);

    // The new file beside the old one, with the old one's permissions (a new
    // store gets the usual ones), then renamed over it: a write cut short
    // leaves the old file, never a mix.
    QByteArray tempName = targetName + ".XXXXXX";
    int fd = ::mkstemp(tempName.data());
    // A new account has no configuration folder yet: it is made for the
    // user alone, as configuration folders are.
    if (fd < 0 && errno == ENOENT && makeFolders(QFileInfo(target).path())) {
        tempName = targetName + ".XXXXXX";
        fd = ::mkstemp(tempName.data());
    }
    if (fd < 0)
        return false;
    const auto fail = [&] {
        ::close(fd);
        ::unlink(tempName.constData());
        return false;
    };
    struct stat st {};
    mode_t mode = 0;
    if (::stat(targetName.constData(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        mode = ::umask(0);
        ::umask(mode);
        mode = 0666 & ~mode;
    }
    if (::fchmod(fd, mode) != 0)
        return fail();
    for (const QByteArray &piece : job.pieces) {
        if (writeAll(fd, piece.constData(), piece.size()) != 0)
            return fail();
    }
    // Each write gets a modification time at least a millisecond past the
    // file's last one: readers that take a file of the same size and time to
    // the millisecond as unchanged (QSettings does) see every write.
    const qint64 nowMs = QDateTime::currentMSecsSinceEpoch();
    const qint64 ms = std::max({nowMs, job.lastModifiedMs + 1, m_lastWriteMs + 1});
    const struct timespec times[2] = {{0, UTIME_OMIT}, {time_t(ms / 1000), long((ms % 1000) * 1000000)}};
    ::futimens(fd, times);
    if (::close(fd) != 0) {
        ::unlink(tempName.constData());
        return false;
    }
    if (::rename(tempName.constData(), targetName.constData()) != 0) {
        ::unlink(tempName.constData());
        return false;
    }
    m_lastWriteMs = ms;
    m_unsynced = targetName;
    *written = identity();
    return true;
}

// Once the renamed file is in place, a kill or a crash of the program
// cannot lose it; a power cut could, until the system writes it out. The
// writer does that in a pause after the last write (a key typed does not
// wait for the disk), and at the latest when the store goes away.
void SettingsStore::syncToDisk(const QByteArray &path)
{
    if (path.isEmpty())
        return;
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        ::fdatasync(fd);
        ::close(fd);
    }
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray folder = slash > 0 ? path.left(slash) : QByteArray(slash == 0 ? "/" : ".");
    const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

void SettingsStore::runWriter()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (!m_job && !m_stopping && !m_unsynced.isEmpty()) {
            // A pause after the last write: the file goes to the disk.
            if (!m_changed.wait_for(lock, std::chrono::milliseconds(kSyncDelayMs),
                                    [this] { return m_job || m_stopping; })) {
                const QByteArray path = std::exchange(m_unsynced, QByteArray());
                lock.unlock();
                syncToDisk(path);
                lock.lock();
                continue;
            }
        }
        m_changed.wait(lock, [this] { return m_job || m_stopping; });
        if (!m_job) {
            const QByteArray path = std::exchange(m_unsynced, QByteArray());
            lock.unlock();
            syncToDisk(path);
            return;
        }
        const Job job = std::move(*m_job);
        m_job.reset();
        m_writing = true;
        lock.unlock();
        FileIdentity written;
        const bool ok = writeFile(job, &written);
        if (!ok)
            qWarning("The settings file %s could not be written.", qPrintable(m_path));
        lock.lock();
        m_writing = false;
        m_doneNumber = job.number;
        if (ok) {
            m_writtenNumber = job.number;
            m_writtenIdentity = written;
        }
        m_changed.notify_all();
    }
}

quint64 SettingsStore::submit(const QString &key, const QString &value, bool *written)
{
    refresh();
    if (m_tooLarge) {
        // The damaged file is replaced by what this program keeps.
        m_entries.clear();
        m_tooLarge = false;
    }
    const QString fullKey = m_section + QLatin1Char('/') + key;
    auto it = m_entries.find(fullKey);
    if (it == m_entries.end())
        it = m_entries.insert(fullKey, Entry{QVariant(), QByteArray()});
    it->value = value;
    it->line = makeLine(key, it->value);

    QList<QByteArray> text = fileText();
    if (text.isEmpty() && !m_entries.isEmpty()) {
        // A value of another type (only a hand edit or another program puts
        // one there): QSettings writes the file, keeping it as it is.
        flush();
        QSettings settings(m_path, QSettings::IniFormat);
        settings.setAtomicSyncRequired(true);
        settings.setValue(fullKey, value);
        settings.sync();
        *written = settings.status() == QSettings::NoError;
        m_loaded = false;
        return 0;
    }
    std::lock_guard lock(m_mutex);
    if (!m_writer.joinable())
        m_writer = std::thread([this] { runWriter(); });
    m_job = Job{std::move(text), ++m_submitted, m_seen.exists ? m_seen.modifiedNs / 1000000 : 0};
    m_changed.notify_all();
    return m_submitted;
}

bool SettingsStore::waitFor(quint64 number)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_doneNumber >= number; });
    // A later write holds this one's change too.
    return m_writtenNumber >= number;
}

bool SettingsStore::write(const QString &key, const QString &value)
{
    bool written = false;
    const quint64 number = submit(key, value, &written);
    return number == 0 ? written : waitFor(number);
}

void SettingsStore::writeSoon(const QString &key, const QString &value)
{
    bool written = false;
    submit(key, value, &written);
}

void SettingsStore::flush()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_job && !m_writing; });
}

SettingsStore::~SettingsStore()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_changed.notify_all();
    }
    if (m_writer.joinable())
        m_writer.join();
}

// --- the program's store ------------------------------------------------------

SettingsStore &programSettings()
{
    static SettingsStore store(settingsFilePath());
    return store;
}

QString readSetting(const QString &key, const QString &defaultValue)
{
    return programSettings().read(key, defaultValue);
}

void saveSetting(const QString &key, const QString &value)
{
    programSettings().write(key, value);
}

void saveSettingSoon(const QString &key, const QString &value)
{
    programSettings().writeSoon(key, value);
}

void storeSetting(const QString &key, const QString &value)
{
    if (!programSettings().write(key, value))
        throw Failure(QStringLiteral("Could not write the settings file %1.").arg(programSettings().filePath()));
}

QString settingsFilePath()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, kApplicationName).fileName();
}

} // namespace quorbel
