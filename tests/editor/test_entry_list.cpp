// The to-do entries and their stored form ("ToDo").

#include "EntryList.h"

#include <QtTest>

using quorbel::decodeEntryList;
using quorbel::encodeEntryList;
using quorbel::ExtraEntryField;
using quorbel::ListEntry;

Q_DECLARE_METATYPE(QList<ListEntry>)

namespace {

QList<ListEntry> decode(const QString &stored, QList<ExtraEntryField> *extras = nullptr)
{
    QList<ListEntry> list;
    decodeEntryList(stored, list, [&](const ExtraEntryField &extra) {
        if (extras)
            extras->append(extra);
        else
            QFAIL(qPrintable(QStringLiteral("unexpected extra field \"%1\"").arg(extra.text)));
    });
    return list;
}

QString describe(const QList<ListEntry> &list)
{
    QStringList rows;
    for (const ListEntry &e : list)
        rows << QStringLiteral("(%1|%2|%3|%4)").arg(e.dueBy, e.project, e.notes, e.done);
    return rows.join(QLatin1Char(' '));
}

} // namespace

class TestEntryList : public QObject {
    Q_OBJECT

private slots:
    void encodesThePlainForm_data();
    void encodesThePlainForm();
    void decodesThePlainForm_data();
    void decodesThePlainForm();
    void decodeAppendsToTheList();
    void doneIsExactlyCapitalV();
    void reportsEachFieldBeyondTheFourth();
    void roundTripsSeparatorsAndTheEscape_data();
    void roundTripsSeparatorsAndTheEscape();
    void escapeAppearsOnlyWhereNeeded_data();
    void escapeAppearsOnlyWhereNeeded();
    void storedTextWithoutEscapeReadsAsPlainSplit_data();
    void storedTextWithoutEscapeReadsAsPlainSplit();
    void handlesListsBeyondSixteenBitCounters();
};

void TestEntryList::encodesThePlainForm_data()
{
    QTest::addColumn<QList<ListEntry>>("entries");
    QTest::addColumn<QString>("stored");

    QTest::newRow("empty list") << QList<ListEntry>{} << QString();
    QTest::newRow("one empty entry") << QList<ListEntry>{{}} << QStringLiteral("^^^");
    QTest::newRow("example of two entries")
        << QList<ListEntry>{{"a", "b", "c", "V"}, {"d", "e", "", ""}} << QStringLiteral("a^b^c^V|d^e^^");
    QTest::newRow("two empty entries") << QList<ListEntry>{{}, {}} << QStringLiteral("^^^|^^^");
    QTest::newRow("plain punctuation and non-ASCII kept")
        << QList<ListEntry>{{"3/7/2026", "Qualité, étape #2", "a=b; \"c\" / d", "v"}}
        << QStringLiteral("3/7/2026^Qualité, étape #2^a=b; \"c\" / d^v");
    QTest::newRow("lone backslash inside a text kept")
        << QList<ListEntry>{{"C:\\temp\\notes", "", "", ""}} << QStringLiteral("C:\\temp\\notes^^^");
}

void TestEntryList::encodesThePlainForm()
{
    QFETCH(QList<ListEntry>, entries);
    QFETCH(QString, stored);
    QCOMPARE(encodeEntryList(entries), stored);
}

void TestEntryList::decodesThePlainForm_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QList<ListEntry>>("entries");

    QTest::newRow("empty string") << QString() << QList<ListEntry>{};
    QTest::newRow("four empty fields") << QStringLiteral("^^^") << QList<ListEntry>{{}};
    QTest::newRow("due by only") << QStringLiteral("a") << QList<ListEntry>{{"a", "", "", ""}};
    QTest::newRow("trailing separator: not done") << QStringLiteral("a^b^c^") << QList<ListEntry>{{"a", "b", "c", ""}};
    QTest::newRow("two short records")
        << QStringLiteral("a^b|c^d") << QList<ListEntry>{{"a", "b", "", ""}, {"c", "d", "", ""}};
    QTest::newRow("stray separators at both ends")
        << QStringLiteral("|a^b^c^V|") << QList<ListEntry>{{"a", "b", "c", "V"}};
    QTest::newRow("doubled record separator")
        << QStringLiteral("a^^^||b^^^") << QList<ListEntry>{{"a", "", "", ""}, {"b", "", "", ""}};
    QTest::newRow("only separators") << QStringLiteral("|||") << QList<ListEntry>{};
    QTest::newRow("small v kept") << QStringLiteral("a^b^c^v") << QList<ListEntry>{{"a", "b", "c", "v"}};
    QTest::newRow("a lone field separator is one entry") << QStringLiteral("^") << QList<ListEntry>{{}};
    QTest::newRow("example of two entries")
        << QStringLiteral("a^b^c^V|d^e^^") << QList<ListEntry>{{"a", "b", "c", "V"}, {"d", "e", "", ""}};
}

