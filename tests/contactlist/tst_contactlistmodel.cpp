#include "importedlists.h"

#include <QFont>
#include <QSignalSpy>
#include <QTest>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>

using namespace tovanel;
using namespace Qt::StringLiterals;

// Allocation failure on demand: the `failAt`-th allocation of at least `failFrom` bytes throws, once.
namespace {
std::atomic<std::size_t> failFrom{0}; // 0: never
std::atomic<int> failAt{0};

void* allocate(std::size_t size) {
    if (const std::size_t from = failFrom.load(); from != 0 && size >= from && --failAt == 0) {
        failFrom = 0;
        throw std::bad_alloc();
    }
    if (void* p = std::malloc(size != 0 ? size : 1)) {
        return p;
    }
    throw std::bad_alloc();
}
void* allocate(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
} // namespace

// Every plain form, so that no allocation made by one runtime is freed by another.
void* operator new(std::size_t size) {
    return allocate(size);
}
void* operator new[](std::size_t size) {
    return allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t& tag) noexcept {
    return allocate(size, tag);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    return allocate(size, tag);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}

namespace {

struct Contact {
    QString name;
    QString firma;
    qint64 end = -1;
    std::uint8_t bold = 0;
};

// A table whose contacts carry their name in the note too, so an address list row shows whose it is.
std::shared_ptr<ContactTable> tableOf(const QList<Contact>& contacts) {
    auto table = std::make_shared<ContactTable>();
    for (const Contact& c : contacts) {
        const QString tel = QStringLiteral("0171 %1").arg(table->size() + 1);
        const QString note = QStringLiteral("Notiz ") + c.name;
        std::array<QStringView, StoredFieldCount> texts{};
        texts[size_t(Field::Name)] = c.name;
        texts[size_t(Field::Company)] = c.firma;
        texts[size_t(Field::MobilePhone)] = tel;
        texts[size_t(Field::Note)] = note;
        table->append(texts, c.bold, 0, c.end);
    }
    return table;
}

QStringList column(const ContactListModel& model, int column) {
    QStringList cells;
    for (int row = 0; row < model.rowCount(); ++row) {
        cells << model.index(row, column).data().toString();
    }
    return cells;
}

const QList<Contact> Names = {
    {QStringLiteral("Zander"), QStringLiteral("b"), 100},
    {QStringLiteral("Ärger"), QStringLiteral("a"), 200},
    {QStringLiteral("Meier"), QStringLiteral("c"), 300},
    {QStringLiteral("apfel"), QStringLiteral("a"), 400},
    {QStringLiteral("Öl"), QStringLiteral("b"), 500},
    {QStringLiteral("meier"), QStringLiteral("a"), 600},
    {QStringLiteral("Abel"), QStringLiteral("c"), 700},
    {QStringLiteral("Otto"), QStringLiteral("a"), 800},
    {QStringLiteral("ober"), QStringLiteral("b"), 900},
    {QStringLiteral("MEIER"), QStringLiteral("b"), 1000},
    {QStringLiteral(""), QStringLiteral("c"), -1},
    {QStringLiteral("Zoë"), QStringLiteral("a"), 1200},
};

} // namespace

class tst_ContactListModel : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void showsHeadings_data();
    void showsHeadings();
    void showsNamesInOrderAndAddedColumns_data();
    void showsNamesInOrderAndAddedColumns();
    void sortsAndFindsByFamilyName();
    void loadsTableInOneReset();
    void marksFavouritesBoldOnTelephoneColumnsOnly();
    void sortsNamesInGermanOrderIgnoringCase_data();
    void sortsNamesInGermanOrderIgnoringCase();
    void sortsStably();
    void sortsNumberColumnsAsNumbers_data();
    void sortsNumberColumnsAsNumbers();
    void contactNumberFindsAdrDataRowAfterSort_data();
    void contactNumberFindsAdrDataRowAfterSort();
    void persistentIndexesFollowTheirContact();
    void failedSortKeepsTheOrder_data();
    void failedSortKeepsTheOrder();
    void addressListKeepsFileOrder();
    void filterShowsItsContactsInTheListsOrder_data();
    void filterShowsItsContactsInTheListsOrder();

private:
    std::unique_ptr<ImportedLists> m_lists;
    ContactListModel* m_contactList = nullptr;
    ContactListModel* m_addressList = nullptr;
};

