#include "contactlist/contactsearch.h"
#include "contactlist/listkeys.h"
#include "contactlist/searchindex.h"
#include "contacts/contacttable.h"
#include "contacts/telephone.h"

#include <QTest>
#include <numeric>

using namespace tovanel;
using namespace Qt::StringLiterals;

// Each contact: name, then optional company, mobile number, e-mail address, home and work number.
using Contacts = QList<QStringList>;

namespace {

void fill(ContactTable& table, const Contacts& contacts) {
    constexpr Field columns[] = {Field::Name,  Field::Company,   Field::MobilePhone,
                                 Field::Email, Field::HomePhone, Field::WorkPhone};
    for (const QStringList& contact : contacts) {
        std::array<QStringView, StoredFieldCount> texts{};
        for (int i = 0; i < contact.size(); ++i) {
            texts[size_t(columns[i])] = contact.at(i);
        }
        table.append(texts, 0, 0, -1);
    }
}

Contacts named(const QStringList& names) {
    Contacts contacts;
    for (const QString& name : names) {
        contacts << QStringList{name};
    }
    return contacts;
}

} // namespace

class tst_ContactSearch : public QObject {
    Q_OBJECT
private slots:
    void findsTheRowsInTurn_data();
    void findsTheRowsInTurn();
    void indexLooksAtTheContactsAskedFor();
};

