#include "contacts/contacttable.h"
#include "corpus.h"
#include "export/addressbookcsv.h"
#include "export/contactexport.h"
#include "importedlists.h"
#include "tempfiles.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTest>
#include <QXmlStreamReader>

using namespace tovanel;

namespace {

// The rows of a CSV file's bytes as Python's csv module reads them: the reader of other people, with
// Google's encoding (UTF-8) or German Outlook's (Windows-1252).
QList<QStringList> pythonCsv(const QByteArray& bytes, ExportFormat format) {
    const QString encoding =
        format == ExportFormat::CsvOutlook ? QStringLiteral("cp1252") : QStringLiteral("utf-8");
    QProcess python;
    python.start(
        QStringLiteral("python3"),
        {QStringLiteral("-c"),
         QStringLiteral("import csv, io, json, sys\n"
                        "text = io.TextIOWrapper(sys.stdin.buffer, encoding=sys.argv[1], newline='')\n"
                        "print(json.dumps(list(csv.reader(text, strict=True))))"),
         encoding});
    python.write(bytes);
    python.closeWriteChannel();
    if (!python.waitForFinished(60000) || python.exitCode() != 0) {
        qWarning("python3 failed: %s", python.readAllStandardError().constData());
        return {};
    }
    QList<QStringList> rows;
    for (const QJsonValue row : QJsonDocument::fromJson(python.readAllStandardOutput()).array()) {
        rows << row.toVariant().toStringList();
    }
    return rows;
}

// The list written in `format` into memory.
QByteArray written(const ImportedLists& lists, ExportFormat format, ExportResult* result) {
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    *result = writeContacts({.list = lists.contacts.shownList(), .title = QStringLiteral("Telefonbuch")}, out,
                            QStringLiteral("a"), format);
    return out.data();
}

ExportResult exportTo(const ImportedLists& lists, const QString& path, ExportFormat format) {
    return exportContacts({.list = lists.contacts.shownList(), .title = QStringLiteral("Telefonbuch")}, path,
                          format);
}

QString withCrLf(QByteArray card) {
    return QString::fromUtf8(card.replace("\n", "\r\n"));
}

} // namespace

class tst_AddressBookFormats : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { Corpus::announce(); }
    void headingIsWhatTheProgramWrites_data();
    void headingIsWhatTheProgramWrites();
    void cardReadsBackIntoItsCells_data();
    void cardReadsBackIntoItsCells();
    void phoneBookHoldsEveryNumber_data();
    void phoneBookHoldsEveryNumber();
    void realFilesGiveWholeRows();
};

