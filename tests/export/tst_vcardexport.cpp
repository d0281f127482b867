#include "card/contactrows.h"
#include "contactlist/contactlist.h"
#include "corpus.h"
#include "export/contactexport.h"
#include "export/vcardexport.h"
#include "tempfiles.h"
#include "vcard/vcardreader.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <numeric>

using namespace tovanel;

namespace {

struct Read {
    std::shared_ptr<ContactTable> table;
    std::vector<std::uint32_t> order;
    ContactList list() const { return {*table, order}; }
};

Read readFile(const QString& path) {
    VcardReadResult result = readVcardFile(path);
    Read read{result.table, std::vector<std::uint32_t>(size_t(result.table->size()))};
    std::iota(read.order.begin(), read.order.end(), 0u);
    return read;
}

// What a reader of the file sees of each contact: its cells and its detail rows, without what a written
// card says otherwise by design (the UID a card without one gets, the source file's name).
QStringList seen(const Read& read) {
    QStringList contacts;
    for (qsizetype contact = 0; contact < read.table->size(); ++contact) {
        QStringList rows;
        for (const CardRow& row : contactRows(contactOf(read.table, contact), false)) {
            // An empty photo line is left out.
            if (row.value == u"(kein lesbares Bild)") {
                continue;
            }
            QString value = row.value;
            value.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
            // An address has no line breaks, nor Apple's escaped colons: they are written without.
            if (row.kind != ValueKind::Text || row.label == u"Foto") {
                value.remove(u'\n').replace(QStringLiteral("\\:"), QStringLiteral(":"));
            }
            rows << row.label + u'=' + value;
        }
        contacts << rows.join(u'|');
    }
    return contacts;
}

QByteArray exported(const Read& read, const QString& path, ExportFormat format,
                    ExportResult* result = nullptr) {
    const ExportResult written = exportContacts({.list = read.list()}, path, format);
    if (result) {
        *result = written;
    }
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray write(const QByteArray& card, VcardVersion version, CardRewrites* rewrites = nullptr) {
    CardRewrites ignored;
    return versionedCard(card, false, QStringLiteral("Jürgen Müller"), version, card,
                         rewrites ? *rewrites : ignored);
}

} // namespace

class tst_VcardExport : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { Corpus::announce(); }
    void everyCorpusFileReadsBackAlike_data();
    void everyCorpusFileReadsBackAlike();
    void cardsAreWrittenAsTheVersionWants_data();
    void cardsAreWrittenAsTheVersionWants();
    void theFolderHoldsOneFilePerContact();
};

void tst_VcardExport::everyCorpusFileReadsBackAlike_data() {
    QTest::addColumn<QString>("path");
    Corpus::addRows();
}

// Tovanel reading its own export sees what it saw in the source: every cell and detail row, in every
// version.
void tst_VcardExport::everyCorpusFileReadsBackAlike() {
    QFETCH(QString, path);
    if (path.isEmpty()) {
        QSKIP(qPrintable(Corpus::offReason()));
    }
    const Read source = readFile(path);
    TempFiles files;
    for (const auto& [format, version] : {std::pair{ExportFormat::Vcard, VcardVersion::V30},
                                          std::pair{ExportFormat::Vcard4, VcardVersion::V40},
                                          std::pair{ExportFormat::Vcard21, VcardVersion::V21}}) {
        const QString out = files.path(exportFormatNames().at(int(format)) + QStringLiteral(".vcf"));
        ExportResult result;
        const QByteArray bytes = exported(source, out, format, &result);
        QCOMPARE(result.error, QString());
        QVERIFY(!bytes.startsWith("\xEF\xBB\xBF"));
        QVERIFY2(!bytes.contains("\r\n\r\n") && !bytes.contains("\n\n"), "a blank line");
        for (const QByteArray& line : bytes.split('\n')) {
            QVERIFY2(line.size() <= 77, line.constData()); // 75 octets, a blank and CR
        }
        const QStringList before = seen(source);
        const QStringList after = seen(readFile(out));
        QCOMPARE(after.size(), before.size());
        for (qsizetype i = 0; i < before.size(); ++i) {
            const QStringList a = after[i].split(u'|');
            const QStringList b = before[i].split(u'|');
            for (qsizetype r = 0; r < std::max(a.size(), b.size()); ++r) {
                // vCard 2.1 writes types in upper case, which the detail window shows as written.
                if (version == VcardVersion::V21) {
                    QCOMPARE(a.value(r).toUpper(), b.value(r).toUpper());
                } else {
                    QCOMPARE(a.value(r), b.value(r));
                }
            }
        }
        // The same export gives the same bytes, UIDs included.
        QCOMPARE(exported(source, files.path(QStringLiteral("again.vcf")), format), bytes);
    }
}

