// The to-do entries, their stored form ("ToDo"), the list's model and its
// changes.

#include "EntryList.h"
#include "EntryListModel.h"
#include "ListChanges.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using namespace quorbel;
using quorbel::decodeEntryList;
using quorbel::encodeEntryList;
using quorbel::ExtraEntryField;
using quorbel::ListEntry;
using quorbel::kFieldSeparator;
using quorbel::kRecordSeparator;
using namespace Qt::Literals::StringLiterals;

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

// Header fields held as plain values.
class PlainHeader final : public HeaderFields {
public:
    HeaderValues values;
    HeaderValues headerValues() const override { return values; }
    void setHeaderValues(const HeaderValues &v) override { values = v; }
};

QStringList projects(const EntryListModel &model)
{
    QStringList texts;
    for (int row = 0; row < model.rowCount(); ++row)
        texts << model.index(row, int(EntryField::Project)).data().toString();
    return texts;
}

QList<int> shownRows(QSignalSpy &spy)
{
    QList<int> rows;
    for (const QList<QVariant> &signal : std::as_const(spy))
        rows << signal.at(0).toInt();
    spy.clear();
    return rows;
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
    void plainFormIsStoredBackByteForByte_data();
    void plainFormIsStoredBackByteForByte();
    void shortRecordsWithBackslashesReadPlainly_data();
    void shortRecordsWithBackslashesReadPlainly();
    void roundTripsSeparatorsAndBackslashes_data();
    void roundTripsSeparatorsAndBackslashes();
    void separatorsAreStoredAsStandIns_data();
    void separatorsAreStoredAsStandIns();
    void storedTextReadsAsPlainSplit_data();
    void storedTextReadsAsPlainSplit();
    void readsTheEarlierBackslashForm_data();
    void readsTheEarlierBackslashForm();
    void handlesListsBeyondSixteenBitCounters();
    void modelShowsTheEntries();
    void changesOnTheModel_data();
    void changesOnTheModel();
    void sortByDueDate_data();
    void sortByDueDate();
};