void tst_AddressBookFormats::headingIsWhatTheProgramWrites_data() {
    QTest::addColumn<ExportFormat>("format");
    QTest::addColumn<QByteArray>("heading");
    QTest::newRow("Google")
        << ExportFormat::CsvGoogle
        << QByteArray("First Name,Middle Name,Last Name,Phonetic First Name,Phonetic Middle Name,"
                      "Phonetic Last Name,Name Prefix,Name Suffix,Nickname,File As,Organization "
                      "Name,Organization Title,Organization Department,Birthday,Notes,Photo,Labels,"
                      "E-mail 1 - Label,E-mail 1 - Value,E-mail 2 - Label,E-mail 2 - Value,"
                      "E-mail 3 - Label,E-mail 3 - Value,"
                      "Phone 1 - Label,Phone 1 - Value,Phone 2 - Label,Phone 2 - Value,"
                      "Phone 3 - Label,Phone 3 - Value,Phone 4 - Label,Phone 4 - Value,"
                      "Phone 5 - Label,Phone 5 - Value,Phone 6 - Label,Phone 6 - Value,"
                      "Phone 7 - Label,Phone 7 - Value,"
                      "Address 1 - Label,Address 1 - Formatted,Address 1 - Street,Address 1 - City,"
                      "Address 1 - PO Box,Address 1 - Region,Address 1 - Postal Code,"
                      "Address 1 - Country,Address 1 - Extended Address,"
                      "Address 2 - Label,Address 2 - Formatted,Address 2 - Street,Address 2 - City,"
                      "Address 2 - PO Box,Address 2 - Region,Address 2 - Postal Code,"
                      "Address 2 - Country,Address 2 - Extended Address,"
                      "Address 3 - Label,Address 3 - Formatted,Address 3 - Street,Address 3 - City,"
                      "Address 3 - PO Box,Address 3 - Region,Address 3 - Postal Code,"
                      "Address 3 - Country,Address 3 - Extended Address,"
                      "Website 1 - Label,Website 1 - Value,Website 2 - Label,Website 2 - Value,"
                      "Website 3 - Label,Website 3 - Value\r\n");
    // Windows-1252, whose umlauts and ß are Latin-1's.
    QTest::newRow("Outlook")
        << ExportFormat::CsvOutlook
        << QStringLiteral(
               "\"Anrede\",\"Vorname\",\"Weitere Vornamen\",\"Nachname\",\"Suffix\",\"Firma\",\"Abteilung\","
               "\"Position\",\"Straße geschäftlich\",\"Straße geschäftlich 2\",\"Straße geschäftlich 3\","
               "\"Ort geschäftlich\",\"Region geschäftlich\",\"Postleitzahl geschäftlich\","
               "\"Land/Region geschäftlich\",\"Straße privat\",\"Straße privat 2\",\"Straße privat 3\","
               "\"Ort privat\",\"Bundesland/Kanton privat\",\"Postleitzahl privat\",\"Land/Region privat\","
               "\"Weitere Straße\",\"Weitere Straße 2\",\"Weitere Straße 3\",\"Weiterer Ort\","
               "\"Weiteres/r Bundesland/Kanton\",\"Weitere Postleitzahl\",\"Weiteres/e Land/Region\","
               "\"Telefon Assistent\",\"Fax geschäftlich\",\"Telefon geschäftlich\",\"Telefon geschäftlich "
               "2\","
               "\"Rückmeldung\",\"Autotelefon\",\"Telefon Firma\",\"Fax privat\",\"Telefon privat\","
               "\"Telefon privat 2\",\"ISDN\",\"Mobiltelefon\",\"Weiteres Fax\",\"Weiteres "
               "Telefon\",\"Pager\","
               "\"Haupttelefon\",\"Mobiltelefon 2\",\"Telefon für Hörbehinderte\",\"Telex\","
               "\"Abrechnungsinformation\",\"Benutzer 1\",\"Benutzer 2\",\"Benutzer 3\",\"Benutzer 4\","
               "\"Beruf\",\"Büro\",\"E-Mail-Adresse\",\"E-Mail-Typ\",\"E-Mail: Angezeigter Name\","
               "\"E-Mail 2: Adresse\",\"E-Mail 2: Typ\",\"E-Mail 2: Angezeigter Name\",\"E-Mail 3: Adresse\","
               "\"E-Mail 3: Typ\",\"E-Mail 3: Angezeigter Name\",\"Empfohlen von\",\"Geburtstag\","
               "\"Geschlecht\",\"Hobby\",\"Initialen\",\"Internet-Frei/"
               "Gebucht\",\"Jahrestag\",\"Kategorien\","
               "\"Kinder\",\"Konto\",\"Name Assistent\",\"Name des/der Vorgesetzten\",\"Notizen\","
               "\"Organisationsnr.\",\"Ort\",\"Partner\",\"Postfach geschäftlich\",\"Postfach privat\","
               "\"Priorität\",\"Privat\",\"Regierungsnr.\",\"Reisekilometer\",\"Sprache\",\"Stichwörter\","
               "\"Vertraulichkeit\",\"Verzeichnisserver\",\"Webseite\",\"Weiteres Postfach\"\r\n")
               .toLatin1();
}

void tst_AddressBookFormats::headingIsWhatTheProgramWrites() {
    QFETCH(ExportFormat, format);
    QFETCH(QByteArray, heading);
    const ImportedLists lists(QByteArray("BEGIN:VCARD\r\nFN:A\r\nEND:VCARD\r\n"));
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    const ExportResult result = writeContacts({.list = lists.contacts.shownList()}, out, {}, format);
    QCOMPARE(result.status, ExportResult::Status::Written);
    QCOMPARE(out.data().left(heading.size()), heading);
}