void tst_ContactListModel::init() {
    m_lists = std::make_unique<ImportedLists>(tableOf(Names));
    m_contactList = &m_lists->contacts;
    m_addressList = &m_lists->addresses;
}

void tst_ContactListModel::cleanup() {
    m_lists.reset();
}

void tst_ContactListModel::showsHeadings_data() {
    QTest::addColumn<ContactListModel::List>("list");
    QTest::addColumn<QStringList>("headings");
    QTest::newRow("contact list") << ContactListModel::List::Contacts
                                  << QStringList{QStringLiteral("ID"),
                                                 QStringLiteral("Name"),
                                                 QStringLiteral("Firma"),
                                                 QStringLiteral("Tel-Mobil"),
                                                 QStringLiteral("Tel-Privat"),
                                                 QStringLiteral("Tel-Arbeit"),
                                                 QStringLiteral("e-mail"),
                                                 QStringLiteral("Pos"),
                                                 QStringLiteral("Datei"),
                                                 QStringLiteral("Geburtstag"),
                                                 QStringLiteral("Gruppen"),
                                                 QStringLiteral("Position"),
                                                 QStringLiteral("Abteilung"),
                                                 QStringLiteral("Straße"),
                                                 QStringLiteral("PLZ"),
                                                 QStringLiteral("Ort"),
                                                 QStringLiteral("Land"),
                                                 QStringLiteral("Alle Telefonnummern"),
                                                 QStringLiteral("Alle E-Mail-Adressen"),
                                                 QStringLiteral("Notiz")};
    QTest::newRow("address list") << ContactListModel::List::Addresses
                                  << QStringList{QStringLiteral("ID"),         QStringLiteral("Adresse"),
                                                 QStringLiteral("PLZ"),        QStringLiteral("Ort"),
                                                 QStringLiteral("Adr.Arbeit"), QStringLiteral("PLZ"),
                                                 QStringLiteral("Ort"),        QStringLiteral("Notizen")};
}

void tst_ContactListModel::showsHeadings() {
    QFETCH(ContactListModel::List, list);
    QFETCH(QStringList, headings);
    const ContactListModel& model =
        list == ContactListModel::List::Contacts ? *m_contactList : *m_addressList;
    QCOMPARE(model.columnCount(), headings.size());
    QStringList shown;
    for (int c = 0; c < model.columnCount(); ++c) {
        shown << model.headerData(c, Qt::Horizontal).toString();
    }
    QCOMPARE(shown, headings);
}