void tst_ContactSearch::findsTheRowsInTurn_data() {
    QTest::addColumn<Contacts>("contacts");
    QTest::addColumn<QList<int>>("order"); // the contact of each row; empty: all in file order
    // Searches separated by ";": "X" from the top ("Name finden"), "+" on from below the last hit with
    // the same text ("Weiter"), "X from N" from row N as it stands.
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QList<int>>("hits");

    const Contacts abh = named({QStringLiteral("Anna"), QStringLiteral("Bernd"), QStringLiteral("Hanna")});
    const Contacts mixed{
        {QStringLiteral("Otto")},
        {QStringLiteral("Anna"), QString(), QStringLiteral("0171 3920011")},
        {QStringLiteral("Bernd Stadtler"), QStringLiteral("Stadtwerke Nord"), QString(),
         QStringLiteral("BERND@Example.org"), QStringLiteral("+49 (0)171 392-0099")},
        {QStringLiteral("Dora Strauß"), QStringLiteral("Bernds Strauss & Co"), QString(),
         QStringLiteral("dora@example.org"), QString(), QStringLiteral("0049 171 3920011")},
        {QStringLiteral("Emil"), QStringLiteral("Stadtwerke Süd"), QStringLiteral("089 123456")}};
    const QList<int> fileOrder;
    using Hits = QList<int>;
    // clang-format off
    QTest::newRow("from the top, then below each hit") << abh << fileOrder << "nna;+;+" << Hits{0, 2, 0};
    QTest::newRow("empty text finds nothing") << abh << fileOrder << "" << Hits{-1};
    QTest::newRow("empty list") << Contacts() << fileOrder << "a" << Hits{-1};
    QTest::newRow("start on the last row") << abh << fileOrder << "nna from 2" << Hits{2};
    QTest::newRow("start past the last row: from the top") << abh << fileOrder << "nna from 3" << Hits{0};
    QTest::newRow("start far past the last row") << abh << fileOrder << "nna from 100" << Hits{0};
    QTest::newRow("negative start reads no row outside") << abh << fileOrder << "nna from -5" << Hits{0};
    QTest::newRow("rows in the order shown") << named({QStringLiteral("Anna Bernstein"), QStringLiteral("Bernd")}) << QList<int>{1, 0} << "bernd" << Hits{0};
    QTest::newRow("contacts left out of the list") << abh << QList<int>{2, 0} << "ber;nna;+" << Hits{-1, 0, 1};
    QTest::newRow("umlaut case ignored: MÜ finds Müller") << named({QStringLiteral("Anna"), QStringLiteral("Jürgen Müller")}) << fileOrder << "MÜ" << Hits{1};
    QTest::newRow("accented capitals: ZOË finds Zoë") << named({QStringLiteral("Zoë")}) << fileOrder << "ZOË" << Hits{0};
    QTest::newRow("folding: strauss finds Strauß") << mixed << fileOrder << "strauss" << Hits{3};
    QTest::newRow("folding: STRAUẞ finds Strauß") << mixed << fileOrder << "STRAUẞ" << Hits{3};
    QTest::newRow("folding: Strauß finds Strauss") << named({QStringLiteral("Anna"), QStringLiteral("Johann Strauss")}) << fileOrder << "Strauß" << Hits{1};
    QTest::newRow("a partial match gives way to a later one") << named({QStringLiteral("Anna"), QStringLiteral("Nananas")}) << fileOrder << "nanas" << Hits{1};
    QTest::newRow("folding: a partial match into ß") << named({QStringLiteral("Anna"), QStringLiteral("Großstadt")}) << fileOrder << "SST" << Hits{1};
    QTest::newRow("transliterated: mueller finds Müller") << named({QStringLiteral("Anna"), QStringLiteral("Jürgen Müller")}) << fileOrder << "mueller" << Hits{1};
    QTest::newRow("transliterated: Müller finds Mueller") << named({QStringLiteral("Anna"), QStringLiteral("Hans Mueller")}) << fileOrder << "Müller" << Hits{1};
    QTest::newRow("transliterated: strasse finds Straße") << named({QStringLiteral("Anna"), QStringLiteral("Lange Straße")}) << fileOrder << "strasse" << Hits{1};
    QTest::newRow("transliterated: OE finds Ö in a company") << Contacts{{QStringLiteral("Anna"), QStringLiteral("Öko GmbH")}} << fileOrder << "OEKO" << Hits{0};
    QTest::newRow("folding: s inside ß") << named({QStringLiteral("Anna"), QStringLiteral("Grüße")}) << fileOrder << "üss" << Hits{1};
    QTest::newRow("number with blanks finds the mobile") << mixed << fileOrder << "0171 392" << Hits{1};
    QTest::newRow("number: +49 is 0, found as +49 (0) at home") << mixed << fileOrder << "+49171392;+" << Hits{1, 2};
    QTest::newRow("number: bare digits, found as 0049 at work") << mixed << fileOrder << "171392;+;+" << Hits{1, 2, 3};
    QTest::newRow("number: a partial match gives way") << Contacts{{QStringLiteral("Otto"), QString(), QStringLiteral("0171 171 172")}} << fileOrder << "171172" << Hits{0};
    QTest::newRow("number: punctuation ignored") << mixed << fileOrder << "(089) 12-34" << Hits{4};
    QTest::newRow("number: names are not searched") << named({QStringLiteral("Zimmer 4711")}) << fileOrder << "4711" << Hits{-1};
    QTest::newRow("two digits are a name search") << named({QStringLiteral("Anna"), QStringLiteral("Zimmer 42")}) << fileOrder << "42" << Hits{1};
    QTest::newRow("e-mail, case ignored") << mixed << fileOrder << "bernd@EXAMPLE" << Hits{2};
    QTest::newRow("e-mail: names are not searched") << named({QStringLiteral("info@firma.de")}) << fileOrder << "info@firma" << Hits{-1};
    QTest::newRow("company when no name holds the text") << mixed << fileOrder << "stadtwerke" << Hits{2};
    QTest::newRow("company: going on stays in the companies") << mixed << fileOrder << "stadtwerke;+" << Hits{2, 4};
    QTest::newRow("a name hit keeps the companies out") << mixed << fileOrder << "stadt;+" << Hits{2, -1};
    QTest::newRow("name hit above the start: no company") << mixed << fileOrder << "bernd;+" << Hits{2, -1};
    QTest::newRow("a new text looks in the names again") << mixed << fileOrder << "stadtwerke;dora from 0" << Hits{2, 3};
    // clang-format on
}