void tst_AddressBookFormats::cardReadsBackIntoItsCells_data() {
    QTest::addColumn<ExportFormat>("format");
    QTest::addColumn<QByteArray>("card"); // the lines between BEGIN and END
    QTest::addColumn<QString>("heading");
    QTest::addColumn<QString>("cell");
    const auto google = ExportFormat::CsvGoogle;
    const auto outlook = ExportFormat::CsvOutlook;
    const QByteArray several(
        "FN:A\nTEL;TYPE=CELL:0171 111\nTEL;TYPE=WORK:030 1\nTEL;TYPE=CELL,PREF:+49 172 2\n");
    QTest::newRow("Google: one label's numbers in one cell, the preferred first")
        << google << several << QStringLiteral("Phone 1 - Value") << QStringLiteral("+49 172 2 ::: 0171 111");
    QTest::newRow("Google: the preferred number's label")
        << google << several << QStringLiteral("Phone 1 - Label") << QStringLiteral("* Mobile");
    QTest::newRow("Google: a second label, a second group")
        << google << several << QStringLiteral("Phone 2 - Value") << QStringLiteral("030 1");
    const QByteArray note("FN:A\nNOTE:Grüße\\, \"Jürgen\"\\nZeile 2\n");
    QTest::newRow("Google: umlauts, a quote and a line break")
        << google << note << QStringLiteral("Notes") << QStringLiteral("Grüße, \"Jürgen\"\nZeile 2");
    QTest::newRow("Outlook: umlauts, a quote and a line break")
        << outlook << note << QStringLiteral("Notizen") << QStringLiteral("Grüße, \"Jürgen\"\nZeile 2");
    const QByteArray formula("FN:A\nNOTE:=HYPERLINK(\"http://x\")\nTEL;TYPE=CELL:+49 171 1\n");
    QTest::newRow("Google: a formula made text")
        << google << formula << QStringLiteral("Notes") << QStringLiteral("'=HYPERLINK(\"http://x\")");
    QTest::newRow("Outlook: a formula made text")
        << outlook << formula << QStringLiteral("Notizen") << QStringLiteral("'=HYPERLINK(\"http://x\")");
    QTest::newRow("Google: a number with its + is no formula")
        << google << formula << QStringLiteral("Phone 1 - Value") << QStringLiteral("+49 171 1");
    QTest::newRow("Outlook: a number with its + is no formula")
        << outlook << formula << QStringLiteral("Mobiltelefon") << QStringLiteral("+49 171 1");
    const QByteArray person("FN:Dr. Jürgen Müller\nN:Müller;Jürgen;Hans;Dr.;\nBDAY:1980-05-17\n"
                            "CATEGORIES:Familie,Verein\nORG:Bäckerei Schön;Backstube\nTITLE:Meister\n");
    QTest::newRow("Google: given name from N")
        << google << person << QStringLiteral("First Name") << QStringLiteral("Jürgen");
    QTest::newRow("Outlook: additional name from N")
        << outlook << person << QStringLiteral("Weitere Vornamen") << QStringLiteral("Hans");
    QTest::newRow("Google: birthday")
        << google << person << QStringLiteral("Birthday") << QStringLiteral("1980-05-17");
    QTest::newRow("Outlook: birthday")
        << outlook << person << QStringLiteral("Geburtstag") << QStringLiteral("17.5.1980");
    QTest::newRow("Google: a birthday without a year")
        << google << QByteArray("FN:A\nBDAY:--05-17\n") << QStringLiteral("Birthday")
        << QStringLiteral("--05-17");
    QTest::newRow("Google: categories among the labels")
        << google << person << QStringLiteral("Labels")
        << QStringLiteral("* myContacts ::: Familie ::: Verein");
    QTest::newRow("Outlook: categories")
        << outlook << person << QStringLiteral("Kategorien") << QStringLiteral("Familie;Verein");
    QTest::newRow("Outlook: department")
        << outlook << person << QStringLiteral("Abteilung") << QStringLiteral("Backstube");
    QTest::newRow("Google: a card without N, its name cut by the comma")
        << google << QByteArray("FN:Müller\\, Jürgen\n") << QStringLiteral("Last Name")
        << QStringLiteral("Müller");
    const QByteArray addresses("FN:A\nADR;TYPE=HOME:;;Hauptstr. 1;Köln;;50667;\n"
                               "ADR;TYPE=WORK:;;Werkweg 2;Bonn;;53111;\nADR:;;Dritte 3;Ulm;;89073;\n"
                               "EMAIL:a@b.de\nEMAIL;TYPE=PREF:c@d.de\n");
    QTest::newRow("Google: an address formatted")
        << google << addresses << QStringLiteral("Address 1 - Formatted")
        << QStringLiteral("Hauptstr. 1\n50667 Köln");
    QTest::newRow("Outlook: the home address")
        << outlook << addresses << QStringLiteral("Postleitzahl privat") << QStringLiteral("50667");
    QTest::newRow("Outlook: the work address")
        << outlook << addresses << QStringLiteral("Ort geschäftlich") << QStringLiteral("Bonn");
    QTest::newRow("Outlook: a third address")
        << outlook << addresses << QStringLiteral("Weitere Straße") << QStringLiteral("Dritte 3");
    QTest::newRow("Outlook: the preferred e-mail first")
        << outlook << addresses << QStringLiteral("E-Mail-Adresse") << QStringLiteral("c@d.de");
    QTest::newRow("Outlook: the second e-mail")
        << outlook << addresses << QStringLiteral("E-Mail 2: Adresse") << QStringLiteral("a@b.de");
}