void tst_VcardExport::cardsAreWrittenAsTheVersionWants_data() {
    QTest::addColumn<QByteArray>("card");
    QTest::addColumn<VcardVersion>("version");
    QTest::addColumn<QByteArrayList>("lines"); // lines of the written card, in this order
    QTest::addColumn<QByteArrayList>("absent");

    const QByteArray qp =
        "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:M=FCller;J=FCrgen\r\n"
        "NOTE;ENCODING=QUOTED-PRINTABLE:a=0D=0Ab, c; d\r\nTEL;CELL;PREF:0171 1\r\nEND:VCARD\r\n";
    QTest::newRow("2.1 quoted-printable to 3.0")
        << qp << VcardVersion::V30
        << QByteArrayList{"VERSION:3.0", "FN:Jürgen Müller", "N:Müller;Jürgen;;;", "NOTE:a\\nb\\, c\\; d",
                          "TEL;TYPE=CELL,PREF:0171 1"}
        << QByteArrayList{"CHARSET", "QUOTED-PRINTABLE"};
    QTest::newRow("2.1 to 4.0: PREF=1")
        << qp << VcardVersion::V40
        << QByteArrayList{"VERSION:4.0", "TEL;TYPE=CELL;PREF=1:0171 1", "UID:urn:uuid:"}
        << QByteArrayList{"CHARSET"};
    QTest::newRow("3.0 to 2.1: quoted-printable UTF-8, bare types in upper case")
        << QByteArray("BEGIN:VCARD\nVERSION:3.0\nFN:x\nN:Müller;Jürgen\nTEL;TYPE=home,voice:1\nEND:VCARD\n")
        << VcardVersion::V21
        << QByteArrayList{"VERSION:2.1",
                          "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:M=C3=BCller;J=C3=BCrgen;;;",
                          "TEL;HOME;VOICE:1"}
        << QByteArrayList{"TYPE="};
    const QByteArray photo = "BEGIN:VCARD\nVERSION:4.0\nFN:x\nPHOTO:data:image/png;base64,iVBORw0KGgo=\n"
                             "LOGO:http://example.com/l.png\nANNIVERSARY:20100606\nEND:VCARD\n";
    QTest::newRow("4.0 photo to 3.0")
        << photo << VcardVersion::V30
        << QByteArrayList{"PHOTO;ENCODING=b;TYPE=PNG:iVBORw0KGgo=", "LOGO;VALUE=uri:http://example.com/l.png",
                          "X-ANNIVERSARY:2010-06-06"}
        << QByteArrayList{"data:"};
    QTest::newRow("4.0 photo to 2.1")
        << photo << VcardVersion::V21
        << QByteArrayList{"PHOTO;ENCODING=BASE64;PNG:iVBORw0KGgo=", "LOGO;VALUE=URL:http://example.com/l.png"}
        << QByteArrayList{};
    QTest::newRow("a day without a year: 4.0's form to 3.0's")
        << QByteArray("BEGIN:VCARD\nVERSION:4.0\nFN:x\nBDAY:--0412\nTZ:-0500\nEND:VCARD\n")
        << VcardVersion::V30 << QByteArrayList{"BDAY;X-APPLE-OMIT-YEAR=1604:1604-04-12", "TZ:-05:00"}
        << QByteArrayList{};
    QTest::newRow("a day without a year: Apple's form to 4.0's, words as text")
        << QByteArray("BEGIN:VCARD\nVERSION:3.0\nFN:x\nBDAY;X-APPLE-OMIT-YEAR=1604:1604-04-12\n"
                      "ANNIVERSARY;VALUE=date:um 1800\nEND:VCARD\n")
        << VcardVersion::V40 << QByteArrayList{"BDAY:--0412", "ANNIVERSARY;VALUE=text:um 1800"}
        << QByteArrayList{"1604"};
    QTest::newRow("3.0 photo without padding to 4.0")
        << QByteArray("BEGIN:VCARD\nVERSION:3.0\nFN:x\nPHOTO;ENCODING=b;TYPE=JPEG:/9j/4AAQ\nEND:VCARD\n")
        << VcardVersion::V40 << QByteArrayList{"PHOTO:data:image/jpeg;base64,/9j/4AAQ"} << QByteArrayList{};
    QTest::newRow("two N: the last, once; no FN: the shown name")
        << QByteArray("BEGIN:VCARD\nVERSION:3.0\nN:Alt;A;;;\nN:Müller;Jürgen;;;\nEND:VCARD\n")
        << VcardVersion::V30 << QByteArrayList{"FN:Jürgen Müller", "N:Müller;Jürgen;;;"}
        << QByteArrayList{"N:Alt"};
    QTest::newRow("no N: made from the shown name, UID kept")
        << QByteArray("BEGIN:VCARD\nVERSION:3.0\nFN:Jürgen Müller\nUID:abc\nEND:VCARD\n") << VcardVersion::V30
        << QByteArrayList{"N:Müller;Jürgen;;;", "UID:abc"} << QByteArrayList{};
    QTest::newRow("categories stay a list, a company's comma is text, an X- value keeps its parts")
        << QByteArray(
               "BEGIN:VCARD\nVERSION:3.0\nFN:x\nCATEGORIES:Familie,Freunde\\, alte\nORG:Firma, Die;Einkauf\n"
               "X-ANDROID-CUSTOM:vnd.android.cursor.item/nickname;Jo;1\nGEO:geo:53.5,9.9\nEND:VCARD\n")
        << VcardVersion::V30
        << QByteArrayList{"CATEGORIES:Familie,Freunde\\, alte", "ORG:Firma\\, Die;Einkauf",
                          "X-ANDROID-CUSTOM:vnd.android.cursor.item/nickname;Jo;1", "GEO:53.5;9.9"}
        << QByteArrayList{};
    QTest::newRow("a geo address written twice over: every scheme goes")
        << QByteArray("BEGIN:VCARD\nVERSION:2.1\nFN:x\nGEO:geo:geo:5\\,-8;u=10\nEND:VCARD\n")
        << VcardVersion::V21 << QByteArrayList{"GEO:5;-8"} << QByteArrayList{"GEO:geo"};
    QTest::newRow("a long line folds between characters")
        << QByteArray("BEGIN:VCARD\nVERSION:3.0\nFN:x\nNOTE:" + QString(80, u'ä').toUtf8() + "\nEND:VCARD\n")
        << VcardVersion::V30
        << QByteArrayList{"NOTE:" + QString(35, u'ä').toUtf8(), ' ' + QString(37, u'ä').toUtf8()}
        << QByteArrayList{};
}