void TestEntryList::encodesThePlainForm_data()
{
    QTest::addColumn<QList<ListEntry>>("entries");
    QTest::addColumn<QString>("stored");

    QTest::newRow("empty list") << QList<ListEntry>{} << QString();
    QTest::newRow("one empty entry") << QList<ListEntry>{{}} << QStringLiteral("^^^");
    QTest::newRow("example of two entries")
        << QList<ListEntry>{{u"a"_s, u"b"_s, u"c"_s, u"V"_s}, {u"d"_s, u"e"_s, u""_s, u""_s}} << QStringLiteral("a^b^c^V|d^e^^");
    QTest::newRow("two empty entries") << QList<ListEntry>{{}, {}} << QStringLiteral("^^^|^^^");
    QTest::newRow("plain punctuation and non-ASCII kept")
        << QList<ListEntry>{{u"3/7/2026"_s, u"Qualité, étape #2"_s, u"a=b; \"c\" / d"_s, u"v"_s}}
        << QStringLiteral("3/7/2026^Qualité, étape #2^a=b; \"c\" / d^v");
    QTest::newRow("lone backslash inside a text kept")
        << QList<ListEntry>{{u"C:\\temp\\notes"_s, u""_s, u""_s, u""_s}} << QStringLiteral("C:\\temp\\notes^^^");
    QTest::newRow("backslash at the end of a field")
        << QList<ListEntry>{{u"a"_s, u"b"_s, u"C:\\temp\\"_s, u"V"_s}} << QStringLiteral("a^b^C:\\temp\\^V");
    QTest::newRow("doubled backslashes")
        << QList<ListEntry>{{u"\\\\srv\\share"_s, u"p"_s, u"n"_s, u""_s}} << QStringLiteral("\\\\srv\\share^p^n^");
    QTest::newRow("backslash in every field, before every separator")
        << QList<ListEntry>{{u"\\"_s, u"\\"_s, u"\\"_s, u"\\"_s}, {u"x\\"_s, u""_s, u""_s, u""_s}}
        << QStringLiteral("\\^\\^\\^\\|x\\^^^");
    QTest::newRow("a done mark with a backslash is kept") << QList<ListEntry>{{u""_s, u""_s, u""_s, u"V\\"_s}}
                                                          << QStringLiteral("^^^V\\");
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
    QTest::newRow("due by only") << QStringLiteral("a") << QList<ListEntry>{{u"a"_s, u""_s, u""_s, u""_s}};
    QTest::newRow("trailing separator: not done") << QStringLiteral("a^b^c^") << QList<ListEntry>{{u"a"_s, u"b"_s, u"c"_s, u""_s}};
    QTest::newRow("two short records")
        << QStringLiteral("a^b|c^d") << QList<ListEntry>{{u"a"_s, u"b"_s, u""_s, u""_s}, {u"c"_s, u"d"_s, u""_s, u""_s}};
    QTest::newRow("stray separators at both ends")
        << QStringLiteral("|a^b^c^V|") << QList<ListEntry>{{u"a"_s, u"b"_s, u"c"_s, u"V"_s}};
    QTest::newRow("doubled record separator")
        << QStringLiteral("a^^^||b^^^") << QList<ListEntry>{{u"a"_s, u""_s, u""_s, u""_s}, {u"b"_s, u""_s, u""_s, u""_s}};
    QTest::newRow("only separators") << QStringLiteral("|||") << QList<ListEntry>{};
    QTest::newRow("small v kept") << QStringLiteral("a^b^c^v") << QList<ListEntry>{{u"a"_s, u"b"_s, u"c"_s, u"v"_s}};
    QTest::newRow("a lone field separator is one entry") << QStringLiteral("^") << QList<ListEntry>{{}};
    QTest::newRow("example of two entries")
        << QStringLiteral("a^b^c^V|d^e^^") << QList<ListEntry>{{u"a"_s, u"b"_s, u"c"_s, u"V"_s}, {u"d"_s, u"e"_s, u""_s, u""_s}};
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
    QList<ListEntry> list{{u"first"_s, u""_s, u""_s, u""_s}};
    decodeEntryList(QStringLiteral("second^^^|third^^^V"), list);
    QCOMPARE(list.size(), 3);
    QCOMPARE(list.at(0).dueBy, QStringLiteral("first"));
    QCOMPARE(list.at(1).dueBy, QStringLiteral("second"));
    QCOMPARE(list.at(2).dueBy, QStringLiteral("third"));
    QVERIFY(list.at(2).isDone());
}

void TestEntryList::doneIsExactlyCapitalV()
{
    QVERIFY(ListEntry({u""_s, u""_s, u""_s, u"V"_s}).isDone());
    QVERIFY(!ListEntry({u""_s, u""_s, u""_s, u"v"_s}).isDone());
    QVERIFY(!ListEntry({u""_s, u""_s, u""_s, u"V "_s}).isDone());
    QVERIFY(!ListEntry({u""_s, u""_s, u""_s, u"VV"_s}).isDone());
    QVERIFY(!ListEntry({u""_s, u""_s, u""_s, u""_s}).isDone());
}

void TestEntryList::reportsEachFieldBeyondTheFourth()
{
    // Two extra fields in the first record, one in the third; none in the second.
    QList<ExtraEntryField> extras;
    const QList<ListEntry> list = decode(QStringLiteral("a^b^c^V^x^y|d^e^f^|g^h^i^^z"), &extras);

    QCOMPARE(list, (QList<ListEntry>{{u"a"_s, u"b"_s, u"c"_s, u"V"_s}, {u"d"_s, u"e"_s, u"f"_s, u""_s}, {u"g"_s, u"h"_s, u"i"_s, u""_s}}));
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
    QCOMPARE(quiet, (QList<ListEntry>{{u"a"_s, u"b"_s, u"c"_s, u"d"_s}}));
}