void tst_AddressBookFormats::cardReadsBackIntoItsCells() {
    QFETCH(ExportFormat, format);
    QFETCH(QByteArray, card);
    QFETCH(QString, heading);
    QFETCH(QString, cell);
    TempFiles files;
    const ImportedLists lists(files.write(
        QStringLiteral("a.vcf"), withCrLf("BEGIN:VCARD\nVERSION:3.0\n" + card + "END:VCARD\n").toUtf8()));
    const QString path = files.path(QStringLiteral("a.csv"));
    const ExportResult result = exportTo(lists, path, format);
    QCOMPARE(result.status, ExportResult::Status::Written);
    QCOMPARE(result.notice, QString());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QStringList> rows = pythonCsv(file.readAll(), format);
    QCOMPARE(rows.size(), 2);
    const qsizetype column = rows[0].indexOf(heading);
    QVERIFY2(column >= 0, qPrintable(heading));
    QCOMPARE(rows[1].size(), rows[0].size());
    QCOMPARE(rows[1][column], cell);
}

void tst_AddressBookFormats::phoneBookHoldsEveryNumber_data() {
    QTest::addColumn<QByteArray>("cards");
    QTest::addColumn<bool>("changed");        // the file changed after it was read: the cells stand in
    QTest::addColumn<QStringList>("numbers"); // "name: type prio number"
    QTest::addColumn<QString>("notice");
    const QByteArray cards("BEGIN:VCARD\nFN:Anna Schön\nTEL;TYPE=HOME:089 1\nTEL;TYPE=CELL,PREF:+49 171 2\n"
                           "TEL;TYPE=WORK,FAX:030 3\nTEL:040 4\nEMAIL;TYPE=WORK:a@b.de\nEND:VCARD\n"
                           "BEGIN:VCARD\nFN:Ohne Nummer\nEMAIL:c@d.de\nEND:VCARD\n"
                           "BEGIN:VCARD\nFN:Bernd\nTEL;TYPE=WORK:0711 5\nEND:VCARD\n");
    QTest::newRow("every number, the favourite first in rank")
        << cards << false
        << QStringList{QStringLiteral("Anna Schön: home 0 089 1"),
                       QStringLiteral("Anna Schön: mobile 1 0171 2"),
                       QStringLiteral("Anna Schön: fax_work 0 030 3"),
                       QStringLiteral("Anna Schön: other 0 040 4"), QStringLiteral("Bernd: work 0 0711 5")}
        << QStringLiteral("1 Kontakt ohne Telefonnummer wurde ausgelassen.");
    QTest::newRow("cards no longer readable: the cells")
        << cards << true
        << QStringList{QStringLiteral("Anna Schön: mobile 1 0171 2"),
                       QStringLiteral("Anna Schön: home 0 089 1"), QStringLiteral("Bernd: work 0 0711 5")}
        << QStringLiteral("1 Kontakt ohne Telefonnummer wurde ausgelassen.\n3 Karten ließen sich nicht mehr");
}

void tst_AddressBookFormats::phoneBookHoldsEveryNumber() {
    QFETCH(QByteArray, cards);
    QFETCH(bool, changed);
    QFETCH(QStringList, numbers);
    QFETCH(QString, notice);
    TempFiles files;
    const QString source = files.write(QStringLiteral("a.vcf"), withCrLf(cards).toUtf8());
    const ImportedLists lists(source);
    if (changed) {
        files.write(QStringLiteral("a.vcf"), withCrLf(cards + cards).toUtf8());
    }
    const QString path = files.path(QStringLiteral("a.xml"));
    const ExportResult result = exportTo(lists, path, ExportFormat::FritzBox);
    QCOMPARE(result.status, ExportResult::Status::Written);
    QVERIFY2(result.notice.startsWith(notice), qPrintable(result.notice));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    QStringList found;
    QString name;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) {
            continue;
        }
        if (xml.name() == u"phonebook") {
            QCOMPARE(xml.attributes().value(QLatin1String("name")), u"Telefonbuch");
        } else if (xml.name() == u"realName") {
            name = xml.readElementText();
        } else if (xml.name() == u"number") {
            const QString type = xml.attributes().value(QLatin1String("type")).toString();
            const QString prio = xml.attributes().value(QLatin1String("prio")).toString();
            found << QStringLiteral("%1: %2 %3 %4").arg(name, type, prio, xml.readElementText());
        }
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QCOMPARE(found, numbers);
}

