#include "MasterProfile.h"

#include "Failure.h"
#include "OfficeCommand.h"
#include "OwnFolder.h"
#include "ScratchFolder.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSaveFile>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <csignal>
#include <cstdio>
#include <filesystem>

namespace quorbel::lo {
namespace {

// The namespace of the office's configuration files.
const QString kRegistryNamespace = QStringLiteral("http://openoffice.org/2001/registry");

// One configuration value: `name` in the group `path`.
struct ProfileSetting {
    QString path;
    QString name;
    QString value;
};

// Settings of a private office that no user sees: no lock files next to the
// workbooks, no autosave or recovery copies; and the profile counts as made
// by this version of the office, which otherwise takes it for an upgrade at
// every start and first runs its graphics self-test (about 0.7 s).
QList<ProfileSetting> privateOfficeSettings(const QString &version)
{
    const QString off = QStringLiteral("false");
    QList<ProfileSetting> settings = {
        {QStringLiteral("/org.openoffice.Office.Common/Misc"), QStringLiteral("UseLocking"), off},
        {QStringLiteral("/org.openoffice.Office.Recovery/AutoSave"), QStringLiteral("Enabled"), off},
        {QStringLiteral("/org.openoffice.Office.Recovery/RecoveryInfo"), QStringLiteral("Enabled"), off},
    };
    if (!version.isEmpty())
        settings.append({QStringLiteral("/org.openoffice.Setup/Product"), QStringLiteral("ooSetupLastVersion"), version});
    return settings;
}

// Writes the settings as items of the file's root element, the way the
// office writes its own; `prefix` is the one the file binds to the
// registry namespace (empty when that is the default namespace, which
// attributes do not take). Names are written as qualified names, so that
// the file keeps its own prefixes.
void writeSettings(QXmlStreamWriter &xml, const QString &prefix, const QList<ProfileSetting> &settings)
{
    const QString attribute = (prefix.isEmpty() ? QStringLiteral("oor") : prefix) + QLatin1Char(':');
    for (const ProfileSetting &setting : settings) {
        xml.writeStartElement(QStringLiteral("item"));
        if (prefix.isEmpty())
            xml.writeAttribute(QStringLiteral("xmlns:oor"), kRegistryNamespace);
        xml.writeAttribute(attribute + QStringLiteral("path"), setting.path);
        xml.writeStartElement(QStringLiteral("prop"));
        xml.writeAttribute(attribute + QStringLiteral("name"), setting.name);
        xml.writeAttribute(attribute + QStringLiteral("op"), QStringLiteral("fuse"));
        xml.writeTextElement(QStringLiteral("value"), setting.value);
        xml.writeEndElement();
        xml.writeEndElement();
        xml.writeCharacters(QStringLiteral("\n"));
    }
}

// A configuration file that holds only `settings`.
void writeNewSettingsFile(QXmlStreamWriter &xml, const QList<ProfileSetting> &settings)
{
    xml.writeStartDocument();
    xml.writeCharacters(QStringLiteral("\n"));
    xml.writeStartElement(QStringLiteral("oor:items"));
    xml.writeAttribute(QStringLiteral("xmlns:oor"), kRegistryNamespace);
    xml.writeAttribute(QStringLiteral("xmlns:xs"), QStringLiteral("http://www.w3.org/2001/XMLSchema"));
    xml.writeAttribute(QStringLiteral("xmlns:xsi"), QStringLiteral("http://www.w3.org/2001/XMLSchema-instance"));
    xml.writeCharacters(QStringLiteral("\n"));
    writeSettings(xml, QStringLiteral("oor"), settings);
    xml.writeEndElement();
    xml.writeEndDocument();
}

// Copies the configuration file `text` to `xml`, with `settings` added as
// the last items of its root element. Returns an error text, empty when
// the file was read to its end.
QString writeWithSettings(QXmlStreamWriter &xml, const QByteArray &text, const QList<ProfileSetting> &settings)
{
    QXmlStreamReader reader(text);
    QString prefix;
    int depth = 0;
    bool added = false;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            if (depth == 0) {
                if (reader.namespaceUri() != kRegistryNamespace || reader.name() != u"items")
                    return QStringLiteral("its root element is not the office's \"items\"");
                prefix = reader.prefix().toString();
            }
            ++depth;
            // The element as it stands, with its own namespace declarations.
            xml.writeStartElement(reader.qualifiedName().toString());
            for (const QXmlStreamNamespaceDeclaration &declaration : reader.namespaceDeclarations()) {
                const QString name = declaration.prefix().isEmpty()
                    ? QStringLiteral("xmlns")
                    : QStringLiteral("xmlns:") + declaration.prefix().toString();
                xml.writeAttribute(name, declaration.namespaceUri().toString());
            }
            for (const QXmlStreamAttribute &attribute : reader.attributes())
                xml.writeAttribute(attribute.qualifiedName().toString(), attribute.value().toString());
            break;
        case QXmlStreamReader::EndElement:
            if (--depth == 0) {
                writeSettings(xml, prefix, settings);
                added = true;
            }
            xml.writeEndElement();
            break;
        case QXmlStreamReader::StartDocument:
            xml.writeCurrentToken(reader);
            // The reader reports no white space outside the root element.
            xml.writeCharacters(QStringLiteral("\n"));
            break;
        case QXmlStreamReader::Invalid:
            break;
        default:
            xml.writeCurrentToken(reader);
            break;
        }
    }
    if (reader.hasError())
        return QStringLiteral("%1 (line %2)").arg(reader.errorString()).arg(reader.lineNumber());
    if (!added)
        return QStringLiteral("it has no root element");
    return {};
}

