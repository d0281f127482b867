// Reading a vCard file returns a result: the table, how the reading ended, and the messages that calls for.
#include "contacts/carddate.h"
#include "importedlists.h"
#include "trickledevice.h"
#include "vcard/importmessages.h"

#include <QTest>
#include <algorithm>
#include <cstring>

using namespace tovanel;

namespace {

const QByteArray TwoCards = "BEGIN:VCARD\nFN:Anna\nEND:VCARD\nBEGIN:VCARD\nFN:Bernd\nEND:VCARD\n";

// A file of more than 2 GiB without the disk: a card, megabytes of lines outside any card, and a last
// card, produced as they are read.
class HugeFileDevice final : public QIODevice {
public:
    static constexpr qint64 PaddingLine = 1 << 16;
    static constexpr qint64 PaddingLines = (qint64(1) << 31) / PaddingLine + 16;
    const QByteArray head = "BEGIN:VCARD\nFN:Vorne\nEND:VCARD\n";
    const QByteArray tail = "BEGIN:VCARD\nFN:Hinten\nEND:VCARD\n";
    const qint64 total = head.size() + PaddingLines * PaddingLine + tail.size();

    HugeFileDevice() { open(QIODevice::ReadOnly); }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        const qint64 n = std::min(maxSize, total - m_pos);
        const qint64 paddingEnd = total - tail.size();
        for (qint64 i = 0; i < n;) {
            const qint64 at = m_pos + i;
            if (at < head.size()) {
                data[i++] = head[at];
            } else if (at >= paddingEnd) {
                data[i++] = tail[at - paddingEnd];
            } else {
                // "X-PAD:xxx...x\n" lines of PaddingLine bytes.
                const qint64 inLine = (at - head.size()) % PaddingLine;
                const qint64 run = std::min(n - i, PaddingLine - inLine);
                std::memset(data + i, 'x', size_t(run));
                if (inLine == 0 && run >= 6) {
                    std::memcpy(data + i, "X-PAD:", 6);
                }
                if (inLine + run == PaddingLine) {
                    data[i + run - 1] = '\n';
                }
                i += run;
            }
        }
        m_pos += n;
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    qint64 m_pos = 0;
};

// What a contact holds besides the cells, a line per field that is not empty: the fields in their order
// (a field's several values joined by "|"), the name with the family name first where it differs from the
// name, the birthday and the anniversaries.
QStringList furtherFields(const ContactTable& table, qsizetype contact) {
    static const std::pair<Field, const char*> fields[] = {
        {Field::Title, "Title"},
        {Field::Department, "Department"},
        {Field::HomeCountry, "HomeCountry"},
        {Field::WorkCountry, "WorkCountry"},
        {Field::OtherPhones, "OtherPhones"},
        {Field::OtherEmails, "OtherEmails"},
        {Field::Members, "Members"},
        {Field::FamilyFirst, "FamilyFirst"},
        {Field::BirthdayText, "BirthdayText"},
    };
    QStringList lines;
    for (const auto& [field, key] : fields) {
        if (const QString text = table.text(contact, field).toString(); !text.isEmpty()) {
            lines << QLatin1String(key) + u'=' + QString(text).replace(u'\n', u'|');
        }
    }
    if (const QStringList groups = table.groupNames(contact); !groups.isEmpty()) {
        lines << QStringLiteral("Categories=") + groups.join(u'|');
    }
    if (const QString name = table.familyFirstName(contact); name != table.text(contact, Field::Name)) {
        lines << QStringLiteral("familyFirstName=") + name;
    }
    const auto date = [](std::uint32_t packed) {
        const CardDate day = CardDate::unpacked(packed);
        return QStringLiteral("%1-%2-%3")
            .arg(day.year == 0 ? QStringLiteral("-") : QString::number(day.year))
            .arg(day.month, 2, 10, QLatin1Char('0'))
            .arg(day.day, 2, 10, QLatin1Char('0'));
    };
    if (const std::uint32_t birthday = table.birthday(contact); birthday != 0) {
        lines << QStringLiteral("birthday=") + date(birthday);
    }
    for (const auto& [owner, anniversary] : table.anniversaries()) {
        if (owner == contact) {
            lines << QStringLiteral("anniversary=") + date(anniversary);
        }
    }
    return lines;
}

} // namespace

class tst_VcardReader : public QObject {
    Q_OBJECT

private slots:
    void readErrorKeepsRowsReadSoFar();
    void keepsPositionsBeyondTwoGigabytes();
    void messagesForResult_data();
    void messagesForResult();
    void keepsFurtherFields_data();
    void keepsFurtherFields();
};