void TestEntryList::plainFormIsStoredBackByteForByte_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QList<ListEntry>>("entries");

    QTest::newRow("backslash before the done mark")
        << QStringLiteral("a^b^C:\\temp\\^V") << QList<ListEntry>{{u"a"_s, u"b"_s, u"C:\\temp\\"_s, u"V"_s}};
    QTest::newRow("network path")
        << QStringLiteral("\\\\srv\\share^p^n^") << QList<ListEntry>{{u"\\\\srv\\share"_s, u"p"_s, u"n"_s, u""_s}};
    QTest::newRow("backslash before every separator")
        << QStringLiteral("a\\^b\\^c\\^d\\|e^f^g^h")
        << QList<ListEntry>{{u"a\\"_s, u"b\\"_s, u"c\\"_s, u"d\\"_s}, {u"e"_s, u"f"_s, u"g"_s, u"h"_s}};
    QTest::newRow("backslash after every separator")
        << QStringLiteral("a^\\b^\\\\c^\\|\\d^^^")
        << QList<ListEntry>{{u"a"_s, u"\\b"_s, u"\\\\c"_s, u"\\"_s}, {u"\\d"_s, u""_s, u""_s, u""_s}};
    QTest::newRow("what the earlier form wrote for a field ending in a backslash")
        << QStringLiteral("C:\\\\^p^^") << QList<ListEntry>{{u"C:\\\\"_s, u"p"_s, u""_s, u""_s}};
    QTest::newRow("fields of backslashes only")
        << QStringLiteral("\\^\\\\^\\\\\\^\\\\\\\\") << QList<ListEntry>{{u"\\"_s, u"\\\\"_s, u"\\\\\\"_s, u"\\\\\\\\"_s}};
    QTest::newRow("punctuation, quotes and non-ASCII")
        << QStringLiteral("7.3.2026^Qualit\u00e9 \"A\"^a=b; c,d^V|^^^")
        << QList<ListEntry>{{u"7.3.2026"_s, u"Qualit\u00e9 \"A\""_s, u"a=b; c,d"_s, u"V"_s}, {}};
    QTest::newRow("the example") << QStringLiteral("a^b^c^V|d^e^^")
                                 << QList<ListEntry>{{u"a"_s, u"b"_s, u"c"_s, u"V"_s}, {u"d"_s, u"e"_s, u""_s, u""_s}};
}

void TestEntryList::plainFormIsStoredBackByteForByte()
{
    // A list in the plain form whose texts hold no "^" and no "|" reads as
    // exactly its split, and is stored back unchanged.
    QFETCH(QString, stored);
    QFETCH(QList<ListEntry>, entries);
    const QList<ListEntry> decoded = decode(stored);
    QCOMPARE(describe(decoded), describe(entries));
    QCOMPARE(decoded, entries);
    QCOMPARE(encodeEntryList(decoded), stored);
}

void TestEntryList::shortRecordsWithBackslashesReadPlainly_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QList<ListEntry>>("entries");
    QTest::addColumn<QString>("storedBack");

    QTest::newRow("short records")
        << QStringLiteral("x\\^y|z\\\\") << QList<ListEntry>{{u"x\\"_s, u"y"_s, u""_s, u""_s}, {u"z\\\\"_s, u""_s, u""_s, u""_s}}
        << QStringLiteral("x\\^y^^|z\\\\^^^");
    QTest::newRow("escape-like pairs that the earlier form cannot explain")
        << QStringLiteral("a\\^b^c") << QList<ListEntry>{{u"a\\"_s, u"b"_s, u"c"_s, u""_s}} << QStringLiteral("a\\^b^c^");
    QTest::newRow("backslash alone") << QStringLiteral("\\") << QList<ListEntry>{{u"\\"_s, u""_s, u""_s, u""_s}}
                                     << QStringLiteral("\\^^^");
}

void TestEntryList::shortRecordsWithBackslashesReadPlainly()
{
    // Short records get their missing fields when stored back; that form
    // then stays as it is.
    QFETCH(QString, stored);
    QFETCH(QList<ListEntry>, entries);
    QFETCH(QString, storedBack);
    const QList<ListEntry> decoded = decode(stored);
    QCOMPARE(describe(decoded), describe(entries));
    QCOMPARE(encodeEntryList(decoded), storedBack);
    QCOMPARE(decode(storedBack), entries);
    QCOMPARE(encodeEntryList(decode(storedBack)), storedBack);
}