void tst_ContactListModel::showsNamesInOrderAndAddedColumns_data() {
    QTest::addColumn<QByteArray>("lines");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("givenFirst");
    QTest::addColumn<QString>("familyFirst");
    const int name = ContactColumn::Name;
    QTest::newRow("family name from N") << QByteArray("FN:Jürgen Müller\nN:Müller;Jürgen;;;") << name
                                        << u"Jürgen Müller"_s << u"Müller, Jürgen"_s;
    QTest::newRow("no prefix in front")
        << QByteArray("FN:Dr. Jürgen Peter Müller\nN:Müller;Jürgen;Peter;Dr.;") << name
        << u"Dr. Jürgen Peter Müller"_s << u"Müller, Jürgen Peter"_s;
    QTest::newRow("named by N only") << QByteArray("N:Müller;Jürgen;;Herr;") << name
                                     << u"Herr Jürgen Müller"_s << u"Müller, Jürgen"_s;
    QTest::newRow("long family name")
        << QByteArray("FN:Sabine "
                      "Leutheusser-Schnarrenberger-Ohnesorge\nN:Leutheusser-Schnarrenberger-Ohnesorge;Sabine")
        << name << u"Sabine Leutheusser-Schnarrenberger-Ohnesorge"_s
        << u"Leutheusser-Schnarrenberger-Ohnesorge, Sabine"_s;
    QTest::newRow("no N") << QByteArray("FN:Jürgen Müller") << name << u"Jürgen Müller"_s
                          << u"Jürgen Müller"_s;
    QTest::newRow("company") << QByteArray("N:;;;;\nORG:Bäckerei Schmidt") << name << u"Bäckerei Schmidt"_s
                             << u"Bäckerei Schmidt"_s;
    QTest::newRow("shown as company")
        << QByteArray("FN:Bäckerei Schmidt\nN:Schmidt;Anna;;;\nX-ABShowAs:COMPANY") << name
        << u"Bäckerei Schmidt"_s << u"Bäckerei Schmidt"_s;
    QTest::newRow("birthday") << QByteArray("FN:A\nBDAY:1985-03-12") << int(ContactColumn::Birthday)
                              << u"12.03.1985"_s << u"12.03.1985"_s;
    QTest::newRow("birthday without year")
        << QByteArray("FN:A\nBDAY:--0229") << int(ContactColumn::Birthday) << u"29.02."_s << u"29.02."_s;
    QTest::newRow("birthday no date") << QByteArray("FN:A\nBDAY:2023-13-45") << int(ContactColumn::Birthday)
                                      << u"2023-13-45"_s << u"2023-13-45"_s;
    QTest::newRow("all numbers, cells first")
        << QByteArray(
               "FN:A\nTEL;TYPE=FAX:030 2\nTEL;TYPE=CELL:0171 1\nTEL;TYPE=HOME:+49 30 3\nTEL;TYPE=CELL:0172 4")
        << int(ContactColumn::AllPhones) << u"0172 4, 030 3, 030 2, 0171 1"_s
        << u"0172 4, 030 3, 030 2, 0171 1"_s;
    QTest::newRow("all e-mail addresses in card order")
        << QByteArray("FN:A\nEMAIL:a@x.de\nEMAIL:b@x.de") << int(ContactColumn::AllEmails)
        << u"a@x.de, b@x.de"_s << u"a@x.de, b@x.de"_s;
    QTest::newRow("work address without private one")
        << QByteArray("FN:A\nADR;TYPE=WORK:;;Weg 1;Berlin;;10115;Deutschland") << int(ContactColumn::Country)
        << u"Deutschland"_s << u"Deutschland"_s;
    QTest::newRow("department") << QByteArray("FN:A\nORG:Stadtwerke;Einkauf")
                                << int(ContactColumn::Department) << u"Einkauf"_s << u"Einkauf"_s;
    QTest::newRow("groups") << QByteArray("FN:A\nCATEGORIES:Freunde,Familie") << int(ContactColumn::Groups)
                            << u"Familie, Freunde"_s << u"Familie, Freunde"_s;
}

void tst_ContactListModel::showsNamesInOrderAndAddedColumns() {
    QFETCH(QByteArray, lines);
    QFETCH(int, column);
    QFETCH(QString, givenFirst);
    QFETCH(QString, familyFirst);
    ImportedLists lists("BEGIN:VCARD\nVERSION:3.0\n" + lines + "\nEND:VCARD\n");
    QCOMPARE(lists.contacts.index(0, column).data().toString(), givenFirst);
    lists.contacts.setNameOrder(NameOrder::FamilyFirst);
    QCOMPARE(lists.contacts.index(0, column).data().toString(), familyFirst);
    QCOMPARE(lists.contacts.cell(0, column), familyFirst);
}

