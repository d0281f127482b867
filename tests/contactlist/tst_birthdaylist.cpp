#include "contactlist/birthdaylist.h"
#include "importedlists.h"

#include <QAbstractItemModelTester>
#include <QTest>
#include <numeric>

using namespace tovanel;

namespace {

QByteArray card(const QByteArray& name, const QByteArray& lines) {
    return "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:" + name + "\r\n" + lines + "END:VCARD\r\n";
}

std::shared_ptr<ContactTable> read(const QByteArray& cards) {
    return ImportedLists::read(cards).table;
}

std::vector<std::uint32_t> allOf(const ContactTable& table) {
    std::vector<std::uint32_t> contacts(size_t(table.size()));
    std::iota(contacts.begin(), contacts.end(), 0u);
    return contacts;
}

} // namespace

class tst_BirthdayList : public QObject {
    Q_OBJECT
private slots:
    void theNextDayIsCountedFromToday_data();
    void theNextDayIsCountedFromToday();
    void eventsComeByDayThenByName();
};

void tst_BirthdayList::theNextDayIsCountedFromToday_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QString>("when"); // empty: no event
    QTest::addColumn<QString>("years");

    const auto row = [](const char* name, const char* line, QDate today, const char* when,
                        const char* years) {
        QTest::newRow(name) << QByteArray(line) << today << QString::fromUtf8(when)
                            << QString::fromUtf8(years);
    };
    const QDate dec8(2026, 12, 8);
    row("today", "BDAY:1985-12-08", dec8, "heute", "wird 41");
    row("tomorrow", "BDAY:19851209", dec8, "morgen", "wird 41");
    row("yesterday: next year", "BDAY:1985-12-07", dec8, "in 364 Tagen", "wird 42");
    row("over the year's end", "BDAY:--0101", QDate(2026, 12, 31), "morgen", "");
    row("with a time", "BDAY:1985-12-10T00:00:00Z", dec8, "in 2 Tagen", "wird 41");
    // 29 February is the last day of February.
    row("29 Feb, leap year", "BDAY:1980-02-29", QDate(2028, 2, 1), "in 28 Tagen", "wird 48");
    row("29 Feb on 28 Feb", "BDAY:1980-02-29", QDate(2027, 2, 28), "heute", "wird 47");
    row("29 Feb, from 1 Mar to the leap day", "BDAY:1980-02-29", QDate(2027, 3, 1), "in 365 Tagen",
        "wird 48");
    row("--0229 in a year without it", "BDAY:--0229", QDate(2027, 2, 1), "in 27 Tagen", "");
    row("--02-29 in a leap year", "BDAY:--02-29", QDate(2028, 2, 28), "morgen", "");
    // Apple writes 1604 for a day without a year, and some programs 0000.
    row("Apple's 1604", "BDAY:1604-05-17", QDate(2026, 5, 1), "in 16 Tagen", "");
    row("year 0000", "BDAY:0000-05-17", QDate(2026, 5, 17), "heute", "");
    row("born after the day", "BDAY:2027-01-01", dec8, "in 24 Tagen", "");
    row("anniversary", "ANNIVERSARY:20100612", QDate(2026, 6, 1), "in 11 Tagen", "16. Jahrestag");
    row("Apple's anniversary", "item1.X-ABDATE:2000-06-12\r\nitem1.X-ABLabel:_$!<Anniversary>!$_",
        QDate(2026, 6, 12), "heute", "26. Jahrestag");
    row("Apple's other date", "item1.X-ABDATE:2000-06-12\r\nitem1.X-ABLabel:Umzug", QDate(2026, 6, 12), "",
        "");
    row("2023-13-45 is no date", "BDAY:2023-13-45", dec8, "", "");
    row("30 February is no date", "BDAY:--0230", dec8, "", "");
    row("text", "BDAY;VALUE=text:circa 1800", dec8, "", "");
}

