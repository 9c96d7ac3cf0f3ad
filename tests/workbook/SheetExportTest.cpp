// The sheet exporter against an in-memory spreadsheet application: every way
// a conversion can fail or be cancelled ends its instance and leaves nothing
// at the target; targets and workbooks it must not touch are refused before
// an office is asked for. And the A1 references its page set-up uses.

#include "A1Reference.h"
#include "FakeSpreadsheet.h"
#include "OfficeSheetExporter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

using namespace quorbel;
using namespace quorbel::test;

Q_DECLARE_METATYPE(quorbel::SheetFormat)
Q_DECLARE_METATYPE(quorbel::InstanceLoss)

namespace {

constexpr QSizeF kA4 {210, 297};

// How a run ended: "done", "cancelled", "failure" or "lost <loss>".
QString outcomeOf(const std::function<void()> &run)
{
    try {
        run();
        return QStringLiteral("done");
    } catch (const Cancelled &) {
        return QStringLiteral("cancelled");
    } catch (const InstanceFailure &failure) {
        return QStringLiteral("lost %1").arg(int(failure.loss()));
    } catch (const Failure &) {
        return QStringLiteral("failure");
    }
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class SheetExportTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(m_folder.isValid());
        m_workbook = m_folder.filePath(QStringLiteral("vantyk12345678.xls"));
        m_target = m_folder.filePath(QStringLiteral("saved.part"));
        QFile::remove(m_target);
        QVERIFY(writeFile(m_workbook, "the scratch workbook"));
        m_world = newWorld();
    }

    // A conversion that fails or is cancelled at any step: the instance is
    // ended, nothing is at the target (also where a file of the user's own
    // was), the workbook is as it was, and a lost instance comes out as the
    // loss it was.
    void failuresLeaveNothing_data()
    {
        QTest::addColumn<SheetFormat>("format");
        QTest::addColumn<QString>("failOn");
        QTest::addColumn<QString>("loseOn");
        QTest::addColumn<InstanceLoss>("loss");
        QTest::addColumn<QString>("cancelOn");
        QTest::addColumn<bool>("startFails");
        QTest::addColumn<QString>("outcome");
        const auto lost = [](InstanceLoss loss) { return QStringLiteral("lost %1").arg(int(loss)); };
        QTest::newRow("no office") << SheetFormat::Pdf << "" << "" << InstanceLoss::None << "" << true
                                   << lost(InstanceLoss::NotStarted);
        QTest::newRow("workbook not opened") << SheetFormat::Xlsx << "Open" << "" << InstanceLoss::None << "" << false
                                             << "failure";
        QTest::newRow("crash while storing .xlsx")
            << SheetFormat::Xlsx << "" << "SaveAs" << InstanceLoss::Ended << "" << false << lost(InstanceLoss::Ended);
        QTest::newRow("hang while storing .ods")
            << SheetFormat::Ods << "" << "SaveAs" << InstanceLoss::Hung << "" << false << lost(InstanceLoss::Hung);
        QTest::newRow("paper refused") << SheetFormat::Pdf << "PageSetup.PaperSize" << "" << InstanceLoss::None << ""
                                       << false << "failure";
        QTest::newRow("crash while exporting PDF") << SheetFormat::Pdf << "" << "ExportAsFixedFormat"
                                                   << InstanceLoss::Ended << "" << false << lost(InstanceLoss::Ended);
        QTest::newRow("cancelled while opening") << SheetFormat::Ods << "" << "" << InstanceLoss::None << "Open"
                                                 << false << "cancelled";
        QTest::newRow("cancelled during the page set-up")
            << SheetFormat::Pdf << "" << "" << InstanceLoss::None << "PageSetup.PrintTitleRows" << false << "cancelled";
    }
    void failuresLeaveNothing()
    {
        QFETCH(SheetFormat, format);
        QFETCH(QString, failOn);
        QFETCH(QString, loseOn);
        QFETCH(InstanceLoss, loss);
        QFETCH(QString, cancelOn);
        QFETCH(bool, startFails);
        QFETCH(QString, outcome);

        for (const bool targetThere : {false, true}) {
            m_world = newWorld();
            m_world->failOn = failOn;
            m_world->loseOn = loseOn;
            m_world->loss = loss;
            if (startFails)
                m_world->failingCreations = {1};
            CancellationToken cancel;
            m_world->onCall = [&](const QString &line) {
                if (!cancelOn.isEmpty() && line.startsWith(cancelOn))
                    cancel.cancel();
            };
            if (targetThere)
                QVERIFY(writeFile(m_target, "an earlier try"));

            FakeOffices offices([world = m_world] { return makeFakeApplication(world); });
            OfficeSheetExporter exporter(offices);
            QCOMPARE(outcomeOf([&] { exporter.exportWorkbook(m_workbook, format, m_target, kA4, &cancel); }), outcome);
            QVERIFY2(!QFile::exists(m_target), qPrintable(m_world->log.join(QLatin1Char('\n'))));
            // Nor anything else beside it.
            QCOMPARE(QDir(m_folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                     QStringList {QFileInfo(m_workbook).fileName()});
            QCOMPARE(m_world->applicationsAlive, 0);
            QCOMPARE(m_world->applicationsCreated, startFails ? 0 : 1);
            QCOMPARE(readFile(m_workbook), QByteArray("the scratch workbook"));
            // Nothing is written out once the run is cancelled.
            if (!cancelOn.isEmpty()) {
                QVERIFY(m_world->log.filter(QStringLiteral("SaveAs")).isEmpty());
                QVERIFY(m_world->log.filter(QStringLiteral("ExportAsFixedFormat")).isEmpty());
            }
        }
    }

    // What the exporter must not write through or over is refused before
    // any office is asked for, and left as it was.
    void refusedFilesAreLeftAlone_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("target is a link") << "target link";
        QTest::newRow("target is a folder") << "target folder";
        QTest::newRow("target is the workbook") << "target workbook";
        QTest::newRow("workbook is a link") << "workbook link";
        QTest::newRow("workbook is missing") << "workbook missing";
    }
    void refusedFilesAreLeftAlone()
    {
        QFETCH(QString, kind);
        const QString other = m_folder.filePath(QStringLiteral("other"));
        QVERIFY(writeFile(other, "someone's file"));
        QString workbook = m_workbook;
        QString target = m_target;
        if (kind == QLatin1String("target link"))
            QVERIFY(QFile::link(other, target));
        else if (kind == QLatin1String("target folder"))
            QVERIFY(QDir().mkpath(target));
        else if (kind == QLatin1String("target workbook"))
            target = m_workbook;
        else if (kind == QLatin1String("workbook link"))
            QVERIFY(QFile::link(m_workbook, workbook = m_folder.filePath(QStringLiteral("link.xls"))));
        else
            workbook = m_folder.filePath(QStringLiteral("gone.xls"));

        FakeOffices offices([world = m_world] { return makeFakeApplication(world); });
        OfficeSheetExporter exporter(offices);
        for (const SheetFormat format : {SheetFormat::Xls, SheetFormat::Xlsx, SheetFormat::Pdf})
            QCOMPARE(outcomeOf([&] { exporter.exportWorkbook(workbook, format, target, kA4); }), QStringLiteral("failure"));
        QCOMPARE(m_world->applicationsCreated, 0);
        QCOMPARE(readFile(other), QByteArray("someone's file"));
        QCOMPARE(readFile(m_workbook), QByteArray("the scratch workbook"));
        QCOMPARE(QFileInfo(target).isDir(), kind == QLatin1String("target folder"));
        QDir(m_target).removeRecursively();
        QFile::remove(m_target);
        QFile::remove(m_folder.filePath(QStringLiteral("link.xls")));
    }