void TestEntryList::decodesThePlainForm()
{
    QFETCH(QString, stored);
    QFETCH(QList<ListEntry>, entries);
    const QList<ListEntry> decoded = decode(stored);
    QCOMPARE(describe(decoded), describe(entries));
    QCOMPARE(decoded, entries);
}

void TestEntryList::decodeAppendsToTheList()
{
    QList<ListEntry> list{{"first", "", "", ""}};
    decodeEntryList(QStringLiteral("second^^^|third^^^V"), list);
    QCOMPARE(list.size(), 3);
    QCOMPARE(list.at(0).dueBy, QStringLiteral("first"));
    QCOMPARE(list.at(1).dueBy, QStringLiteral("second"));
    QCOMPARE(list.at(2).dueBy, QStringLiteral("third"));
    QVERIFY(list.at(2).isDone());
}

void TestEntryList::doneIsExactlyCapitalV()
{
    QVERIFY(ListEntry({"", "", "", "V"}).isDone());
    QVERIFY(!ListEntry({"", "", "", "v"}).isDone());
    QVERIFY(!ListEntry({"", "", "", "V "}).isDone());
    QVERIFY(!ListEntry({"", "", "", "VV"}).isDone());
    QVERIFY(!ListEntry({"", "", "", ""}).isDone());
}

void TestEntryList::reportsEachFieldBeyondTheFourth()
{
    // Two extra fields in the first record, one in the third; none in the second.
    QList<ExtraEntryField> extras;
    const QList<ListEntry> list = decode(QStringLiteral("a^b^c^V^x^y|d^e^f^|g^h^i^^z"), &extras);

    QCOMPARE(list, (QList<ListEntry>{{"a", "b", "c", "V"}, {"d", "e", "f", ""}, {"g", "h", "i", ""}}));
    QCOMPARE(extras.size(), 3);
    QCOMPARE(extras.at(0).text, QStringLiteral("x"));
    QCOMPARE(extras.at(0).entryNumber, 1);
    QCOMPARE(extras.at(0).fieldNumber, 5);
    QCOMPARE(extras.at(1).text, QStringLiteral("y"));
    QCOMPARE(extras.at(1).fieldNumber, 6);
    QCOMPARE(extras.at(2).text, QStringLiteral("z"));
    QCOMPARE(extras.at(2).entryNumber, 3);

    // An empty fifth field is a field too.
    extras.clear();
    QCOMPARE(decode(QStringLiteral("a^b^c^d^"), &extras).size(), 1);
    QCOMPARE(extras.size(), 1);
    QCOMPARE(extras.at(0).text, QString());

    // Without a report the extra fields are skipped all the same.
    QList<ListEntry> quiet;
    decodeEntryList(QStringLiteral("a^b^c^d^e^f"), quiet);
    QCOMPARE(quiet, (QList<ListEntry>{{"a", "b", "c", "d"}}));
}

