// The whole card: each tests/data/cards/NAME.vcf, one per exporter family, gives the detail rows in
// NAME.rows (label TAB value, TAB "bold" for a bold row, as `tovanel-bench card` prints them); hostile
// values give a row of text and neither a crash nor a picture.
#include "card/contactrows.h"
#include "contactlist/contactlistmodel.h"
#include "export/tabledump.h"
#include "importedlists.h"
#include "vcard/vcardreader.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QTest>

using namespace tovanel;

namespace {

QString cardsDir() {
    return qEnvironmentVariable("TOVANEL_TEST_DATA") + QStringLiteral("/cards");
}

QString rowLine(const CardRow& row) {
    QString line = TableDump::escaped(row.label) + u'\t' + TableDump::escaped(row.value);
    return row.bold ? line + QStringLiteral("\tbold") : line;
}

QByteArray encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// `bytes` bytes of `value`, lowest first, as GIF and icon headers write numbers.
QByteArray littleEndian(qsizetype value, int bytes) {
    QByteArray out;
    for (int i = 0; i < bytes; ++i) {
        out += char((value >> (8 * i)) & 0xFF);
    }
    return out;
}

// A GIF whose image is `frame` pixels on a canvas of `canvas`, drawn with no pixels.
QByteArray gifOn(QSize canvas, QSize frame) {
    return "GIF89a" + littleEndian(canvas.width(), 2) + littleEndian(canvas.height(), 2) +
           QByteArray("\x80\0\0\0\0\0\xff\xff\xff,\0\0\0\0", 15) + littleEndian(frame.width(), 2) +
           littleEndian(frame.height(), 2) + QByteArray("\0\x02\x01\x2c\0;", 6);
}

// An icon whose directory says 16x16 around `picture`.
QByteArray iconAround(const QByteArray& picture) {
    return QByteArray("\0\0\1\0\1\0\x10\x10\0\0\1\0\x20\0", 14) + littleEndian(picture.size(), 4) +
           littleEndian(22, 4) + picture;
}

// A PNG whose header claims `width` x `height` pixels, followed by no image data.
QByteArray claimedPng(quint32 width, quint32 height) {
    QByteArray png = encoded(QImage(1, 1, QImage::Format_RGB32), "PNG");
    for (int i = 0; i < 4; ++i) {
        png[16 + i] = char(width >> (24 - 8 * i));
        png[20 + i] = char(height >> (24 - 8 * i));
    }
    return png.left(33);
}

} // namespace

class tst_CardRows : public QObject {
    Q_OBJECT

private slots:
    void cardGivesItsGoldenRows_data();
    void cardGivesItsGoldenRows();
    void valueGivesOneTextRow_data();
    void valueGivesOneTextRow();
};

void tst_CardRows::cardGivesItsGoldenRows_data() {
    QTest::addColumn<QString>("base");
    const QDir dir(cardsDir());
    const QStringList cards = dir.entryList({QStringLiteral("*.vcf")}, QDir::Files, QDir::Name);
    QVERIFY2(!cards.isEmpty(), qPrintable(QStringLiteral("no cards in ") + dir.path()));
    for (const QString& card : cards) {
        QTest::newRow(qPrintable(card)) << dir.filePath(card.chopped(4));
    }
}

void tst_CardRows::cardGivesItsGoldenRows() {
    QFETCH(QString, base);
    const QString path = base + QStringLiteral(".vcf");
    const ImportedLists lists(path);
    QCOMPARE(lists.contacts.rowCount(), 1);
    QStringList actual;
    for (const CardRow& row : contactRows(contactOf(lists.result.table, lists.contacts.contactAt(0)))) {
        actual << rowLine(row);
    }
    QFile expected(base + QStringLiteral(".rows"));
    QVERIFY(expected.open(QIODevice::ReadOnly));
    QCOMPARE(actual.join(u'\n') + u'\n', QString::fromUtf8(expected.readAll()));
}

