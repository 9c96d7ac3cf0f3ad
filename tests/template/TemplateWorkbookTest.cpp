// The template workbook as the program carries it: the bytes compiled into
// the program are the committed template.xls, and a program that cannot read
// them gets a failure it can report, not an empty workbook.

#include "Failure.h"
#include "TemplateWorkbook.h"

#include <QFile>
#include <QtTest>

class TemplateWorkbookTest : public QObject {
    Q_OBJECT

private slots:
    void embeddedBytesAreTheCommittedWorkbook();
    void missingResourceIsAFailure();
};

void TemplateWorkbookTest::embeddedBytesAreTheCommittedWorkbook()
{
    QFile committed(QStringLiteral(QUORBEL_TEMPLATE_FILE));
    QVERIFY2(committed.open(QIODevice::ReadOnly), qPrintable(committed.errorString()));
    const QByteArray expected = committed.readAll();
    QVERIFY(!expected.isEmpty());

    const QByteArray embedded = quorbel::templateWorkbookBytes();
    QCOMPARE(embedded.size(), expected.size());
    QVERIFY(embedded == expected);

    // A second read (the program reads it before every build) is the same.
    QVERIFY(quorbel::templateWorkbookBytes() == expected);
}

void TemplateWorkbookTest::missingResourceIsAFailure()
{
    // Registered once, on first use.
    QVERIFY(!quorbel::templateWorkbookBytes().isEmpty());

    Q_CLEANUP_RESOURCE(templateworkbook);
    bool failed = false;
    try {
        quorbel::templateWorkbookBytes();
    } catch (const quorbel::Failure &failure) {
        failed = true;
        QVERIFY(failure.description().contains(QLatin1String("template workbook")));
    }
    Q_INIT_RESOURCE(templateworkbook);
    QVERIFY2(failed, "reading a missing template gave no failure");

    QVERIFY(!quorbel::templateWorkbookBytes().isEmpty());
}

QTEST_GUILESS_MAIN(TemplateWorkbookTest)
#include "TemplateWorkbookTest.moc"