void tst_ContactListModel::sortsAndFindsByFamilyName() {
    ImportedLists lists(
        QByteArray("BEGIN:VCARD\nFN:Anna Zander\nN:Zander;Anna\nNOTE:Garten\nEND:VCARD\n"
                   "BEGIN:VCARD\nFN:Bernd Müller\nN:Müller;Bernd\nEND:VCARD\n"
                   "BEGIN:VCARD\nFN:Anna Müller-Lüdenscheidt\nN:Müller-Lüdenscheidt;Anna\nEND:VCARD\n"
                   "BEGIN:VCARD\nFN:Anna Müller\nN:Müller;Anna\nEND:VCARD\n"));
    ContactListModel& model = lists.contacts;
    model.sort(ContactColumn::Name);
    model.setNameOrder(NameOrder::FamilyFirst);
    QCOMPARE(column(model, ContactColumn::Name),
             (QStringList{u"Müller, Anna"_s, u"Müller, Bernd"_s, u"Müller-Lüdenscheidt, Anna"_s,
                          u"Zander, Anna"_s}));
    // Either order finds the name, whichever the list shows, typed a key at a time (each narrowing the
    // one before: "Müller " already looks in the names turned round).
    model.setNameOrder(NameOrder::GivenFirst);
    for (const QString& typed : {u"müller, anna"_s, u"Müller Anna"_s}) {
        for (qsizetype keys = 1; keys <= typed.size(); ++keys) {
            QVERIFY(model.setFilter({typed.first(keys)}));
        }
        QCOMPARE(column(model, ContactColumn::Name), (QStringList{u"Anna Müller"_s}));
    }
    // An added column is looked in while it is shown.
    QVERIFY(model.setFilter({u"Garten"_s}));
    QCOMPARE(model.rowCount(), 0);
    QVERIFY(model.setAddedColumns({ContactColumn::Note}));
    QCOMPARE(column(model, ContactColumn::Name), (QStringList{u"Anna Zander"_s}));
}