// Every card of the real files goes out in all three formats; Python reads each CSV file whole, every row
// with as many cells as the heading, and the phone book is well-formed with an entry for each contact that
// has a number in its cells. One Python for all files: starting one per file would take minutes.
void tst_AddressBookFormats::realFilesGiveWholeRows() {
    const QStringList paths = Corpus::files();
    if (paths.isEmpty()) {
        QSKIP(qPrintable(Corpus::offReason()));
    }
    TempFiles files;
    QStringList arguments{QStringLiteral("-c"),
                          QStringLiteral("import csv, json, sys\n"
                                         "out = []\n"
                                         "for path, encoding in zip(sys.argv[1::2], sys.argv[2::2]):\n"
                                         "    with open(path, encoding=encoding, newline='') as f:\n"
                                         "        rows = list(csv.reader(f, strict=True))\n"
                                         "    out.append([len(rows), sorted({len(r) for r in rows})])\n"
                                         "print(json.dumps(out))")};
    QList<qsizetype> expectedRows;
    for (const QString& path : paths) {
        const ImportedLists lists(path);
        ExportResult result;
        for (const ExportFormat format : {ExportFormat::CsvGoogle, ExportFormat::CsvOutlook}) {
            const QByteArray csv = written(lists, format, &result);
            QVERIFY2(result.status == ExportResult::Status::Written, qPrintable(path + result.error));
            arguments << files.write(QString::number(arguments.size()), csv)
                      << (format == ExportFormat::CsvOutlook ? QStringLiteral("cp1252")
                                                             : QStringLiteral("utf-8"));
            expectedRows << lists.contacts.rowCount() + 1;
        }
        QXmlStreamReader xml(written(lists, ExportFormat::FritzBox, &result));
        QVERIFY2(result.status == ExportResult::Status::Written, qPrintable(path + result.error));
        int contacts = 0;
        while (!xml.atEnd()) {
            xml.readNext();
            contacts += xml.isStartElement() && xml.name() == u"contact";
        }
        QVERIFY2(!xml.hasError(), qPrintable(path + xml.errorString()));
        int withNumber = 0;
        const ContactTable& table = *lists.result.table;
        for (int row = 0; row < lists.contacts.rowCount(); ++row) {
            const qsizetype contact = lists.contacts.contactAt(row);
            withNumber += !table.text(contact, Field::MobilePhone).isEmpty() ||
                          !table.text(contact, Field::HomePhone).isEmpty() ||
                          !table.text(contact, Field::WorkPhone).isEmpty();
        }
        // A fax or a number of no kind has no cell, yet is a number the phone book takes.
        QVERIFY2(contacts >= withNumber, qPrintable(path));
    }
    QProcess python;
    python.start(QStringLiteral("python3"), arguments);
    QVERIFY(python.waitForFinished(600000));
    QVERIFY2(python.exitCode() == 0, python.readAllStandardError().constData());
    const QJsonArray read = QJsonDocument::fromJson(python.readAllStandardOutput()).array();
    QCOMPARE(read.size(), expectedRows.size());
    const QList<int> headingColumns{int(googleCsvHeadings().size()), int(outlookCsvHeadings().size())};
    for (qsizetype i = 0; i < read.size(); ++i) {
        const QString file =
            paths[i / 2] + (i % 2 == 0 ? QStringLiteral(" (Google)") : QStringLiteral(" (Outlook)"));
        QVERIFY2(read[i][0].toInteger() == expectedRows[i], qPrintable(file));
        QVERIFY2(read[i][1].toVariant().toList() == QVariantList{headingColumns[i % 2]}, qPrintable(file));
    }
}

QTEST_GUILESS_MAIN(tst_AddressBookFormats)
#include "tst_addressbookformats.moc"
