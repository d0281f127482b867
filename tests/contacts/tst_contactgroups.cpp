// The groups of a list: each row is a file (cards given by their lines, or a file of the corpus) and what
// findContactGroups makes of it, group by group in their order with their members, then the contacts in
// no group.
#include "contacts/contactgroups.h"
#include "contacts/contacttable.h"
#include "corpus.h"
#include "importedlists.h"

#include <QFile>
#include <QTest>

using namespace tovanel;

namespace {

// One file of cards, each given by its lines without BEGIN, VERSION and END ("\n" between lines).
QByteArray file(std::initializer_list<const char*> cards) {
    QByteArray bytes;
    for (const char* card : cards) {
        bytes += "BEGIN:VCARD\nVERSION:3.0\n" + QByteArray(card) + "\nEND:VCARD\n";
    }
    return bytes;
}

// A corpus file's bytes; none without the corpus.
QByteArray corpusFile(const QString& name) {
    QFile file(Corpus::folder() + u'/' + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// "Familie (2): Anna, Bernd" for each group, then "Ohne Gruppe (1)".
QStringList described(const ContactTable& table, const ContactGroups& groups) {
    QStringList lines;
    for (qsizetype group = 0; group < groups.names.size(); ++group) {
        QStringList members;
        for (qsizetype contact = 0; contact < table.size(); ++contact) {
            const std::vector<std::uint32_t>& set = groups.sets[table.groupSet(contact)];
            if (std::find(set.begin(), set.end(), std::uint32_t(group)) != set.end()) {
                members << table.text(contact, Field::Name).toString();
            }
        }
        lines << QStringLiteral("%1 (%2): %3")
                     .arg(groups.names[group])
                     .arg(groups.sizes[size_t(group)])
                     .arg(members.join(QStringLiteral(", ")));
    }
    return lines << QStringLiteral("Ohne Gruppe (%1)").arg(groups.ungrouped);
}

} // namespace

class tst_ContactGroups : public QObject {
    Q_OBJECT

private slots:
    void findsCategoriesAndGroupCards_data();
    void findsCategoriesAndGroupCards();
};

void tst_ContactGroups::findsCategoriesAndGroupCards_data() {
    QTest::addColumn<QByteArray>("vcf");
    QTest::addColumn<QStringList>("groups");
    QTest::newRow("no groups") << file({"FN:Anna", "FN:Bernd"})
                               << QStringList{QStringLiteral("Ohne Gruppe (2)")};
    QTest::newRow("categories, each value a group, in German order")
        << file({"FN:Anna\nCATEGORIES:Freunde, Familie,Freunde",
                 "FN:Bernd\nCATEGORIES:Ärzte\nCATEGORIES:Freunde", "FN:Carla"})
        << QStringList{QStringLiteral("Ärzte (1): Bernd"), QStringLiteral("Familie (1): Anna"),
                       QStringLiteral("Freunde (2): Anna, Bernd"), QStringLiteral("Ohne Gruppe (1)")};
    QTest::newRow("Apple's group card, members by UID")
        << file({"FN:Freunde\nX-ADDRESSBOOKSERVER-KIND:group\nUID:G-1\n"
                 "X-ADDRESSBOOKSERVER-MEMBER:urn:uuid:A-1\nX-ADDRESSBOOKSERVER-MEMBER:urn:uuid:C-3",
                 "FN:Anna\nUID:A-1", "FN:Bernd\nUID:B-2", "FN:Carla\nUID:urn:uuid:C-3"})
        << QStringList{QStringLiteral("Freunde (2): Anna, Carla"), QStringLiteral("Ohne Gruppe (2)")};
    QTest::newRow("a group card listing itself, and a member nobody is")
        << file({"FN:Verein\nKIND:group\nUID:urn:uuid:G-1\nMEMBER:urn:uuid:G-1\nMEMBER:urn:uuid:X-9\n"
                 "MEMBER:urn:uuid:A-1",
                 "FN:Anna\nUID:A-1", "FN:Leer\nKIND:group\nMEMBER:urn:uuid:X-9"})
        << QStringList{QStringLiteral("Leer (0): "), QStringLiteral("Verein (1): Anna"),
                       QStringLiteral("Ohne Gruppe (2)")};
    QTest::newRow("members of a card that is no group card")
        << file({"FN:Anna\nUID:A-1", "FN:Bernd\nMEMBER:urn:uuid:A-1"})
        << QStringList{QStringLiteral("Ohne Gruppe (2)")};
    QTest::newRow("a category and a group card of one name are one group")
        << file({"FN:Familie\nKIND:group\nMEMBER:urn:uuid:A-1\nMEMBER:urn:uuid:B-2",
                 "FN:Anna\nUID:A-1\nCATEGORIES:Familie", "FN:Bernd\nUID:B-2", "FN:Carla\nCATEGORIES:Familie"})
        << QStringList{QStringLiteral("Familie (3): Anna, Bernd, Carla"), QStringLiteral("Ohne Gruppe (1)")};
    // vCard 4.0 group cards as programs write them; their other members are e-mail and telephone URIs.
    const QString john =
        QStringLiteral("Dr. John Philip Paul Stevenson Jr. M.D. A.C.P."); // by two CATEGORIES lines
    QTest::newRow("corpus: a group whose members are not in the file")
        << corpusFile(QStringLiteral("py-vobject__vobject/test_files__vcard40_group.vcf"))
        << QStringList{QStringLiteral("The Doe Family (0): "), QStringLiteral("Ohne Gruppe (1)")};
    QTest::newRow("corpus: group cards and categories")
        << corpusFile(QStringLiteral("stalwartlabs__calcard/resources__vcard__rfc.vcf"))
        << QStringList{QStringLiteral("Funky distribution list (0): "),
                       QStringLiteral("IETF (1): ") + john,
                       QStringLiteral("INDUSTRY (1): ") + john,
                       QStringLiteral("INFORMATION TECHNOLOGY (1): ") + john,
                       QStringLiteral("INTERNET (1): ") + john,
                       QStringLiteral("The Doe family (1): John Doe"),
                       QStringLiteral("TRAVEL AGENT (1): ") + john,
                       QStringLiteral("Ohne Gruppe (7)")};
}

void tst_ContactGroups::findsCategoriesAndGroupCards() {
    QFETCH(QByteArray, vcf);
    if (vcf.isEmpty()) {
        QSKIP(qPrintable(Corpus::offReason()));
    }
    const ImportedLists lists(vcf);
    const ContactTable& table = *lists.result.table;
    const ContactGroups& groups = table.groups(); // found as the import finds them
    QTEST(described(table, groups), "groups");
}

QTEST_MAIN(tst_ContactGroups)
#include "tst_contactgroups.moc"