void TestEntryList::roundTripsSeparatorsAndBackslashes_data()
{
    QTest::addColumn<QList<ListEntry>>("entries");

    QTest::newRow("field separator") << QList<ListEntry>{{u"a^b"_s, u"^"_s, u"^^start"_s, u"end^"_s}};
    QTest::newRow("record separator") << QList<ListEntry>{{u"a|b"_s, u"|"_s, u"||"_s, u"x|"_s}, {u"next"_s, u""_s, u""_s, u"V"_s}};
    QTest::newRow("backslash alone") << QList<ListEntry>{{u"\\"_s, u"\\\\"_s, u"a\\"_s, u"\\b"_s}};
    QTest::newRow("backslash before separators")
        << QList<ListEntry>{{u"\\^"_s, u"\\|"_s, u"\\\\^"_s, u"^\\"_s}, {u"C:\\dir\\"_s, u"x\\|y"_s, u""_s, u""_s}};
    QTest::newRow("everything together")
        << QList<ListEntry>{{u"|^\\"_s, u"\\|^"_s, u"^\\|"_s, u"V"_s}, {}, {u"\\"_s, u""_s, u""_s, u""_s}};
    QTest::newRow("an entry of separators only") << QList<ListEntry>{{u"^"_s, u"^"_s, u"^"_s, u"|"_s}};
    QTest::newRow("what the earlier form wrote, typed as text")
        << QList<ListEntry>{{u"a\\^b"_s, u"\\\\"_s, u"c\\|d"_s, u""_s}, {u"x"_s, u"y"_s, u"z"_s, u"V"_s}};
    QTest::newRow("plain texts") << QList<ListEntry>{{u"7/3/2026"_s, u"Research"_s, u"Completed in Time"_s, u"V"_s},
                                                     {u"20/3/2026"_s, u"Draft presenatation"_s, u"In process"_s, u""_s}};
}

void TestEntryList::roundTripsSeparatorsAndBackslashes()
{
    QFETCH(QList<ListEntry>, entries);
    const QString stored = encodeEntryList(entries);
    // Always the plain shape: three "^" per entry, one "|" between entries.
    QCOMPARE(stored.count(kFieldSeparator), 3 * entries.size());
    QCOMPARE(stored.count(kRecordSeparator), entries.size() - 1);
    const QList<ListEntry> decoded = decode(stored);
    QCOMPARE(describe(decoded), describe(entries));
    QCOMPARE(decoded, entries);
}

void TestEntryList::separatorsAreStoredAsStandIns_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("stored");

    QTest::newRow("plain") << QStringLiteral("plain text") << QStringLiteral("plain text");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("field separator") << QStringLiteral("a^b") << QStringLiteral("a\uE05Eb");
    QTest::newRow("record separator") << QStringLiteral("a|b") << QStringLiteral("a\uE07Cb");
    QTest::newRow("both, repeated") << QStringLiteral("^|^|") << QStringLiteral("\uE05E\uE07C\uE05E\uE07C");
    QTest::newRow("backslash inside") << QStringLiteral("a\\b") << QStringLiteral("a\\b");
    QTest::newRow("backslash at the end") << QStringLiteral("dir\\") << QStringLiteral("dir\\");
    QTest::newRow("backslash before a separator") << QStringLiteral("a\\^") << QStringLiteral("a\\\uE05E");
    QTest::newRow("two backslashes") << QStringLiteral("\\\\x") << QStringLiteral("\\\\x");
    QTest::newRow("other private use characters") << QStringLiteral("\uE000\uE05D\uE07D")
                                                  << QStringLiteral("\uE000\uE05D\uE07D");
}

void TestEntryList::separatorsAreStoredAsStandIns()
{
    QFETCH(QString, text);
    QFETCH(QString, stored);
    QCOMPARE(quorbel::encodeEntryField(text), stored);
    QCOMPARE(quorbel::decodeEntryField(stored), text);
}

void TestEntryList::storedTextReadsAsPlainSplit_data()
{
    QTest::addColumn<QString>("stored");
    QTest::newRow("example") << QStringLiteral("a^b^c^V|d^e^^");
    QTest::newRow("stray separators") << QStringLiteral("||a^b^^|^^^|c||");
    QTest::newRow("long fields") << QStringLiteral("one two^three, four^five=six;^V|x^y^z^w");
    QTest::newRow("backslashes in four-field records") << QStringLiteral("\\^\\^\\^\\|a\\^b\\^c\\^d\\");
    QTest::newRow("backslashes in short records") << QStringLiteral("a\\\\b|c\\^d|\\");
    QTest::newRow("a backslash escape that cannot be the earlier form") << QStringLiteral("a\\^b^c");
}

