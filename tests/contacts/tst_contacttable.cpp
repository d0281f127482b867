#include "contacts/contacttable.h"

#include <QTest>

using namespace tovanel;

// Contacts go in with any mix of empty and filled fields and come out the same, also after their
// table was moved behind another one (the countries, kept once each, too).
class tst_ContactTable : public QObject {
    Q_OBJECT

private slots:
    void roundTripsEveryField_data();
    void roundTripsEveryField();
    void manySmallFilesShareTextBlocks();
};

namespace {

constexpr qint64 Far = qint64(1) << 40;

std::array<QStringView, StoredFieldCount> views(const QStringList& fields) {
    std::array<QStringView, StoredFieldCount> texts{};
    for (int f = 0; f < StoredFieldCount && f < fields.size(); ++f) {
        texts[size_t(f)] = fields.at(f);
    }
    return texts;
}

QStringList filled(const QString& text) {
    return QStringList(StoredFieldCount, text);
}

void verify(const ContactTable& table, qsizetype contact, const QStringList& fields, int bold, qint64 begin,
            qint64 end) {
    for (int f = 0; f < StoredFieldCount; ++f) {
        const QStringView text = table.text(contact, Field(f));
        QCOMPARE(text.toString(), fields.value(f));
        QVERIFY(!text.isNull());
        const bool telephone = f >= int(Field::MobilePhone) && f <= int(Field::WorkPhone);
        QCOMPARE(table.isBold(contact, Field(f)), telephone && (bold & ContactTable::boldBit(Field(f))) != 0);
    }
    QCOMPARE(table.beginPosition(contact), begin);
    QCOMPARE(table.endPosition(contact), end);
}

} // namespace

void tst_ContactTable::roundTripsEveryField_data() {
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<int>("bold");
    QTest::addColumn<qint64>("begin");
    QTest::addColumn<qint64>("end"); // set afterwards, as the reader does for the last contact
    QTest::newRow("empty, no END") << QStringList() << 0 << qint64(0) << qint64(-1);
    QTest::newRow("empty card") << QStringList() << 0 << qint64(7) << qint64(29);
    QTest::newRow("every field") << filled(QStringLiteral("äöü")) << 0x7 << qint64(5) << qint64(900);
    QTest::newRow("first and last only")
        << QStringList{QStringLiteral("Name"), {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {},
                       QStringLiteral("N")}
        << 0 << qint64(1) << qint64(2);
    QTest::newRow("gaps, bold without number")
        << QStringList{{}, QStringLiteral("Firma"), {}, QStringLiteral("030 1"), {}, QStringLiteral("e@x.de")}
        << 0x5 << qint64(3) << qint64(4);
    QTest::newRow("longer than a block")
        << QStringList{QString(1 << 21, u'x'), {}, QStringLiteral("0171")} << 0x1 << qint64(10) << qint64(-1);
    // The end offsets take one code unit each below 64 K characters of texts, two from there on.
    QTest::newRow("texts just short of 64 K")
        << QStringList{QString(0xFFFE, u'x'), {}, QStringLiteral("0")} << 0x1 << qint64(10) << qint64(20);
    QTest::newRow("texts of 64 K") << QStringList{QString(0xFFFF, u'x'), {}, QStringLiteral("0")} << 0x1
                                   << qint64(10) << qint64(20);
    QTest::newRow("end far beyond the begin") << QStringList{QStringLiteral("a")} << 0 << qint64(12) << Far;
    QTest::newRow("begin beyond 4 GB") << QStringList{{}, QStringLiteral("b")} << 0 << Far << Far + 17;
}

void tst_ContactTable::roundTripsEveryField() {
    QFETCH(QStringList, fields);
    QFETCH(int, bold);
    QFETCH(qint64, begin);
    QFETCH(qint64, end);
    const QStringList neighbour = filled(QStringLiteral("n"));
    ContactTable part;
    part.append(views(neighbour), 0x2, 0, 1);
    part.append(views(fields), std::uint8_t(bold), begin, Far);
    part.setLastEndPosition(end);
    part.append(views(neighbour), 0, begin + 1, -1);
    part.setLastEndPosition(begin + 2);
    verify(part, 1, fields, bold, begin, end);

    ContactTable whole;
    whole.append(views(neighbour), 0, 0, Far + 1);
    whole.appendTable(part);
    QCOMPARE(part.size(), 0);
    QCOMPARE(whole.size(), 4);
    verify(whole, 0, neighbour, 0, 0, Far + 1);
    verify(whole, 1, neighbour, 0x2, 0, 1);
    verify(whole, 2, fields, bold, begin, end);
    verify(whole, 3, neighbour, 0, begin + 1, begin + 2);

    // Two lists made from one, each with a file of its own added: neither may write its texts where the
    // other, or the list they came from, reads.
    ContactTable added[2];
    const QStringList own[2] = {filled(QStringLiteral("x")), fields};
    for (int i = 0; i < 2; ++i) {
        ContactTable file;
        file.append(views(own[i]), 0, 3, 4);
        added[i].appendShared(whole);
        added[i].appendFile(file);
    }
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(added[i].size(), 5);
        verify(added[i], 2, fields, bold, begin, end);
        verify(added[i], 4, own[i], 0, 3, 4);
    }
    verify(whole, 3, neighbour, 0, begin + 1, begin + 2);
}

// A folder of one-card files: each file's texts follow the previous file's in a shared block instead of
// keeping the block the file was read into.
void tst_ContactTable::manySmallFilesShareTextBlocks() {
    constexpr int Files = 1000;
    ContactTable list;
    for (int i = 0; i < Files; ++i) {
        ContactTable file;
        file.append(views({QStringLiteral("Kontakt %1").arg(i)}), 0, 0, 40);
        list.appendFile(file);
    }
    QCOMPARE(list.size(), Files);
    QCOMPARE(list.text(Files - 1, Field(0)).toString(), QStringLiteral("Kontakt 999"));
    QCOMPARE(list.text(0, Field(0)).toString(), QStringLiteral("Kontakt 0"));
    QVERIFY2(list.bytesUsed() < 256 * Files, qPrintable(QString::number(list.bytesUsed())));
}

QTEST_GUILESS_MAIN(tst_ContactTable)
#include "tst_contacttable.moc"
