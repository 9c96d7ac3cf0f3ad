// The system's printing: the print dialog takes a file's name without
// writing through a link there, and a job handed to a real CUPS queue (a
// cupsd of the test's own with a cups-pdf queue) comes out as the sheet it
// was, text and all, with the copies asked for.

#include "Failure.h"
#include "SystemPrinting.h"

#include <QApplication>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <cups/cups.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quorbel;

namespace {

const QString kText = QStringLiteral("Quorbel print check 4711");

QByteArray sha256Of(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

void writeText(const QString &path, const QString &text)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text.toUtf8());
}

// A one-page A4 PDF with a line of text.
void writeSheetPdf(const QString &path)
{
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setResolution(300);
    QPainter painter(&writer);
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPointSize(18);
    painter.setFont(font);
    painter.drawText(QPoint(300, 500), kText);
    painter.end();
}

// Runs a tool to its end (at most `timeoutMs`) with CUPS_SERVER set to
// `server`; returns its standard output, or a null array when it failed.
QByteArray run(const QString &program, const QStringList &arguments, const QString &server, int timeoutMs = 30'000)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("CUPS_SERVER"), server);
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        process.kill();
        process.waitForFinished(5000);
        qWarning("%s failed: %s", qPrintable(program), process.readAllStandardError().constData());
        return QByteArray();
    }
    QByteArray out = process.readAllStandardOutput();
    return out.isNull() ? QByteArray("") : out;
}