    void a1References_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("read");  // the block read back in absolute form; empty: refused
        QTest::newRow("title rows") << "$1:$5" << "$1:$5";
        QTest::newRow("one row") << "7" << "$7:$7";
        QTest::newRow("block") << "$B$1:$G$20" << "$B$1:$G$20";
        QTest::newRow("relative, lower case, blanks") << " b1:g20 " << "$B$1:$G$20";
        QTest::newRow("corners reversed") << "G20:B1" << "$B$1:$G$20";
        QTest::newRow("one cell") << "C5" << "$C$5";
        QTest::newRow("last cell of a sheet") << "$XFD$1048576" << "$XFD$1048576";
        QTest::newRow("column beyond the sheet") << "XFE1" << "";
        QTest::newRow("row beyond the sheet") << "1:1048577" << "";
        QTest::newRow("row 0") << "A0" << "";
        QTest::newRow("unfinished") << "A1:" << "";
        QTest::newRow("mixed") << "A1:5" << "";
        QTest::newRow("empty") << "" << "";
    }
    void a1References()
    {
        QFETCH(QString, text);
        QFETCH(QString, read);
        const std::optional<xl::CellBlock> block = xl::readA1Reference(text);
        QCOMPARE(block ? xl::a1Reference(*block) : QString(), read);
        if (block)
            QCOMPARE(xl::readA1Reference(xl::a1Reference(*block)), block);
        QCOMPARE(xl::columnLetters(28), QStringLiteral("AB"));
    }

private:
    // A workbook with the template's heading and three entries: used from
    // B1 to G8.
    static std::shared_ptr<FakeWorld> newWorld()
    {
        auto world = std::make_shared<FakeWorld>();
        world->templateSheet.cells[{1, 2}] = QStringLiteral("To-do list");
        for (int row = 6; row <= 8; ++row)
            world->templateSheet.rowStyle[row] = QStringLiteral("entry");
        return world;
    }

    QTemporaryDir m_folder;
    QString m_workbook;
    QString m_target;
    std::shared_ptr<FakeWorld> m_world;
};

QTEST_GUILESS_MAIN(SheetExportTest)
#include "SheetExportTest.moc"