void tst_VcardExport::cardsAreWrittenAsTheVersionWants() {
    QFETCH(QByteArray, card);
    QFETCH(VcardVersion, version);
    QFETCH(QByteArrayList, lines);
    QFETCH(QByteArrayList, absent);
    const QByteArray written = write(card, version);
    QVERIFY2(written.startsWith("BEGIN:VCARD\r\n") && written.endsWith("\r\nEND:VCARD\r\n"),
             written.constData());
    qsizetype at = 0;
    for (const QByteArray& line : lines) {
        const qsizetype found = written.indexOf("\n" + line, at);
        QVERIFY2(found >= 0, qPrintable(QString::fromUtf8(line + " not after byte " + QByteArray::number(at) +
                                                          " of\n" + written)));
        at = found + 1;
    }
    for (const QByteArray& text : absent) {
        QVERIFY2(!written.contains(text), written.constData());
    }
    // Read again and written again, a card stays as it is.
    QCOMPARE(write(written, version), written);
}

void tst_VcardExport::theFolderHoldsOneFilePerContact() {
    TempFiles files;
    const QString source = files.write(
        QStringLiteral("a.vcf"), "BEGIN:VCARD\nVERSION:3.0\nFN:Jürgen "
                                 "Müller\nEND:VCARD\nBEGIN:VCARD\nVERSION:3.0\nFN:jürgen müller\nEND:VCARD\n"
                                 "BEGIN:VCARD\nVERSION:3.0\nFN:../.versteckt/"
                                 "\\x\nEND:VCARD\nBEGIN:VCARD\nVERSION:3.0\nORG:Firma\nEND:VCARD\n");
    const Read read = readFile(source);
    const QString folder = files.path(QStringLiteral("neu"));
    const ExportResult result = exportContacts({.list = read.list()}, folder, ExportFormat::Folder);
    QCOMPARE(result.error, QString());
    QCOMPARE(QDir(folder).entryList(QDir::Files, QDir::Name),
             (QStringList{QStringLiteral("Firma.vcf"), QStringLiteral("Jürgen Müller.vcf"),
                          QStringLiteral("jürgen müller (2).vcf"), QStringLiteral("versteckt x.vcf")}));
    QCOMPARE(readFile(folder + QStringLiteral("/Firma.vcf")).table->text(0, Field::Company), u"Firma");
    // A folder that holds anything is refused, and nothing in it changes.
    const ExportResult again = exportContacts({.list = read.list()}, folder, ExportFormat::Folder);
    QCOMPARE(again.status, ExportResult::Status::Failed);
    QVERIFY2(again.error.contains(QStringLiteral("nicht leer")), qPrintable(again.error));
    QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 4);
}

QTEST_MAIN(tst_VcardExport)
#include "tst_vcardexport.moc"