void tst_CardRows::valueGivesOneTextRow_data() {
    QTest::addColumn<QByteArray>("lines");
    QTest::addColumn<QString>("row"); // rows, one a line
    const QString unreadable = QStringLiteral("Foto\t(kein lesbares Bild)");
    const QImage picture = [] {
        QImage image(64, 48, QImage::Format_RGB32);
        image.fill(Qt::darkGreen);
        return image;
    }();
    QTest::newRow("photo claiming 100000x100000 pixels")
        << "PHOTO;ENCODING=b;TYPE=PNG:" + claimedPng(100000, 100000).toBase64() << unreadable;
    QTest::newRow("broken base64") << QByteArray("PHOTO;ENCODING=b:!!**@@~~") << unreadable;
    QTest::newRow("base64 of no image")
        << "PHOTO;ENCODING=BASE64:" + QByteArray("kein Bild").toBase64() << unreadable;
    QTest::newRow("data URL that is not base64") << QByteArray("PHOTO:data:image/jpeg,abc") << unreadable;
    const QByteArray jpeg = encoded(picture, "JPEG");
    const QByteArray png = encoded(picture, "PNG");
    QTest::newRow("PNG chunk claiming 1.6 GB")
        << "PHOTO;ENCODING=b:" + (png.left(33) + QByteArray("\x60\0\0\x19tEXtComment\0abc", 19)).toBase64()
        << unreadable;
    QTest::newRow("truncated JPEG header") << "PHOTO;ENCODING=b:" + jpeg.left(20).toBase64() << unreadable;
    QTest::newRow("photo of 50 MB") << "PHOTO;ENCODING=b:" + QByteArray(50 << 20, 'A') << unreadable;
    QTest::newRow("photo as an address, not fetched")
        << QByteArray("PHOTO;VALUE=uri:https://example.com/a.jpg")
        << QStringLiteral("Foto\thttps://example.com/a.jpg");
    QTest::newRow("whole JPEG") << "PHOTO;ENCODING=b:" + jpeg.toBase64()
                                << QStringLiteral("Foto\t[Bild 64x48]");
    QTest::newRow("base64 JPEG without ENCODING")
        << "PHOTO;TYPE=JPEG:" + jpeg.toBase64() << QStringLiteral("Foto\t[Bild 64x48]");
    QTest::newRow("data URL with an escaped comma")
        << "PHOTO:data:image/png;base64\\," + encoded(picture, "PNG").toBase64()
        << QStringLiteral("Foto\t[Bild 64x48]");
    QTest::newRow("HEIC without a plug-in")
        << "PHOTO;ENCODING=b:" + QByteArray("\0\0\0\x18"
                                            "ftypheic\0\0\0\0mif1heic",
                                            24)
                                     .toBase64()
        << (QImageReader::supportedImageFormats().contains("heic")
                ? unreadable
                : QStringLiteral("Foto\t(Bildformat HEIC wird nicht unterstützt)"));
    // A decoder allocates what the picture holds, not what its header claims.
    QTest::newRow("GIF of 1x1 on a 5790x5790 canvas")
        << "PHOTO;ENCODING=b;TYPE=GIF:" + gifOn(QSize(5790, 5790), QSize(1, 1)).toBase64() << unreadable;
    QTest::newRow("GIF of 64x48 on its own canvas")
        << "PHOTO;ENCODING=b;TYPE=GIF:" + gifOn(QSize(64, 48), QSize(64, 48)).toBase64()
        << QStringLiteral("Foto\t[Bild 64x48]");
    QTest::newRow("icon of 16x16 holding a PNG of 2000x2000")
        << "PHOTO:data:image/x-icon;base64," +
               iconAround(encoded(QImage(2000, 2000, QImage::Format_RGB32), "PNG")).toBase64()
        << unreadable;
    QTest::newRow("icon of 16x16 holding a PNG of 16x16")
        << "PHOTO:data:image/x-icon;base64," +
               iconAround(encoded(QImage(16, 16, QImage::Format_RGB32), "PNG")).toBase64()
        << QStringLiteral("Foto\t[Bild 16x16]");
    QTest::newRow("JPEG of 9 megapixels")
        << "PHOTO;ENCODING=b:" + encoded(QImage(3000, 3000, QImage::Format_RGB32), "JPEG").toBase64()
        << unreadable;
    // The photos of one card are decoded within one budget of pixels.
    QImage large(5000, 5000, QImage::Format_RGB32);
    large.fill(Qt::darkGreen);
    const QByteArray largePhoto = "PHOTO;ENCODING=b:" + encoded(large, "PNG").toBase64() + "\r\n";
    QTest::newRow("second photo past the card's budget")
        << largePhoto + "PHOTO;ENCODING=b:" + encoded(large.copy(0, 0, 3000, 3000), "PNG").toBase64()
        << QStringLiteral("Foto\t[Bild 5000x5000]\n") + unreadable;
    // A card of many short lines is read up to a number of rows; the rest is in the source view.
    QTest::newRow("10,001 telephone numbers")
        << QByteArray("TEL;TYPE=FAX:1\r\n").repeated(MaxFurtherRows + 1)
        << QStringLiteral("Fax\t1\n").repeated(MaxFurtherRows) +
               QStringLiteral("Hinweis\tDie Karte hat mehr als 10.000 weitere Angaben; die übrigen zeigt die "
                              "Quelltext-Ansicht.");
    QTest::newRow("BDAY of eight nines")
        << QByteArray("BDAY:99999999") << QStringLiteral("Geburtstag\t99999999");
    QTest::newRow("BDAY in month 13") << QByteArray("BDAY:--1399") << QStringLiteral("Geburtstag\t--1399");
    QTest::newRow("BDAY 30 February")
        << QByteArray("BDAY:2001-02-30") << QStringLiteral("Geburtstag\t2001-02-30");
    QTest::newRow("BDAY of text") << QByteArray("BDAY:im Sommer") << QStringLiteral("Geburtstag\tim Sommer");
    // Values are decoded as the import decodes the list's cells, whatever the file's other bytes are.
    QTest::newRow("Mac character set") << QByteArray("TITLE;CHARSET=macintosh:Gesch\x8a"
                                                     "ftsf\x9fhrer")
                                       << QStringLiteral("Position\tGeschäftsführer");
    QTest::newRow("Windows-1252 beside UTF-8") << QByteArray("ROLE;CHARSET=UTF-8:Gr\xc3\xbc\xc3\x9f"
                                                             "e\r\nNOTE:Gr\xfc\xdf"
                                                             "e")
                                               << QStringLiteral("Rolle\tGrüße");
    // The cells show the last note and company; the others are rows of their own.
    QTest::newRow("two notes") << QByteArray("NOTE:Eins\r\nNOTE:Zwei") << QStringLiteral("Notizen\tEins");
    QTest::newRow("two companies") << QByteArray("ORG:Alpha;Einkauf\r\nORG:Beta;Vertrieb")
                                   << QStringLiteral("Abteilung\tVertrieb\nFirma\tAlpha, Einkauf");
    QTest::newRow("anniversary in two properties")
        << QByteArray("ANNIVERSARY:20140812\r\nX-ANNIVERSARY:2014-08-12")
        << QStringLiteral("Jahrestag\t12.08.2014");
    QTest::newRow("same URL twice") << QByteArray("URL:https://a.example\r\nURL:https://a.example")
                                    << QStringLiteral("Webseite\thttps://a.example");
    QTest::newRow("messenger service by type, else by scheme")
        << QByteArray("IMPP;TYPE=Facebook:xmpp:facebookuser\r\nIMPP;TYPE=business,video,x-work:skype:echo")
        << QStringLiteral("Messenger\tFacebook: facebookuser\nMessenger\tSkype: echo");
    QTest::newRow("tel address with an extension")
        << QByteArray("TEL;VALUE=uri;TYPE=fax:tel:+49-89-1234567;ext=12")
        << QStringLiteral("Fax\t089-1234567 Durchwahl 12");
    QTest::newRow("extension of a number in a cell")
        << QByteArray("TEL;VALUE=uri;TYPE=\"work,voice\":tel:+1-418-656-9254;ext=102")
        << QStringLiteral("Durchwahl (Tel-Arbeit)\t102");
    QTest::newRow("addresses beside the cells")
        << QByteArray("ADR;TYPE=work:;;Markt 1;Passau;Bayern;94032;Deutschland\r\n"
                      "ADR;TYPE=postal:;;Postfach 1;Bonn;;53111;\r\n"
                      "ADR;TYPE=home:;;Weg 2;Köln;NRW;50667;Deutschland")
        << QStringLiteral("Region (Adresse)\tNRW\nLand (Adresse)\tDeutschland\nRegion (Adr.Arbeit)\tBayern\n"
                          "Land (Adr.Arbeit)\tDeutschland\nAdr.Post\tPostfach 1\\n53111 Bonn");
    // The people a card names, labelled by their relation; an empty or repeated one is no row.
    QTest::newRow("Outlook, Evolution and KDE fields")
        << QByteArray("X-MS-MANAGER:Big Blue\r\nX-MS-SPOUSE:Maria\r\nX-EVOLUTION-SPOUSE:Maria\r\n"
                      "X-EVOLUTION-MANAGER:\r\nX-KADDRESSBOOK-X-AssistantsName:Lena\r\nX-ASSISTANT:Jenny")
        << QStringLiteral("Vorgesetzte(r)\tBig Blue\nPartner(in)\tMaria\nAssistent(in)\tLena\n"
                          "Assistent(in)\tJenny");
    QTest::newRow("RELATED by its first type that is a relation")
        << QByteArray("RELATED;TYPE=pref,co-worker;VALUE=text:Kai\r\nRELATED;TYPE=x-rival:Uwe\r\n"
                      "RELATED;TYPE=child:urn:uuid:03a0e51f")
        << QStringLiteral("Kollege/Kollegin\tKai\nBeziehung\tUwe\nKind\turn:uuid:03a0e51f");
    QTest::newRow("Apple's label, and Google's without brackets")
        << QByteArray("item1.X-ABRELATEDNAMES:Anna\r\nitem1.X-ABLabel:_$!<Spouse>!$_\r\n"
                      "item2.X-ABRELATEDNAMES:Ben\r\nitem2.X-ABLabel:DOMESTIC_PARTNER\r\n"
                      "item3.X-ABRELATEDNAMES:Cleo\r\nitem3.X-ABLabel:Patin")
        << QStringLiteral("Ehepartner(in)\tAnna\nPartner(in)\tBen\nPatin\tCleo");
    QTest::newRow("anniversary of Evolution and KDE alike")
        << QByteArray("X-EVOLUTION-ANNIVERSARY:2001-05-20\r\nX-KADDRESSBOOK-X-Anniversary:2001-05-20")
        << QStringLiteral("Jahrestag\t20.05.2001");
    // Places in degrees, as German writes them whatever the desktop's language.
    QTest::newRow("GEO of vCard 3") << QByteArray("GEO:53.55;9.99")
                                    << QStringLiteral("Standort\t53,55° N, 9,99° O");
    QTest::newRow("GEO of vCard 4 with altitude and uncertainty")
        << QByteArray("GEO:geo:-33.8688,-151.2093,12;u=10")
        << QStringLiteral("Standort\t33,8688° S, 151,2093° W");
    QTest::newRow("GEO past the pole, or of words, as written")
        << QByteArray("GEO:95.1;10\r\nGEO:Hamburg\r\nGEO:")
        << QStringLiteral("Standort\t95.1;10\nStandort\tHamburg");
    QTest::newRow("BDAY with a time")
        << QByteArray("BDAY:19800415T120000Z") << QStringLiteral("Geburtstag\t15.04.1980");
}

void tst_CardRows::valueGivesOneTextRow() {
    QFETCH(QByteArray, lines);
    QFETCH(QString, row);
    const QByteArray card = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:X\r\n" + lines + "\r\nEND:VCARD";
    QStringList rows;
    for (const CardRow& r : furtherCardRows(card, false)) {
        rows << rowLine(r);
    }
    QCOMPARE(rows.join(u'\n'), row);
}

QTEST_GUILESS_MAIN(tst_CardRows)
#include "tst_cardrows.moc"