// A cupsd of the test's own: its configuration, spool, state and logs in a
// folder of the test's, listening on a socket there only. The cups-pdf
// backend reads its settings from /etc/cups/cups-pdf.conf alone; the
// scheduler runs in a mount namespace of its own where a file of the
// test's stands in for that one, so its output goes to the test's folder
// and nothing of the machine's CUPS configuration changes.
class PrivateCups {
public:
    explicit PrivateCups(const QString &folder) : m_folder(folder)
    {
        for (const char *sub : {"conf", "spool", "cache", "state", "log", "out", "tmp", "pdfspool"})
            QDir().mkpath(path(QString::fromLatin1(sub)));
        // The filters run as the lp user: they must reach the spool.
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                                          | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
        // Its temporary files, the filters' too.
        ::chmod(QFile::encodeName(path(QStringLiteral("tmp"))).constData(), 01777);
        writeText(path(QStringLiteral("conf/cupsd.conf")),
                  QStringLiteral("LogLevel info\nListen %1\nBrowsing No\nWebInterface No\nDefaultAuthType None\n"
                                 "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                                 "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n</Policy>\n")
                      .arg(socket()));
        writeText(path(QStringLiteral("conf/cups-files.conf")),
                  QStringLiteral("ServerRoot %1\nRequestRoot %2\nStateDir %3\nCacheDir %4\nTempDir %5\n"
                                 "ErrorLog %6/error_log\nAccessLog %6/access_log\nPageLog %6/page_log\n"
                                 "Printcap %7\nSystemGroup root\n")
                      .arg(path(QStringLiteral("conf")), path(QStringLiteral("spool")), path(QStringLiteral("state")),
                           path(QStringLiteral("cache")), path(QStringLiteral("tmp")), path(QStringLiteral("log")),
                           path(QStringLiteral("printcap"))));
        writeText(path(QStringLiteral("cups-pdf.conf")),
                  QStringLiteral("Out %1\nAnonDirName %1\nSpool %2\nLog %3\nGrp root\n")
                      .arg(path(QStringLiteral("out")), path(QStringLiteral("pdfspool")), path(QStringLiteral("log"))));

        m_scheduler.setProcessChannelMode(QProcess::ForwardedChannels);
        const QString script = QStringLiteral(
            "mount --bind \"$1\" /etc/cups/cups-pdf.conf && exec cupsd -f -c \"$2\" -s \"$3\"");
        m_scheduler.start(QStringLiteral("unshare"),
                          {QStringLiteral("--mount"), QStringLiteral("--propagation"), QStringLiteral("private"),
                           QStringLiteral("sh"), QStringLiteral("-c"), script, QStringLiteral("sh"),
                           path(QStringLiteral("cups-pdf.conf")), path(QStringLiteral("conf/cupsd.conf")),
                           path(QStringLiteral("conf/cups-files.conf"))});
    }

    ~PrivateCups()
    {
        if (m_scheduler.state() != QProcess::NotRunning) {
            m_scheduler.terminate();
            if (!m_scheduler.waitForFinished(15'000)) {
                m_scheduler.kill();
                m_scheduler.waitForFinished(5000);
            }
        }
    }

    // True once the scheduler answers, within 15 seconds.
    bool waitUntilRunning()
    {
        QDeadlineTimer deadline(15'000);
        while (!deadline.hasExpired() && m_scheduler.state() != QProcess::NotRunning) {
            if (QFileInfo::exists(socket())
                && !run(QStringLiteral("lpstat"), {QStringLiteral("-r")}, socket(), 5000).isNull())
                return true;
            QTest::qWait(100);
        }
        return false;
    }

    QString path(const QString &name) const { return QDir(m_folder).filePath(name); }
    QString socket() const { return path(QStringLiteral("cups.sock")); }

private:
    QString m_folder;
    QProcess m_scheduler;
};

} // namespace

class PrintingTest : public QObject {
    Q_OBJECT
private slots:
    void printToFileTakesTheNameAsItIs();
    void jobReachesARealQueue();
};

// Qt's own check of the file's name opens it for writing, through a link
// that leads nowhere too; the dialog here takes the name as it is and leaves
// the link and what it leads to alone (the program asks about the entry and
// replaces it itself).
void PrintingTest::printToFileTakesTheNameAsItIs()
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("sheet.pdf"));
    const QString leadsTo = dir.filePath(QStringLiteral("elsewhere.pdf"));
    QVERIFY(QFile::link(leadsTo, name));

    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A5));
    const std::unique_ptr<QPrintDialog> dialog = makePrintDialog(printer, nullptr);
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    auto *queues = dialog->findChild<QComboBox *>(QStringLiteral("printers"));
    auto *file = dialog->findChild<QLineEdit *>(QStringLiteral("filename"));
    QVERIFY(queues && file);
    queues->setCurrentIndex(queues->count() - 1); // "Print to File (PDF)"
    QVERIFY(file->isEnabled());
    file->setText(name);
    const QList<QDialogButtonBox *> boxes = dialog->findChildren<QDialogButtonBox *>(Qt::FindDirectChildrenOnly);
    QCOMPARE(boxes.size(), 1);
    boxes.first()->button(QDialogButtonBox::Ok)->click();

    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    QVERIFY(!dialog->isVisible());
    const PrintChoice choice = printChoiceOf(printer);
    QVERIFY(choice.toFile());
    QCOMPARE(choice.file, name);
    QCOMPARE(choice.copies, 1);
    QVERIFY(qAbs(choice.paperMm.width() - 148) < 0.5 && qAbs(choice.paperMm.height() - 210) < 0.5);
    QCOMPARE(QFileInfo(name).symLinkTarget(), leadsTo);
    QVERIFY(!QFileInfo::exists(leadsTo));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
             QStringList {QStringLiteral("sheet.pdf")});
}