void tst_ContactListModel::loadsTableInOneReset() {
    QSignalSpy resets(m_contactList, &QAbstractItemModel::modelReset);
    QSignalSpy inserts(m_contactList, &QAbstractItemModel::rowsInserted);
    m_contactList->setTable(tableOf(
        {{QStringLiteral("A"), {}, 1, 0}, {QStringLiteral("B"), {}, 2, 0}, {QStringLiteral("C"), {}, 3, 0}}));
    QCOMPARE(resets.size(), 1);
    QCOMPARE(inserts.size(), 0);
    QCOMPARE(column(*m_contactList, 0),
             (QStringList{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")}));
    m_contactList->setTable(nullptr);
    QCOMPARE(m_contactList->rowCount(), 0);

    // Memory running out for the row order is thrown before the views hear of a reset.
    QSignalSpy aboutToReset(m_contactList, &QAbstractItemModel::modelAboutToBeReset);
    const std::shared_ptr<ContactTable> table = tableOf(Names);
    failAt = 1;
    failFrom = sizeof(std::uint32_t) * size_t(table->size());
    QVERIFY_THROWS_EXCEPTION(std::bad_alloc, m_contactList->setTable(table));
    failFrom = 0;
    QCOMPARE(aboutToReset.size(), 0);
    QCOMPARE(m_contactList->rowCount(), 0);
}

void tst_ContactListModel::marksFavouritesBoldOnTelephoneColumnsOnly() {
    const std::uint8_t all = ContactTable::boldBit(Field::MobilePhone) |
                             ContactTable::boldBit(Field::HomePhone) |
                             ContactTable::boldBit(Field::WorkPhone);
    const auto table = tableOf({{QStringLiteral("Alle"), {}, 10, all},
                                {QStringLiteral("Privat"), {}, 20, ContactTable::boldBit(Field::HomePhone)},
                                {QStringLiteral("Keiner"), {}, 30, 0}});
    m_contactList->setTable(table);
    m_addressList->setTable(table);
    const QList<QList<int>> boldColumns = {{3, 4, 5}, {4}, {}};
    for (int row = 0; row < 3; ++row) {
        QList<int> bold;
        for (int c = 0; c < 8; ++c) {
            const QVariant font = m_contactList->index(row, c).data(Qt::FontRole);
            const bool isBold = font.isValid() && font.value<QFont>().bold();
            if (isBold) {
                bold << c;
            }
            QCOMPARE(m_contactList->index(row, c).data(Qt::AccessibleDescriptionRole).toString(),
                     isBold ? QStringLiteral("Favorit") : QString());
            QVERIFY(!m_addressList->index(row, c).data(Qt::FontRole).isValid());
        }
        QCOMPARE(bold, boldColumns[row]);
    }
}

void tst_ContactListModel::sortsNamesInGermanOrderIgnoringCase_data() {
    QTest::addColumn<Qt::SortOrder>("order");
    QTest::addColumn<QStringList>("names");
    const QStringList ascending = {QString(),
                                   QStringLiteral("Abel"),
                                   QStringLiteral("apfel"),
                                   QStringLiteral("Ärger"),
                                   QStringLiteral("Meier"),
                                   QStringLiteral("meier"),
                                   QStringLiteral("MEIER"),
                                   QStringLiteral("ober"),
                                   QStringLiteral("Öl"),
                                   QStringLiteral("Otto"),
                                   QStringLiteral("Zander"),
                                   QStringLiteral("Zoë")};
    QTest::newRow("ascending") << Qt::AscendingOrder << ascending;
    // Equal names keep their file order in either direction.
    QTest::newRow("descending") << Qt::DescendingOrder
                                << QStringList{QStringLiteral("Zoë"),   QStringLiteral("Zander"),
                                               QStringLiteral("Otto"),  QStringLiteral("Öl"),
                                               QStringLiteral("ober"),  QStringLiteral("Meier"),
                                               QStringLiteral("meier"), QStringLiteral("MEIER"),
                                               QStringLiteral("Ärger"), QStringLiteral("apfel"),
                                               QStringLiteral("Abel"),  QString()};
}

void tst_ContactListModel::sortsNamesInGermanOrderIgnoringCase() {
    QFETCH(Qt::SortOrder, order);
    QFETCH(QStringList, names);
    m_contactList->sort(1, order);
    QCOMPARE(column(*m_contactList, 1), names);
}

void tst_ContactListModel::sortsStably() {
    // Sorted by company first, rows with the same name keep the company order.
    m_contactList->sort(2, Qt::DescendingOrder);
    m_contactList->sort(1, Qt::AscendingOrder);
    const QStringList names = column(*m_contactList, 1);
    const qsizetype first = names.indexOf(QStringLiteral("Meier"));
    QCOMPARE(names.mid(first, 3),
             (QStringList{QStringLiteral("Meier"), QStringLiteral("MEIER"), QStringLiteral("meier")}));
    QCOMPARE(column(*m_contactList, 2).mid(first, 3),
             (QStringList{QStringLiteral("c"), QStringLiteral("b"), QStringLiteral("a")}));
}

void tst_ContactListModel::sortsNumberColumnsAsNumbers_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<Qt::SortOrder>("order");
    QTest::addColumn<QStringList>("cells");
    QTest::newRow("ID descending") << 0 << Qt::DescendingOrder
                                   << QStringList{
                                          QStringLiteral("12"), QStringLiteral("11"), QStringLiteral("10"),
                                          QStringLiteral("9"),  QStringLiteral("8"),  QStringLiteral("7"),
                                          QStringLiteral("6"),  QStringLiteral("5"),  QStringLiteral("4"),
                                          QStringLiteral("3"),  QStringLiteral("2"),  QStringLiteral("1")};
    QTest::newRow("Pos ascending, missing first") << 7 << Qt::AscendingOrder
                                                  << QStringList{QString(),
                                                                 QStringLiteral("100"),
                                                                 QStringLiteral("200"),
                                                                 QStringLiteral("300"),
                                                                 QStringLiteral("400"),
                                                                 QStringLiteral("500"),
                                                                 QStringLiteral("600"),
                                                                 QStringLiteral("700"),
                                                                 QStringLiteral("800"),
                                                                 QStringLiteral("900"),
                                                                 QStringLiteral("1000"),
                                                                 QStringLiteral("1200")};
}

void tst_ContactListModel::sortsNumberColumnsAsNumbers() {
    QFETCH(int, column);
    QFETCH(Qt::SortOrder, order);
    QFETCH(QStringList, cells);
    m_contactList->sort(1, Qt::DescendingOrder); // start from an order that is not the file's
    m_contactList->sort(column, order);
    QCOMPARE(::column(*m_contactList, column), cells);
}

void tst_ContactListModel::contactNumberFindsAdrDataRowAfterSort_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<Qt::SortOrder>("order");
    for (int c = 0; c < 8; ++c) {
        const QByteArray heading =
            ContactListModel::headings(ContactListModel::List::Contacts).at(c).toUtf8();
        QTest::addRow("%s ascending", heading.constData()) << c << Qt::AscendingOrder;
        QTest::addRow("%s descending", heading.constData()) << c << Qt::DescendingOrder;
    }
}

void tst_ContactListModel::contactNumberFindsAdrDataRowAfterSort() {
    QFETCH(int, column);
    QFETCH(Qt::SortOrder, order);
    m_contactList->sort(1, Qt::DescendingOrder);
    m_contactList->sort(column, order);
    for (int row = 0; row < m_contactList->rowCount(); ++row) {
        const int number = m_contactList->cell(row, ContactColumn::Number).toInt();
        QCOMPARE(m_addressList->cell(number - 1, AddressColumn::Number), QString::number(number));
        QCOMPARE(m_addressList->cell(number - 1, AddressColumn::Note),
                 QStringLiteral("Notiz ") + m_contactList->cell(row, ContactColumn::Name));
        QCOMPARE(m_contactList->contactAt(row), qsizetype(number - 1));
    }
}

void tst_ContactListModel::persistentIndexesFollowTheirContact() {
    const QPersistentModelIndex otto = m_contactList->index(7, ContactColumn::MobilePhone);
    const QPersistentModelIndex zander = m_contactList->index(0, ContactColumn::Name);
    QCOMPARE(otto.sibling(otto.row(), 1).data().toString(), QStringLiteral("Otto"));
    m_contactList->sort(1, Qt::AscendingOrder);
    QCOMPARE(otto.row(), 9);
    QCOMPARE(otto.column(), 3);
    QCOMPARE(otto.data().toString(), QStringLiteral("0171 8"));
    QCOMPARE(zander.data().toString(), QStringLiteral("Zander"));
    m_contactList->sort(0, Qt::DescendingOrder);
    QCOMPARE(otto.row(), 4);
    QCOMPARE(zander.row(), 11);
}

void tst_ContactListModel::failedSortKeepsTheOrder_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("failingAllocation");
    // Any allocation as large as a row index per row: the sort's own buffers, and the collator's.
    QTest::newRow("Name, first") << 1 << 1;
    QTest::newRow("Name, third") << 1 << 3;
    QTest::newRow("Firma, fifth") << 2 << 5;
    QTest::newRow("Pos") << 7 << 1;
    QTest::newRow("ID") << 0 << 1;
}

