#include "card/portablecard.h"

#include <QTest>

using namespace tovanel;

namespace {

CardRow row(QString value, ValueKind kind = ValueKind::Text) {
    CardRow r;
    r.value = std::move(value);
    r.kind = kind;
    return r;
}

// The rows of a contact named "Müller, Jürgen" with a mobile number and a note of `note`, then a
// further number, e-mail address, address and two web pages.
QList<CardRow> contact(const QString& note) {
    QList<CardRow> rows(FieldCount);
    rows[int(Field::Name)] = row(QStringLiteral("Müller, Jürgen"));
    rows[int(Field::Company)] = row(QStringLiteral("Bäcker; Söhne"));
    rows[int(Field::MobilePhone)] = row(QStringLiteral("0171 1"));
    rows[int(Field::HomeCity)] = row(QStringLiteral("Köln"));
    rows[int(Field::Note)] = row(note);
    rows << row(QStringLiteral("030 5"), ValueKind::Telephone)
         << row(QStringLiteral("j@m.de"), ValueKind::Email)
         << row(QStringLiteral("Weg 1\n12345 Ort"), ValueKind::PostalAddress)
         << row(QStringLiteral("https://m.de"), ValueKind::WebAddress)
         << row(QStringLiteral("javascript:alert(1)"), ValueKind::WebAddress);
    return rows;
}

} // namespace

class tst_PortableCard final : public QObject {
    Q_OBJECT
private slots:
    void leavesOutNotesThenAddressesThenNumbers_data();
    void leavesOutNotesThenAddressesThenNumbers();
};

void tst_PortableCard::leavesOutNotesThenAddressesThenNumbers_data() {
    QTest::addColumn<int>("room"); // bytes the code takes
    QTest::addColumn<int>("noteChars");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("omitted");
    const QStringList fixed{QStringLiteral("BEGIN:VCARD"),
                            QStringLiteral("VERSION:3.0"),
                            QStringLiteral("N:Müller;Jürgen;;;"),
                            QStringLiteral("FN:Müller\\, Jürgen"),
                            QStringLiteral("ORG:Bäcker\\; Söhne"),
                            QStringLiteral("TEL;TYPE=CELL:0171 1"),
                            QStringLiteral("ADR;TYPE=HOME:;;;Köln;;;")};
    const QStringList numbers{QStringLiteral("TEL:030 5"), QStringLiteral("EMAIL;TYPE=INTERNET:j@m.de")};
    const QString address = QStringLiteral("ADR:;;Weg 1\\n12345 Ort;;;;");
    const QString web = QStringLiteral("URL:https://m.de");
    const QString note = QStringLiteral("NOTE:") + QString(200, QLatin1Char('n'));
    const QString end = QStringLiteral("END:VCARD");
    QTest::newRow("everything fits") << 100'000 << 200
                                     << fixed + numbers + QStringList{address, web, note, end}
                                     << QStringList();
    QTest::newRow("without the note") << 240 << 200 << fixed + numbers + QStringList{address, web, end}
                                      << QStringList{QStringLiteral("Notizen")};
    QTest::newRow("without further addresses")
        << 210 << 200 << fixed + numbers + QStringList{web, end}
        << QStringList{QStringLiteral("Notizen"), QStringLiteral("weitere Adressen")};
    QTest::newRow("name and fixed fields only")
        << 180 << 200 << fixed + QStringList{web, end}
        << QStringList{QStringLiteral("Notizen"), QStringLiteral("weitere Adressen"),
                       QStringLiteral("weitere Nummern und E-Mail-Adressen")};
    QTest::newRow("a note longer than any code")
        << 100'000 << 9000 << fixed + numbers + QStringList{address, web, end}
        << QStringList{QStringLiteral("Notizen")};
    QTest::newRow("not even that") << 100 << 200 << QStringList() << QStringList();
}

void tst_PortableCard::leavesOutNotesThenAddressesThenNumbers() {
    QFETCH(int, room);
    QFETCH(QStringList, lines);
    QFETCH(int, noteChars);
    const PortableCard card = portableCard(contact(QString(noteChars, QLatin1Char('n'))),
                                           [room](const QByteArray& text) { return text.size() <= room; });
    QStringList got = QString::fromUtf8(card.text).split(QStringLiteral("\r\n"));
    got.removeLast(); // after the last line break
    QCOMPARE(got, lines);
    QTEST(card.omitted, "omitted");
}

QTEST_GUILESS_MAIN(tst_PortableCard)
#include "tst_portablecard.moc"