void tst_VcardReader::readErrorKeepsRowsReadSoFar() {
    const QByteArray data = TwoCards + "BEGIN:VCARD\nFN:Dahinter\nEND:VCARD\n";
    TrickleDevice device(data, TwoCards.size() + 5);
    const VcardReadResult result = ImportedLists(device).result;
    QCOMPARE(result.status, VcardReadResult::Status::ReadError);
    QCOMPARE(result.error, QStringLiteral("Eingabe-/Ausgabefehler"));
    QCOMPARE(result.table->size(), 2);
    QCOMPARE(result.table->text(1, Field::Name).toString(), QStringLiteral("Bernd"));
}

void tst_VcardReader::keepsPositionsBeyondTwoGigabytes() {
    HugeFileDevice device;
    QVERIFY(device.total > (qint64(1) << 31));
    const ImportedLists lists(device);
    const VcardReadResult& result = lists.result;
    QCOMPARE(result.status, VcardReadResult::Status::ReadToEnd);
    QCOMPARE(result.table->size(), 2);
    QCOMPARE(result.table->text(1, Field::Name).toString(), QStringLiteral("Hinten"));
    QCOMPARE(result.table->endPosition(0), qint64(device.head.size()));
    QCOMPARE(result.table->endPosition(1), device.total);
    QCOMPARE(lists.contacts.cell(1, ContactColumn::EndPosition), QString::number(device.total));
}

void tst_VcardReader::messagesForResult_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("cards");
    QTest::addColumn<QStringList>("messages");
    const QString path = QStringLiteral("/tmp/k.vcf");
    using Status = VcardReadResult::Status;
    QTest::newRow("read to end") << int(Status::ReadToEnd) << 1 << QStringList();
    QTest::newRow("nothing in it") << int(Status::ReadToEnd) << 0
                                   << QStringList{ImportMessages::nothingImported()};
    // The cards before a stray "END" stay; the message is the same.
    QTest::newRow("stray END") << int(Status::StrayEnd) << 1 << QStringList{ImportMessages::strayEnd()};
    QTest::newRow("read error") << int(Status::ReadError) << 1
                                << QStringList{ImportMessages::cannotRead(path, QStringLiteral("Grund"))};
    QTest::newRow("out of memory") << int(Status::OutOfMemory) << 0
                                   << QStringList{ImportMessages::outOfMemory(path)};
    QTest::newRow("cancelled") << int(Status::Cancelled) << 0 << QStringList();
}

void tst_VcardReader::messagesForResult() {
    QFETCH(int, status);
    QFETCH(int, cards);
    QFETCH(QStringList, messages);
    VcardReadResult result;
    result.status = VcardReadResult::Status(status);
    result.error = QStringLiteral("Grund");
    for (int i = 0; i < cards; ++i) {
        result.table->append({}, 0, 0, -1);
    }
    QCOMPARE(ImportMessages::forResult(result, QStringLiteral("/tmp/k.vcf")), messages);
}