void tst_ContactListModel::failedSortKeepsTheOrder() {
    QFETCH(int, column);
    QFETCH(int, failingAllocation);
    m_contactList->sort(2, Qt::DescendingOrder);
    const QStringList names = ::column(*m_contactList, 1);
    const QPersistentModelIndex otto =
        m_contactList
            ->match(m_contactList->index(0, ContactColumn::Name), Qt::DisplayRole, QStringLiteral("Otto"))
            .value(0);
    QSignalSpy failed(m_contactList, &ContactListModel::sortFailed);
    QSignalSpy aboutToChange(m_contactList, &QAbstractItemModel::layoutAboutToBeChanged);
    failAt = failingAllocation;
    failFrom = sizeof(std::uint32_t) * size_t(m_contactList->rowCount());
    m_contactList->sort(column, Qt::DescendingOrder);
    const bool injected = failFrom == 0;
    failFrom = 0;
    QVERIFY(injected);
    QCOMPARE(failed.count(), 1);
    QCOMPARE(aboutToChange.count(), 0);
    QCOMPARE(::column(*m_contactList, 1), names);
    QCOMPARE(otto.data().toString(), QStringLiteral("Otto"));

    m_contactList->sort(column, Qt::DescendingOrder); // memory back: the sort goes through
    QCOMPARE(failed.count(), 1);
    QCOMPARE(aboutToChange.count(), 1);
}

