#include "contacts/contacttable.h"

#include <QTest>

using namespace tovanel;

// Contacts go in with any mix of empty and filled fields and come out the same, also after their
// table was moved behind another one.
class tst_ContactTable : public QObject {
    Q_OBJECT

private slots:
    void roundTripsEveryField_data();
    void roundTripsEveryField();
};

namespace {

constexpr qint64 Far = qint64(1) << 40;

std::array<QStringView, StoredFieldCount> views(const QStringList& fields) {
    std::array<QStringView, StoredFieldCount> texts{};
    for (int f = 0; f < FieldCount && f < fields.size(); ++f) {
        texts[size_t(f)] = fields.at(f);
    }
    return texts;
}

QStringList filled(const QString& text) {
    return QStringList(FieldCount, text);
}

void verify(const ContactTable& table, qsizetype contact, const QStringList& fields, int bold, qint64 begin,
            qint64 end) {
    for (int f = 0; f < FieldCount; ++f) {
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
}

QTEST_GUILESS_MAIN(tst_ContactTable)
#include "tst_contacttable.moc"