void tst_BirthdayList::theNextDayIsCountedFromToday() {
    QFETCH(QByteArray, line);
    QFETCH(QDate, today);
    QFETCH(QString, when);
    QFETCH(QString, years);
    const auto table = read(card("Anna", line + "\r\n"));
    const std::vector<std::uint32_t> contacts = allOf(*table);
    const std::vector<BirthdayEvent> events = birthdayEvents({*table, contacts}, today);
    QCOMPARE(events.size(), size_t(when.isEmpty() ? 0 : 1));
    if (!when.isEmpty()) {
        QCOMPARE(daysUntilText(events[0].daysUntil), when);
        QCOMPARE(yearsText(events[0]), years);
        // The one rule for the next day, checked against the dates' own arithmetic.
        const QDate next = today.addDays(events[0].daysUntil);
        QCOMPARE(next, nextOccurrence(events[0].cardDate(), today));
    }
}

void tst_BirthdayList::eventsComeByDayThenByName() {
    const auto table = read(card("Zoe", "BDAY:1990-03-01\r\nANNIVERSARY:2015-03-01\r\n") +
                            card("bauer", "BDAY:--0301\r\n") +             //
                            card("Ärger", "BDAY:2001-03-01\r\n") +         //
                            card("Otto", "BDAY:1970-02-28\r\n") +          //
                            card("Nicht gezeigt", "BDAY:1970-02-28\r\n") + //
                            card("Ohne", "NOTE:kein Tag\r\n") +            //
                            card("Ida", "ANNIVERSARY:--0227\r\n"));
    // A packed date that is no day (from a table not made by the reader) is left out.
    std::array<QStringView, StoredFieldCount> texts{};
    texts[size_t(Field::Name)] = u"Kaputt";
    table->append(texts, 0, 0, -1, 0, CardDate{2023, 2, 30}.packed());
    // The list leaves out one contact and names another twice; its order is not the names' order.
    const std::vector<std::uint32_t> contacts{0, 1, 2, 3, 5, 6, 7, 3};
    BirthdayListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setList(table, contacts, QDate(2026, 2, 28));
    QStringList rows;
    for (int row = 0; row < model.rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < model.columnCount(); ++column) {
            cells << model.index(row, column).data().toString();
        }
        rows << cells.join(u'|');
    }
    const QStringList expected{
        QStringLiteral("heute|28.02.1970|Otto|Geburtstag|wird 56"),
        QStringLiteral("morgen|01.03.2001|Ärger|Geburtstag|wird 25"),
        QStringLiteral("morgen|01.03.|bauer|Geburtstag|"),
        QStringLiteral("morgen|01.03.1990|Zoe|Geburtstag|wird 36"),
        QStringLiteral("morgen|01.03.2015|Zoe|Jahrestag|11. Jahrestag"),
        QStringLiteral("in 364 Tagen|27.02.|Ida|Jahrestag|"),
    };
    QCOMPARE(rows, expected);
    // Rows asked for from the last one on come in the same order as the whole list.
    const std::vector<BirthdayEvent> events = birthdayEvents({*table, contacts}, QDate(2026, 2, 28));
    BirthdayListModel backwards;
    backwards.setList(table, contacts, QDate(2026, 2, 28));
    for (int row = backwards.rowCount() - 1; row >= 0; --row) {
        QCOMPARE(backwards.eventAt(row).contact, events[size_t(row)].contact);
        QCOMPARE(backwards.eventAt(row).date, events[size_t(row)].date);
    }
    QCOMPARE(model.index(1, BirthdayColumn::When).data(Qt::ToolTipRole).toString(),
             QStringLiteral("01.03.2026"));
    QCOMPARE(model.headerData(BirthdayColumn::Years, Qt::Horizontal).toString(), QStringLiteral("Alter"));
}

QTEST_GUILESS_MAIN(tst_BirthdayList)
#include "tst_birthdaylist.moc"