void TestEntryList::roundTripsSeparatorsAndTheEscape_data()
{
    QTest::addColumn<QList<ListEntry>>("entries");

    QTest::newRow("field separator") << QList<ListEntry>{{"a^b", "^", "^^start", "end^"}};
    QTest::newRow("record separator") << QList<ListEntry>{{"a|b", "|", "||", "x|"}, {"next", "", "", "V"}};
    QTest::newRow("escape character alone") << QList<ListEntry>{{"\\", "\\\\", "a\\", "\\b"}};
    QTest::newRow("escape before separators")
        << QList<ListEntry>{{"\\^", "\\|", "\\\\^", "^\\"}, {"C:\\dir\\", "x\\|y", "", ""}};
    QTest::newRow("everything together")
        << QList<ListEntry>{{"|^\\", "\\|^", "^\\|", "V"}, {}, {"\\", "", "", ""}};
    QTest::newRow("an entry of separators only") << QList<ListEntry>{{"^", "^", "^", "|"}};
    QTest::newRow("plain texts") << QList<ListEntry>{{"7/3/2026", "Research", "Completed in Time", "V"},
                                                     {"20/3/2026", "Draft presenatation", "In process", ""}};
}

void TestEntryList::roundTripsSeparatorsAndTheEscape()
{
    QFETCH(QList<ListEntry>, entries);
    const QString stored = encodeEntryList(entries);
    const QList<ListEntry> decoded = decode(stored);
    QCOMPARE(describe(decoded), describe(entries));
    QCOMPARE(decoded, entries);
}

void TestEntryList::escapeAppearsOnlyWhereNeeded_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("stored");

    QTest::newRow("plain") << QStringLiteral("plain text") << QStringLiteral("plain text");
    QTest::newRow("field separator") << QStringLiteral("a^b") << QStringLiteral("a\\^b");
    QTest::newRow("record separator") << QStringLiteral("a|b") << QStringLiteral("a\\|b");
    QTest::newRow("backslash inside") << QStringLiteral("a\\b") << QStringLiteral("a\\b");
    QTest::newRow("backslash at the end") << QStringLiteral("dir\\") << QStringLiteral("dir\\\\");
    QTest::newRow("backslash before a separator") << QStringLiteral("a\\^") << QStringLiteral("a\\\\\\^");
    QTest::newRow("two backslashes") << QStringLiteral("\\\\x") << QStringLiteral("\\\\\\x");
}

void TestEntryList::escapeAppearsOnlyWhereNeeded()
{
    QFETCH(QString, text);
    QFETCH(QString, stored);
    QCOMPARE(quorbel::encodeEntryField(text), stored);
}

void TestEntryList::storedTextWithoutEscapeReadsAsPlainSplit_data()
{
    QTest::addColumn<QString>("stored");
    QTest::newRow("example") << QStringLiteral("a^b^c^V|d^e^^");
    QTest::newRow("stray separators") << QStringLiteral("||a^b^^|^^^|c||");
    QTest::newRow("long fields") << QStringLiteral("one two^three, four^five=six;^V|x^y^z^w");
}

void TestEntryList::storedTextWithoutEscapeReadsAsPlainSplit()
{
    // Reading as the separator form describes: split at "|", then at "^".
    QFETCH(QString, stored);
    QList<ListEntry> expected;
    for (const QString &record : stored.split(QLatin1Char('|'))) {
        if (record.isEmpty())
            continue;
        const QStringList fields = record.split(QLatin1Char('^'));
        ListEntry entry;
        entry.dueBy = fields.value(0);
        entry.project = fields.value(1);
        entry.notes = fields.value(2);
        entry.done = fields.value(3);
        expected.append(entry);
    }
    QCOMPARE(decode(stored), expected);
}

void TestEntryList::handlesListsBeyondSixteenBitCounters()
{
    QList<ListEntry> big;
    for (int i = 0; i < 40000; ++i)
        big.append({QString::number(i), QStringLiteral("p"), QString(), i % 2 ? QStringLiteral("V") : QString()});
    const QList<ListEntry> decoded = decode(encodeEntryList(big));
    QCOMPARE(decoded.size(), 40000);
    QCOMPARE(decoded.at(32767).dueBy, QStringLiteral("32767"));
    QCOMPARE(decoded.last().dueBy, QStringLiteral("39999"));
    QVERIFY(decoded.last().isDone());
}

QTEST_GUILESS_MAIN(TestEntryList)
#include "test_entry_list.moc"