void TestEntryList::storedTextReadsAsPlainSplit()
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
    QCOMPARE(describe(decode(stored)), describe(expected));
}

void TestEntryList::readsTheEarlierBackslashForm_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QList<ListEntry>>("entries");

    QTest::newRow("escaped field separator")
        << QStringLiteral("a\\^b^p^n^") << QList<ListEntry>{{u"a^b"_s, u"p"_s, u"n"_s, u""_s}};
    QTest::newRow("escaped record separator")
        << QStringLiteral("a\\|b^p^n^V") << QList<ListEntry>{{u"a|b"_s, u"p"_s, u"n"_s, u"V"_s}};
    QTest::newRow("doubled backslash before an escaped separator")
        << QStringLiteral("x\\\\\\^y^^^") << QList<ListEntry>{{u"x\\^y"_s, u""_s, u""_s, u""_s}};
    QTest::newRow("one escaped entry among plain ones")
        << QStringLiteral("first^^^|a\\|b^\\^^c\\\\^V|last^x^y^")
        << QList<ListEntry>{{u"first"_s, u""_s, u""_s, u""_s}, {u"a|b"_s, u"^"_s, u"c\\"_s, u"V"_s}, {u"last"_s, u"x"_s, u"y"_s, u""_s}};
    QTest::newRow("a lone backslash stays itself")
        << QStringLiteral("C:\\dir\\^x^p^q^") << QList<ListEntry>{{u"C:\\dir^x"_s, u"p"_s, u"q"_s, u""_s}};
    // Of the two readings the one with four fields in every record wins,
    // also against a hand-made short record.
    QTest::newRow("escaped record separator before a short record")
        << QStringLiteral("a^b^c^d\\|e") << QList<ListEntry>{{u"a"_s, u"b"_s, u"c"_s, u"d|e"_s}};
}

void TestEntryList::readsTheEarlierBackslashForm()
{
    // The plain reading of these has a record with other than four fields,
    // which this program never writes; the backslash reading gives four
    // fields in every record.
    QFETCH(QString, stored);
    QFETCH(QList<ListEntry>, entries);
    const QList<ListEntry> decoded = decode(stored);
    QCOMPARE(describe(decoded), describe(entries));
    QCOMPARE(decoded, entries);
    // Stored again in today's form, it reads the same.
    QCOMPARE(decode(encodeEntryList(decoded)), entries);
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

void TestEntryList::modelShowsTheEntries()
{
    EntryListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.insertEntries(5, {{u"a"_s, u"b"_s, u"c"_s, u"V"_s}, {u"d"_s, {}, {}, u"v"_s}});
    model.insertEntries(0, {{u"first"_s, {}, {}, {}}});

    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.columnCount(), 4);
    const QStringList captions = {u"Due By"_s, u"Project"_s, u"Notes"_s, u"Done"_s};
    for (int column = 0; column < 4; ++column) {
        QCOMPARE(model.headerData(column, Qt::Horizontal).toString(), captions.at(column));
        // Text cells are edited in place; the Done cell has no editor.
        QCOMPARE(bool(model.flags(model.index(0, column)) & Qt::ItemIsEditable), column != int(EntryField::Done));
        QVERIFY(model.flags(model.index(0, column)) & Qt::ItemIsSelectable);
    }
    QCOMPARE(model.index(1, 2).data().toString(), u"c"_s);
    QCOMPARE(model.index(1, 3).data(Qt::EditRole).toString(), u"V"_s);
    QCOMPARE(model.index(2, 3).data().toString(), u"v"_s);
    QVERIFY(!model.entry(2).isDone());
    QCOMPARE(model.entry(0).dueBy, u"first"_s);
    QCOMPARE(model.entry(7), ListEntry());
    // Nothing is written through the view's way of editing.
    QVERIFY(!model.setData(model.index(0, 0), u"x"_s));
    QCOMPARE(model.entry(0).dueBy, u"first"_s);
}