void tst_VcardReader::keepsFurtherFields_data() {
    QTest::addColumn<QByteArray>("lines"); // of one card, between BEGIN and END
    QTest::addColumn<QStringList>("fields");
    QTest::newRow("title and department")
        << QByteArray("FN:Anna\nTITLE:Leiterin\nORG:Nord GmbH;Vertrieb;Innendienst\n")
        << QStringList{QStringLiteral("Title=Leiterin"), QStringLiteral("Department=Vertrieb")};
    QTest::newRow("countries") << QByteArray("FN:Anna\nADR;TYPE=HOME:;;Weg 1;Köln;;50667;Deutschland\n"
                                             "ADR;TYPE=WORK:;;Ring 2;Wien;;1010;Österreich\n")
                               << QStringList{QStringLiteral("HomeCountry=Deutschland"),
                                              QStringLiteral("WorkCountry=Österreich")};
    QTest::newRow("fax, second mobile and untyped numbers, not the cells' ones")
        << QByteArray("FN:Anna\nTEL;TYPE=CELL:0171 1\nTEL;TYPE=FAX:030 2\nTEL;TYPE=CELL:0172 3\n"
                      "TEL;TYPE=HOME:030 4\nTEL:030 5\n")
        << QStringList{QStringLiteral("OtherPhones=0171 1|030 2|030 5")};
    QTest::newRow("a preferred number keeps its cell")
        << QByteArray("FN:Anna\nTEL;TYPE=CELL,PREF:0171 1\nTEL;TYPE=CELL:0172 3\n")
        << QStringList{QStringLiteral("OtherPhones=0172 3")};
    QTest::newRow("e-mail addresses besides the cell's")
        << QByteArray("FN:Anna\nEMAIL:a@x.de\nEMAIL;TYPE=WORK:b@x.de\nEMAIL:c@x.de\n")
        << QStringList{QStringLiteral("OtherEmails=a@x.de|b@x.de")};
    QTest::newRow("a number or an address across lines leaves the others theirs")
        << QByteArray("FN:Anna\nEMAIL:a@x.de\nEMAIL:b\\nc@x.de\nTEL;TYPE=CELL:0171\\n1\nTEL:030 5\n")
        << QStringList{QStringLiteral("OtherPhones=030 5"), QStringLiteral("OtherEmails=a@x.de")};
    QTest::newRow("categories, an escaped comma stays")
        << QByteArray("FN:Anna\nCATEGORIES:Familie, Müller\\, Meier ,,Freunde\nCATEGORIES:Verein\n")
        << QStringList{QStringLiteral("Categories=Familie|Freunde|Müller, Meier|Verein")};
    QByteArray many = "FN:Anna\nCATEGORIES:";
    QStringList kept;
    for (int i = 0; i < 10000; ++i) {
        many += (i == 0 ? "G" : ",G") + QByteArray::number(i);
        kept << QStringLiteral("G%1").arg(i);
    }
    QTest::newRow("10,000 categories") << many + "\n"
                                       << QStringList{QStringLiteral("Categories=") + kept.join(u'|')};
    QTest::newRow("birthday") << QByteArray("FN:Anna\nBDAY:1980-05-17\n")
                              << QStringList{QStringLiteral("birthday=1980-05-17")};
    QTest::newRow("birthday without a year, 29 February")
        << QByteArray("FN:Anna\nBDAY:--0229\n") << QStringList{QStringLiteral("birthday=--02-29")};
    QTest::newRow("birthday that is no date")
        << QByteArray("FN:Anna\nBDAY:2023-13-45\n") << QStringList{QStringLiteral("BirthdayText=2023-13-45")};
    QTest::newRow("anniversaries, Apple's by their label only")
        << QByteArray("FN:Anna\nANNIVERSARY:20090808T1430-0500\n"
                      "item1.X-ABDATE;type=pref:2001-06-02\nitem1.X-ABLABEL:_$!<Anniversary>!$_\n"
                      "item2.X-ABDATE:1604-03-04\nitem2.X-ABLABEL:_$!<Other>!$_\n")
        << QStringList{QStringLiteral("anniversary=2009-08-08"), QStringLiteral("anniversary=2001-06-02")};
    QTest::newRow("name ending in the family name")
        << QByteArray("FN:Jürgen Müller\nN:Müller;Jürgen;;;\n")
        << QStringList{QStringLiteral("familyFirstName=Müller, Jürgen")};
    QTest::newRow("name with a prefix") << QByteArray("FN:Dr. Jürgen Müller\nN:Müller;Jürgen;;Dr.;\n")
                                        << QStringList{QStringLiteral("FamilyFirst=Müller, Jürgen"),
                                                       QStringLiteral("familyFirstName=Müller, Jürgen")};
    QTest::newRow("family name too long to be kept as a length")
        << QByteArray(
               "FN:Anna von Müller-Lüdenscheidt-Wanne-Eickel\nN:von Müller-Lüdenscheidt-Wanne-Eickel;Anna\n")
        << QStringList{QStringLiteral("FamilyFirst=von Müller-Lüdenscheidt-Wanne-Eickel, Anna"),
                       QStringLiteral("familyFirstName=von Müller-Lüdenscheidt-Wanne-Eickel, Anna")};
    QTest::newRow("company card") << QByteArray("FN:Nord GmbH\nN:Müller;Jürgen;;;\nX-ABShowAs:COMPANY\n")
                                  << QStringList{};
    QTest::newRow("no N") << QByteArray("FN:Jürgen Müller\n") << QStringList{};
}

void tst_VcardReader::keepsFurtherFields() {
    QFETCH(QByteArray, lines);
    const ImportedLists lists("BEGIN:VCARD\nVERSION:3.0\n" + lines + "END:VCARD\n");
    QCOMPARE(lists.result.table->size(), 1);
    QTEST(furtherFields(*lists.result.table, 0), "fields");
}

QTEST_MAIN(tst_VcardReader)
#include "tst_vcardreader.moc"