void tst_ContactListModel::addressListKeepsFileOrder() {
    const QStringList before = column(*m_addressList, 7);
    m_addressList->sort(7, Qt::AscendingOrder);
    QCOMPARE(column(*m_addressList, 7), before);
    QCOMPARE(column(*m_addressList, 0).first(3),
             (QStringList{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")}));
}

// Two files as one list: a.vcf with Jörg, Anna and Bernd, b.vcf with Jörg again and Carla; all but Bernd
// and the second Jörg in groups.
std::shared_ptr<ContactTable> twoFiles() {
    const QByteArray a = "BEGIN:VCARD\nFN:Jörg Müller\nORG:Bäckerei\nTEL;TYPE=CELL,PREF:+49 171 1111111\n"
                         "EMAIL:joerg@example.org\nCATEGORIES:Familie\nEND:VCARD\n"
                         "BEGIN:VCARD\nFN:Anna Strauß\nORG:Müller GmbH\nTEL;TYPE=HOME:030 222\n"
                         "CATEGORIES:Arbeit,Familie\nEND:VCARD\n"
                         "BEGIN:VCARD\nFN:Bernd Weber\nEMAIL:bernd@web.de\nEND:VCARD\n";
    const QByteArray b = "BEGIN:VCARD\nFN:Jörg Müller\nTEL;TYPE=CELL:0171 1111111\nEND:VCARD\n"
                         "BEGIN:VCARD\nFN:Carla Meier\nTEL;TYPE=WORK:089 333\nEMAIL:carla@example.org\n"
                         "CATEGORIES:Arbeit\nEND:VCARD\n";
    auto list = std::make_shared<ContactTable>();
    for (const auto& [bytes, name] : {std::pair{a, "a.vcf"}, std::pair{b, "b.vcf"}}) {
        VcardReadResult read = ImportedLists::read(bytes);
        read.table->setSource(
            std::make_shared<const ContactSource>(ContactSource{QString::fromLatin1(name), FileStamp()}));
        list->appendFile(*read.table);
    }
    // Jörg twice; Anna and Carla made one person here, to see groups kept together.
    list->setDuplicateGroups({1, 2, 0, 1, 2});
    // Arbeit (0): Anna, Carla; Familie (1): the first Jörg, Anna.
    list->setGroups(std::make_shared<const ContactGroups>(findContactGroups(*list)));
    return list;
}

void tst_ContactListModel::filterShowsItsContactsInTheListsOrder_data() {
    using Quick = ContactFilter::Quick;
    QTest::addColumn<QString>("text");
    QTest::addColumn<Quick>("quick");
    QTest::addColumn<int>("file");
    QTest::addColumn<int>("group");
    QTest::addColumn<bool>("byName");
    QTest::addColumn<QStringList>("shown");
    const QString joerg = QStringLiteral("Jörg Müller");
    const QString anna = QStringLiteral("Anna Strauß");
    const QString bernd = QStringLiteral("Bernd Weber");
    const QString carla = QStringLiteral("Carla Meier");
    constexpr int All = ContactFilter::AllGroups;
    QTest::newRow("ue for ü, in names and companies")
        << QStringLiteral("muell") << Quick::All << -1 << All << false << QStringList{joerg, anna, joerg};
    QTest::newRow("ss for ß") << QStringLiteral("STRAUSS") << Quick::All << -1 << All << false
                              << QStringList{anna};
    QTest::newRow("+49 as 0") << QStringLiteral("+49171") << Quick::All << -1 << All << false
                              << QStringList{joerg, joerg};
    QTest::newRow("one digit: numbers")
        << QStringLiteral("3") << Quick::All << -1 << All << false << QStringList{anna, carla};
    QTest::newRow("e-mail") << QStringLiteral("@example") << Quick::All << -1 << All << true
                            << QStringList{carla, joerg};
    QTest::newRow("nothing") << QStringLiteral("xyz") << Quick::All << -1 << All << false << QStringList{};
    QTest::newRow("favourites") << QString() << Quick::Favourites << -1 << All << false << QStringList{joerg};
    QTest::newRow("without telephone")
        << QString() << Quick::WithoutPhone << -1 << All << false << QStringList{bernd};
    QTest::newRow("without e-mail") << QString() << Quick::WithoutEmail << -1 << All << false
                                    << QStringList{anna, joerg};
    QTest::newRow("duplicates, group by group")
        << QString() << Quick::Duplicates << -1 << All << true << QStringList{anna, carla, joerg, joerg};
    QTest::newRow("second file") << QString() << Quick::File << 1 << All << false
                                 << QStringList{joerg, carla};
    QTest::newRow("text and quick filter")
        << QStringLiteral("jö") << Quick::WithoutEmail << -1 << All << false << QStringList{joerg};
    QTest::newRow("group and text") << QStringLiteral("muell") << Quick::All << -1 << 1 << false
                                    << QStringList{joerg, anna};
    QTest::newRow("group and file") << QString() << Quick::File << 1 << 0 << false << QStringList{carla};
    QTest::newRow("without group and without e-mail")
        << QString() << Quick::WithoutEmail << -1 << int(ContactFilter::Ungrouped) << false
        << QStringList{joerg};
}

void tst_ContactListModel::filterShowsItsContactsInTheListsOrder() {
    QFETCH(QString, text);
    QFETCH(ContactFilter::Quick, quick);
    QFETCH(int, file);
    QFETCH(int, group);
    QFETCH(bool, byName);
    QFETCH(QStringList, shown);
    ImportedLists lists(twoFiles());
    ContactListModel& model = lists.contacts;
    QCOMPARE(model.columnCount(), int(ContactColumn::Count));
    const QPersistentModelIndex last = model.index(4, ContactColumn::Name);
    if (byName) {
        model.sort(ContactColumn::Name, Qt::AscendingOrder);
    }
    // Typed a letter at a time: each filter narrows the one before.
    for (qsizetype typed = text.isEmpty() ? 0 : 1; typed <= text.size(); ++typed) {
        QVERIFY(model.setFilter({text.first(typed), quick, file, group}));
    }
    QCOMPARE(column(model, ContactColumn::Name), shown);
    QCOMPARE(model.contactCount(), 5);
    // The list's search index finds what the contacts' own texts hold.
    const ContactListModel::Shown now = model.shown();
    QCOMPARE(filterContacts(*now.table, now.order, now.filter), now.rows);
    const bool carlaShown = shown.contains(QStringLiteral("Carla Meier"));
    QCOMPARE(last.isValid(), carlaShown);
    if (group != ContactFilter::AllGroups) {
        // Another group's rows are no rows to narrow.
        QVERIFY(model.setFilter({text, quick, file, group == 0 ? 1 : 0}));
        QVERIFY(model.setFilter({text, quick, file, group}));
        QCOMPARE(column(model, ContactColumn::Name), shown);
    }
    // The sort keeps the filter, and the filter the sort.
    model.sort(ContactColumn::Name, Qt::DescendingOrder);
    QCOMPARE(model.rowCount(), shown.size());
    QVERIFY(model.setFilter({}));
    QCOMPARE(model.rowCount(), 5);
    QCOMPARE(model.index(0, ContactColumn::Name).data().toString(), QStringLiteral("Jörg Müller"));
    QCOMPARE(model.index(0, ContactColumn::Name).data(Qt::AccessibleDescriptionRole).toString(),
             QStringLiteral("Doppelt"));
    QCOMPARE(model.index(4, ContactColumn::File).data().toString(), QStringLiteral("a.vcf"));
}

QTEST_MAIN(tst_ContactListModel)
#include "tst_contactlistmodel.moc"