void PrintingTest::jobReachesARealQueue()
{
    if (::geteuid() != 0)
        QSKIP("A CUPS scheduler of the test's own needs root (cupsd -f, a mount namespace): not run.");
    const QStringList folders {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin"), QStringLiteral("/sbin"),
                               QStringLiteral("/bin")};
    for (const char *tool : {"cupsd", "lpadmin", "lpstat", "unshare", "mount", "pdftotext"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool), folders).isEmpty())
            QSKIP(qPrintable(QStringLiteral("%1 is not installed (packages printer-driver-cups-pdf, poppler-utils): "
                                            "not run.")
                                 .arg(QString::fromLatin1(tool))));
    }
    const QString ppd = QStringLiteral("/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd");
    const QString machineConf = QStringLiteral("/etc/cups/cups-pdf.conf");
    if (!QFileInfo::exists(ppd) || !QFileInfo::exists(machineConf)
        || !QFileInfo::exists(QStringLiteral("/usr/lib/cups/backend/cups-pdf")))
        QSKIP("The cups-pdf queue's driver is not installed (package printer-driver-cups-pdf): not run.");
    const QByteArray machineConfBefore = sha256Of(machineConf);
    const bool rootPdfBefore = QFileInfo::exists(QStringLiteral("/root/PDF"));

    QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/quorbel-cups-XXXXXX"));
    QVERIFY(folder.isValid());
    {
        PrivateCups cups(folder.path());
        if (!cups.waitUntilRunning())
            QSKIP("The test's own cupsd did not start (no mount namespace in this sandbox?): not run.");
        // A queue that keeps a PDF's text as text on its way through the
        // filters.
        const QStringList queue {QStringLiteral("-p"), QStringLiteral("quorbeltest"), QStringLiteral("-v"),
                                 QStringLiteral("cups-pdf:/"), QStringLiteral("-E"), QStringLiteral("-P"), ppd,
                                 QStringLiteral("-o"), QStringLiteral("pdftops-renderer-default=pdftocairo")};
        QVERIFY(!run(QStringLiteral("lpadmin"), queue, cups.socket()).isNull());

        cupsSetServer(QFile::encodeName(cups.socket()).constData());
        const QString sheet = folder.filePath(QStringLiteral("sheet.pdf"));
        writeSheetPdf(sheet);
        PrintChoice choice;
        choice.printer = QStringLiteral("quorbeltest");
        choice.copies = 2;
        choice.paperMm = QSizeF(210, 297);
        choice.options = {{QStringLiteral("media"), QStringLiteral("A4")}};
        SystemPrinting printing;
        const int job = printing.printFile(choice, sheet, QStringLiteral("Quorbel"));
        QVERIFY(job > 0);

        // A queue that is not there refuses the job, and says which.
        PrintChoice missing = choice;
        missing.printer = QStringLiteral("no-such-queue");
        QVERIFY_THROWS_EXCEPTION(Failure, printing.printFile(missing, sheet, QStringLiteral("Quorbel")));

        // The job done, the printed PDF holds the sheet's text as text.
        const QByteArray done = QByteArray("quorbeltest-") + QByteArray::number(job) + ' ';
        const QStringList completed {QStringLiteral("-W"), QStringLiteral("completed"), QStringLiteral("-o"),
                                     QStringLiteral("quorbeltest")};
        QTRY_VERIFY_WITH_TIMEOUT(run(QStringLiteral("lpstat"), completed, cups.socket()).contains(done), 60'000);
        const QStringList printed =
            QDir(cups.path(QStringLiteral("out"))).entryList({QStringLiteral("*.pdf")}, QDir::Files);
        QCOMPARE(printed.size(), 1);
        const QByteArray text = run(QStringLiteral("pdftotext"),
                                    {cups.path(QStringLiteral("out/")) + printed.first(), QStringLiteral("-")},
                                    cups.socket());
        QVERIFY2(text.contains(kText.toUtf8()), text.constData());
        // The job as the scheduler logged it: its name and the copies.
        QFile pageLog(cups.path(QStringLiteral("log/page_log")));
        QVERIFY(pageLog.open(QIODevice::ReadOnly));
        const QByteArray logged = pageLog.readAll();
        QVERIFY2(logged.contains(QByteArray(" ") + QByteArray::number(job) + " [") && logged.contains(" total 2 ")
                     && logged.contains(" Quorbel "),
                 logged.constData());
        cupsSetServer(nullptr);
    }
    // The machine's CUPS set-up is as it was.
    QCOMPARE(sha256Of(machineConf), machineConfBefore);
    QCOMPARE(QFileInfo::exists(QStringLiteral("/root/PDF")), rootPdfBefore);
}

QTEST_MAIN(PrintingTest)
#include "test_printing.moc"