// Adds `settings` to the profile folder `profile` (its
// user/registrymodifications.xcu, made when missing). The file is left as
// it was when it cannot be read or written.
void addSettings(const QString &profile, const QList<ProfileSetting> &settings)
{
    const QString path = profile + QStringLiteral("/user/registrymodifications.xcu");
    QByteArray text;
    QFile existing(path);
    const bool exists = existing.exists();
    if (exists) {
        if (!existing.open(QIODevice::ReadOnly))
            throw Failure(QStringLiteral("Could not read the LibreOffice settings %1: %2").arg(path, existing.errorString()));
        text = existing.readAll();
        existing.close();
    }

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw Failure(QStringLiteral("Could not write the LibreOffice settings %1: %2").arg(path, file.errorString()));
    QXmlStreamWriter xml(&file);
    if (exists) {
        const QString error = writeWithSettings(xml, text, settings);
        if (!error.isEmpty())
            throw Failure(QStringLiteral("Could not read the LibreOffice settings %1: %2").arg(path, error));
    } else {
        writeNewSettingsFile(xml, settings);
    }
    if (xml.hasError() || !file.commit())
        throw Failure(QStringLiteral("Could not write the LibreOffice settings %1: %2").arg(path, file.errorString()));
}

// The office's own major.minor version ("7.4"), from the ProductKey of the
// bootstraprc beside its program; empty when it cannot be read.
QString officeVersion(const QString &program)
{
    QFile file(QFileInfo(program).absolutePath() + QStringLiteral("/bootstraprc"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    static const QRegularExpression productKey(QStringLiteral("^ProductKey=.*?(\\d+\\.\\d+)"),
                                               QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = productKey.match(QString::fromUtf8(file.readAll()));
    return match.hasMatch() ? match.captured(1) : QString();
}

} // namespace

QString masterProfile(const QString &program, std::chrono::milliseconds setUpLimit)
{
    const QFileInfo info(program);
    const QByteArray key = QCryptographicHash::hash(
        (info.absoluteFilePath() + QString::number(info.lastModified().toSecsSinceEpoch())
         + QString::number(info.size())).toUtf8(),
        QCryptographicHash::Sha1).toHex().left(16);
    const QString cache = cacheFolder();
    const QString master = cache + QStringLiteral("/profile-v2-") + QString::fromLatin1(key);
    const QString marker = master + QStringLiteral("/complete");
    if (QFileInfo::exists(marker))
        return master;

    // Profiles half made by a program that ended meanwhile.
    const QDateTime hourAgo = QDateTime::currentDateTime().addSecs(-3600);
    const auto staged = QDir(cache).entryInfoList({QStringLiteral("profile-staging-*")}, QDir::Dirs | QDir::NoSymLinks);
    for (const QFileInfo &old : staged) {
        if (old.lastModified() < hourAgo)
            removeOwnFolder(old.absoluteFilePath());
    }
    const QString staging = cache + QStringLiteral("/profile-staging-") + randomName();
    makePrivateFolder(staging);
    // The set-up office's temporary files stay in the staging folder, out
    // of others' reach, and go with it.
    const QString temp = makePrivateFolder(staging + QStringLiteral("/tmp"));
    QProcess process;
    prepareOfficeProcess(process, staging + QStringLiteral("/profile"), QString(), temp, QString());
    process.start(program, officeArguments());
    // Setting up a profile on a slow or cold disk can take far longer than
    // any call: it has a limit of its own, in minutes.
    const int limit = int(setUpLimit.count());
    if (!process.waitForStarted(limit)) {
        removeOwnFolder(staging);
        throw Failure(QStringLiteral("LibreOffice could not be started (%1): %2").arg(program, process.errorString()));
    }
    const bool ended = process.waitForFinished(limit);
    if (!ended) {
        ::kill(-pid_t(process.processId()), SIGKILL);
        process.waitForFinished(5000);
    }
    const bool initialised = ended && process.exitStatus() == QProcess::NormalExit
        && (process.exitCode() == kOfficeRestartExitCode || process.exitCode() == 0)
        && QFileInfo::exists(staging + QStringLiteral("/profile/user"));
    if (!initialised) {
        removeOwnFolder(staging);
        throw Failure(QStringLiteral("LibreOffice (%1) could not set up its profile: it %2.")
                          .arg(program, ended ? QStringLiteral("ended with exit code %1").arg(process.exitCode())
                                              : QStringLiteral("did not finish within %1 minutes")
                                                    .arg(QString::number(limit / 60000.0, 'g', 3))));
    }
    removeOwnFolder(temp);
    try {
        addSettings(staging + QStringLiteral("/profile"), privateOfficeSettings(officeVersion(program)));
    } catch (...) {
        removeOwnFolder(staging);
        throw;
    }
    QFile complete(staging + QStringLiteral("/complete"));
    if (!complete.open(QIODevice::WriteOnly)) {
        // A master without its mark would stand in the way of every later
        // attempt.
        const QString error = complete.errorString();
        removeOwnFolder(staging);
        throw Failure(QStringLiteral("The LibreOffice profile %1 could not be set up: %2").arg(master, error));
    }
    complete.close();
    // Another program may have made the same profile meanwhile: keep theirs.
    if (::rename(QFile::encodeName(staging).constData(), QFile::encodeName(master).constData()) != 0)
        removeOwnFolder(staging);
    if (!QFileInfo::exists(marker))
        throw Failure(QStringLiteral("The LibreOffice profile %1 could not be set up.").arg(master));
    return master;
}

// A plain recursive copy, links left out: a profile is some fifty folders
// and twenty-five small files, and copying them one QFile at a time cost a
// tenth of a second of every office start.
void copyMasterProfile(const QString &master, const QString &to)
{
    namespace fs = std::filesystem;
    const QString from = master + QStringLiteral("/profile");
    std::error_code error;
    fs::copy(fs::path(QFile::encodeName(from).toStdString()), fs::path(QFile::encodeName(to).toStdString()),
             fs::copy_options::recursive | fs::copy_options::skip_symlinks, error);
    if (error)
        throw Failure(QStringLiteral("Could not copy the LibreOffice profile %1: %2")
                          .arg(from, QString::fromLocal8Bit(error.message().c_str())));
}

void setAcceptedPipe(const QString &profile, const QString &pipeName)
{
    addSettings(profile, {{QStringLiteral("/org.openoffice.Setup/Office"), QStringLiteral("ooSetupConnectionURL"),
                           officeConnectionUrl(pipeName)}});
}

} // namespace quorbel::lo