void tst_ContactSearch::findsTheRowsInTurn() {
    QFETCH(Contacts, contacts);
    QFETCH(QList<int>, order);
    QFETCH(QString, steps);
    auto table = std::make_shared<ContactTable>();
    fill(*table, contacts);
    if (order.isEmpty()) {
        order.resize(contacts.size());
        std::iota(order.begin(), order.end(), 0);
    }
    const std::vector<std::uint32_t> rows(order.begin(), order.end());
    const ListKeys keys(table);
    // Through the list's search index, and through the contacts' texts where a list has none.
    for (const ListKeys* listKeys : {&keys, static_cast<const ListKeys*>(nullptr)}) {
        const ContactList list{*table, rows, NameOrder::GivenFirst, {}, listKeys};
        ContactSearch search;
        QString text;
        int hit = -1;
        QList<int> hits;
        for (const QString& step : steps.split(u';')) {
            const qsizetype from = step.indexOf(QLatin1String(" from "));
            if (step == u"+") {
                hit = search.find(list, text, hit + 1).row;
            } else if (from >= 0) {
                text = step.first(from);
                hit = search.find(list, text, step.sliced(from + 6).toInt()).row;
            } else {
                text = step;
                search.reset();
                hit = search.find(list, text, 0).row;
            }
            hits << hit;
        }
        QTEST(hits, "hits");
    }
}

void tst_ContactSearch::indexLooksAtTheContactsAskedFor() {
    // A sweep through all finds what the contacts' own fields hold; few contacts of many, looked at one
    // by one, are found alike. Long enough for whole blocks of sixteen bytes, with hits in the name
    // before the company is looked at.
    Contacts contacts;
    for (int i = 0; i < 200; ++i) {
        contacts << QStringList{
            i % 3 == 0 ? QStringLiteral("Jürgen Müller-Müllerhausen %1").arg(i) : QStringLiteral("Anna"),
            i % 5 == 0 ? QStringLiteral("Müllabfuhr Anna") : QString(), QStringLiteral("0171 %1").arg(i)};
    }
    auto table = std::make_shared<ContactTable>();
    fill(*table, contacts);
    const SearchIndex index(*table);
    const std::vector<std::uint32_t> among{0, 3, 5, 7, 15, 199};
    static constexpr Field Name[] = {Field::Name};
    static constexpr Field Company[] = {Field::Company};
    struct Case {
        QString text;
        unsigned parts;
        std::span<const Field> fields;
    };
    for (const Case& c :
         {Case{u"MUELL"_s, SearchIndex::Name, Name}, Case{u"müll"_s, SearchIndex::Company, Company},
          Case{u"anna"_s, SearchIndex::Company, Company}, Case{u"ANNA"_s, SearchIndex::Name, Name},
          Case{u"+49 1715"_s, SearchIndex::Numbers, TelephoneFields}}) {
        SearchNeedle needle(c.text, c.parts == SearchIndex::Numbers ? SearchKind::Number : SearchKind::Text);
        const ContactBits swept = index.holding(c.text, c.parts);
        for (qsizetype contact = 0; contact < table->size(); ++contact) {
            QCOMPARE(swept.test(contact), needle.foundIn(*table, contact, c.fields));
        }
        const ContactBits looked = index.holding(c.text, c.parts, among);
        int found = 0;
        for (const std::uint32_t contact : among) {
            QCOMPARE(looked.test(contact), swept.test(contact));
            found += swept.test(contact) ? 1 : 0;
        }
        QVERIFY2(found > 0 && found < int(among.size()), qPrintable(c.text));
    }
}

QTEST_GUILESS_MAIN(tst_ContactSearch)
#include "tst_contactsearch.moc"
