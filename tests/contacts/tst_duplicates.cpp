// Duplicates: each row is a list of one or more files (cards given by their lines) and the group every
// contact of the list must get. Each row runs twice: with the whole hash, and with every key of a kind
// colliding, so that only the comparison of the keys themselves can tell them apart.
#include "contacts/contactsource.h"
#include "contacts/contacttable.h"
#include "contacts/duplicates.h"
#include "importedlists.h"

#include <QTest>
#include <algorithm>

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

using Files = QList<QByteArray>;

} // namespace

class tst_Duplicates : public QObject {
    Q_OBJECT

private slots:
    void contactsSharingAKeyShareAGroup_data();
    void contactsSharingAKeyShareAGroup();
};

void tst_Duplicates::contactsSharingAKeyShareAGroup_data() {
    QTest::addColumn<Files>("files");
    QTest::addColumn<QString>("groups"); // per contact: 0, or 1 + the group's first contact

    QTest::newRow("+49, 0049 and 0 are one number, in any of the three cells")
        << Files{file({"TEL;TYPE=CELL:+49 171 1234567", "TEL;TYPE=HOME:0049 171 1234567",
                       "TEL;TYPE=WORK:0171/1234567", "TEL;TYPE=CELL:0171 1234568"})}
        << "1 1 1 0";
    QTest::newRow("+43 is 0043, not 0") << Files{file({"TEL;TYPE=CELL:+43 1 234", "TEL;TYPE=CELL:0043 1 234",
                                                       "TEL;TYPE=CELL:01 234", "TEL;TYPE=CELL:(+43) 1-234"})}
                                        << "1 1 0 1";
    QTest::newRow("e-mail ignoring case and blanks")
        << Files{file({"EMAIL: Anna.Berg@Example.ORG ", "EMAIL:anna.berg@example.org",
                       "EMAIL:anna.berg@example.com", "EMAIL:JÜRGEN@beispiel.de",
                       "EMAIL:jürgen@beispiel.de"})}
        << "1 1 0 4 4";
    QTest::newRow("UID exactly, the last of a card")
        << Files{file({"UID:urn:uuid:ab-12", "UID:  urn:uuid:ab-12 ", "UID:urn:uuid:AB-12",
                       "UID:alt\nUID:urn:uuid:AB-12"})}
        << "1 1 3 3";
    QTest::newRow("transitive: number, then address, then UID")
        << Files{file({"TEL;TYPE=CELL:0171 111", "TEL;TYPE=HOME:0171 111\nEMAIL:b@x.de",
                       "EMAIL:B@X.DE\nUID:u-1", "UID:u-1", "TEL;TYPE=CELL:0171 222\nUID:u-2", "UID:u-2"})}
        << "1 1 1 1 5 5";
    QTest::newRow("different kinds never match")
        << Files{file({"TEL;TYPE=CELL:12345", "UID:12345", "EMAIL:12345"})} << "0 0 0";
    QTest::newRow("fewer than three digits are no number")
        << Files{file({"TEL;TYPE=CELL:12", "TEL;TYPE=HOME:1-2", "TEL;TYPE=CELL:+1", "TEL;TYPE=WORK:+1",
                       "TEL;TYPE=CELL:123", "TEL;TYPE=WORK:1 2 3"})}
        << "0 0 0 0 5 5";
    QTest::newRow("no keys, or the same key twice in one card only")
        << Files{file({"FN:Gleich", "FN:Gleich\nNOTE:x", "TEL;TYPE=CELL:0171 5\nTEL;TYPE=HOME:0171 5"})}
        << "0 0 0";
    QTest::newRow("across two files")
        << Files{file({"FN:A\nTEL;TYPE=CELL:0171 77", "FN:B\nEMAIL:b@x.de"}),
                 file({"FN:C", "FN:A\nTEL;TYPE=WORK:+49 171 77", "FN:D\nEMAIL:d@x.de"})}
        << "1 0 0 1 0";
    QTest::newRow("within one file and across three")
        << Files{file({"UID:u", "UID:u"}), file({"FN:X"}), file({"UID:u"})} << "1 1 0 1";
}

void tst_Duplicates::contactsSharingAKeyShareAGroup() {
    QFETCH(Files, files);
    QFETCH(QString, groups);
    ContactTable table;
    for (const QByteArray& bytes : files) {
        const VcardReadResult read = ImportedLists::read(bytes);
        QCOMPARE(read.status, VcardReadResult::Status::ReadToEnd);
        read.table->setSource(std::make_shared<const ContactSource>());
        table.appendFile(*read.table);
    }
    for (const int hashBits : {64, 0}) {
        std::vector<std::uint32_t> found =
            hashBits == 64 ? findDuplicateGroups(table) : findDuplicateGroups(table, hashBits);
        // No vector at all when there is no duplicate.
        QCOMPARE(found.empty(),
                 std::all_of(groups.begin(), groups.end(), [](QChar c) { return c == u'0' || c == u' '; }));
        table.setDuplicateGroups(std::move(found));
        QStringList actual;
        for (qsizetype contact = 0; contact < table.size(); ++contact) {
            actual << QString::number(table.duplicateGroup(contact));
        }
        QCOMPARE(actual.join(u' '), groups);
    }
}

QTEST_GUILESS_MAIN(tst_Duplicates)
#include "tst_duplicates.moc"