void TestEntryList::changesOnTheModel_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QStringList>("after"); // the projects, in list order
    QTest::addColumn<QList<int>>("made");   // the rows the change shows when made
    QTest::addColumn<QList<int>>("undone"); // ... when undone
    QTest::addColumn<QList<int>>("redone"); // ... when redone

    const QStringList start = {u"Roof"_s, u"Garden"_s, u"Tax"_s, u"Car"_s};
    QTest::newRow("Add") << "add" << (start + QStringList{u"New"_s}) << QList<int>{} << QList<int>{}
                         << QList<int>{4};
    QTest::newRow("Delete") << "delete" << QStringList{u"Roof"_s, u"Tax"_s, u"Car"_s} << QList<int>{}
                            << QList<int>{1} << QList<int>{};
    QTest::newRow("Edit") << "edit" << QStringList{u"Roof"_s, u"Shed"_s, u"Tax"_s, u"Car"_s} << QList<int>{1}
                          << QList<int>{1} << QList<int>{1};
    QTest::newRow("Move Up") << "up" << QStringList{u"Garden"_s, u"Roof"_s, u"Tax"_s, u"Car"_s} << QList<int>{0}
                             << QList<int>{1} << QList<int>{0};
    QTest::newRow("Move Down") << "down" << QStringList{u"Roof"_s, u"Tax"_s, u"Garden"_s, u"Car"_s}
                               << QList<int>{2} << QList<int>{1} << QList<int>{2};
    // Oldest first; "soon" is no date and goes last.
    QTest::newRow("Sort") << "sort" << QStringList{u"Tax"_s, u"Roof"_s, u"Car"_s, u"Garden"_s} << QList<int>{}
                          << QList<int>{} << QList<int>{};
    QTest::newRow("Sample") << "sample" << (start + QStringList{u"Research"_s, u"Draft"_s}) << QList<int>{}
                            << QList<int>{} << QList<int>{4};
}

// Each change made, undone and redone on a model that its tester watches:
// the entries, the rows shown, and an index held on an entry that stays on
// it (as a view's current and selected rows do).
void TestEntryList::changesOnTheModel()
{
    QFETCH(QString, change);
    QFETCH(QStringList, after);
    QFETCH(QList<int>, made);
    QFETCH(QList<int>, undone);
    QFETCH(QList<int>, redone);

    EntryListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.insertEntries(0, {{u"3/20/2026"_s, u"Roof"_s, u"call the builder"_s, {}},
                            {u"soon"_s, u"Garden"_s, u"seeds"_s, u"V"_s},
                            {u"3/7/2026"_s, u"Tax"_s, u"forms"_s, {}},
                            {u"1/5/2027"_s, u"Car"_s, u"tyres"_s, {}}});
    const QList<ListEntry> before = model.entries();
    PlainHeader header;
    header.values = {QDate(2026, 3, 12), u"Ann"_s, u"House"_s};
    const HeaderValues sampleHeader = {QDate(2026, 3, 31), u"Me"_s, u"Development project"_s};
    QSignalSpy shown(&model, &EntryListModel::entryShown);
    const QPersistentModelIndex roof = model.index(0, int(EntryField::Notes));
    const auto roofStaysOnItsEntry = [&] {
        QVERIFY(roof.isValid());
        QCOMPARE(roof.column(), int(EntryField::Notes));
        QCOMPARE(model.entry(roof.row()).project, u"Roof"_s);
    };

    std::unique_ptr<ListChange> made_;
    if (change == QLatin1String("add"))
        made_ = std::make_unique<InsertEntries>(model, 4, QList<ListEntry>{{u"x"_s, u"New"_s, {}, {}}});
    else if (change == QLatin1String("delete"))
        made_ = std::make_unique<RemoveEntries>(model, 1, QList<ListEntry>{model.entry(1)});
    else if (change == QLatin1String("edit"))
        made_ = std::make_unique<SetEntryField>(model, 1, EntryField::Project, u"Garden"_s, u"Shed"_s);
    else if (change == QLatin1String("up"))
        made_ = std::make_unique<MoveEntry>(model, 1, 0);
    else if (change == QLatin1String("down"))
        made_ = std::make_unique<MoveEntry>(model, 1, 2);
    else if (change == QLatin1String("sort"))
        made_ = std::make_unique<SortByDueDate>(model, QLocale(QLocale::English, QLocale::UnitedStates));
    else if (change == QLatin1String("sample"))
        made_ = std::make_unique<LoadSample>(model, header, 4,
                                             QList<ListEntry>{{u"3/7/2026"_s, u"Research"_s, {}, u"V"_s},
                                                              {u"3/20/2026"_s, u"Draft"_s, {}, {}}},
                                             header.values, sampleHeader);
    QVERIFY(made_);
    QVERIFY(!made_->isObsolete());

    made_->redo();
    QCOMPARE(projects(model), after);
    QCOMPARE(shownRows(shown), made);
    roofStaysOnItsEntry();
    if (change == QLatin1String("sample"))
        QCOMPARE(header.values, sampleHeader);

    made_->undo();
    QCOMPARE(model.entries(), before);
    QCOMPARE(shownRows(shown), undone);
    roofStaysOnItsEntry();
    QCOMPARE(header.values, (HeaderValues{QDate(2026, 3, 12), u"Ann"_s, u"House"_s}));

    made_->redo();
    QCOMPARE(projects(model), after);
    QCOMPARE(shownRows(shown), redone);
    roofStaysOnItsEntry();
}

void TestEntryList::sortByDueDate_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QStringList>("dueBy");
    QTest::addColumn<QStringList>("sorted");

    // A two-digit year reads as this century; the same day keeps the order
    // of the list; blanks around a date are no matter; texts that are no
    // date go last in their order.
    QTest::newRow("en_US") << "en_US"
                           << QStringList{u"3/20/2026"_s, u"soon"_s, u"3/7/2026"_s, u"12/24/26"_s, u""_s,
                                          u" 3/7/2026 "_s, u"1/5/2027"_s, u"asap"_s}
                           << QStringList{u"3/7/2026"_s, u" 3/7/2026 "_s, u"3/20/2026"_s, u"12/24/26"_s,
                                          u"1/5/2027"_s, u"soon"_s, u""_s, u"asap"_s};
    // The locale's own form and ISO dates; another locale's form is no date.
    QTest::newRow("de_DE") << "de_DE"
                           << QStringList{u"20.03.2026"_s, u"3/7/2026"_s, u"2026-03-01"_s, u"07.03.2026"_s}
                           << QStringList{u"2026-03-01"_s, u"07.03.2026"_s, u"20.03.2026"_s, u"3/7/2026"_s};
    QTest::newRow("already in order") << "en_US" << QStringList{u"1/1/2026"_s, u"2/1/2026"_s, u"later"_s}
                                      << QStringList{u"1/1/2026"_s, u"2/1/2026"_s, u"later"_s};
    QTest::newRow("no dates") << "en_US" << QStringList{u"b"_s, u"a"_s} << QStringList{u"b"_s, u"a"_s};
}

// The sort as a command on a list of its own: done, undone, redone.
void TestEntryList::sortByDueDate()
{
    QFETCH(QString, locale);
    QFETCH(QStringList, dueBy);
    QFETCH(QStringList, sorted);

    EntryListModel list;
    QList<ListEntry> before;
    for (int i = 0; i < dueBy.size(); ++i)
        before.append({dueBy.at(i), QString::number(i), {}, {}});
    list.insertEntries(0, before);
    const auto dueDates = [&list] {
        QStringList texts;
        for (const ListEntry &entry : list.entries())
            texts << entry.dueBy;
        return texts;
    };

    SortByDueDate sort(list, QLocale(locale));
    QCOMPARE(sort.text(), u"Sort by Due Date"_s);
    QCOMPARE(sort.isObsolete(), sorted == dueBy);
    sort.redo();
    QCOMPARE(dueDates(), sorted);
    sort.undo();
    QCOMPARE(list.entries(), before);
    sort.redo();
    QCOMPARE(dueDates(), sorted);
}

QTEST_GUILESS_MAIN(TestEntryList)
#include "test_entry_list.moc"
