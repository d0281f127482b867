#include "card/portablecard.h"

#include <QTest>

using namespace tovanel;

namespace {

// Fixed rows that hold only the shown name, as the card's own lines give everything else.
QList<CardRow> shownAs(const QString& name) {
    QList<CardRow> rows(FieldCount);
    rows[int(Field::Name)].value = name;
    return rows;
}

QByteArray card(const QByteArray& lines) {
    return "BEGIN:VCARD\r\nVERSION:3.0\r\n" + lines + "END:VCARD\r\n";
}

// The lines between "VERSION" and "END" of a portable card that has them.
QStringList inner(const QByteArray& text) {
    QStringList lines = QString::fromUtf8(text).split(QStringLiteral("\r\n"));
    if (lines.size() < 4 || lines.takeFirst() != QStringLiteral("BEGIN:VCARD") ||
        lines.takeFirst() != QStringLiteral("VERSION:3.0") || lines.takeLast() != QString() ||
        lines.takeLast() != QStringLiteral("END:VCARD")) {
        return {QStringLiteral("not a vCard 3.0 with CRLF:"), QString::fromUtf8(text)};
    }
    return lines;
}

bool anySize(const QByteArray&) {
    return true;
}

} // namespace

class tst_PortableCard final : public QObject {
    Q_OBJECT
private slots:
    void carriesTheCardsOwnLines_data();
    void carriesTheCardsOwnLines();
    void contactWithoutCardGivesItsFixedFields();
    void leavesOutNotesThenAddressesThenNumbers_data();
    void leavesOutNotesThenAddressesThenNumbers();
};

void tst_PortableCard::carriesTheCardsOwnLines_data() {
    QTest::addColumn<QString>("shownName");
    QTest::addColumn<QByteArray>("lines"); // of the card, after its VERSION line
    QTest::addColumn<QStringList>("portable");
    const QString eva = QStringLiteral("Eva Ek");
    const QByteArray evasName = "N:Ek;Eva;;;\r\n";
    const QStringList named{QStringLiteral("N:Ek;Eva;;;"), QStringLiteral("FN:Eva Ek")};

    // --- the name ---
    QTest::newRow("prefix and suffix stay parts")
        << QStringLiteral("Dr. Klaus Weiß Jr.") << QByteArray("N:Weiß;Klaus;;Dr.;Jr.\r\n")
        << QStringList{QStringLiteral("N:Weiß;Klaus;;Dr.;Jr."), QStringLiteral("FN:Dr. Klaus Weiß Jr.")};
    QTest::newRow("a family name with von")
        << QStringLiteral("Maximilian von Bülow") << QByteArray("N:von Bülow;Maximilian;;;\r\n")
        << QStringList{QStringLiteral("N:von Bülow;Maximilian;;;"),
                       QStringLiteral("FN:Maximilian von Bülow")};
    QTest::newRow("quoted-printable parts decoded, lists kept")
        << QStringLiteral("Jürgen Müller")
        << QByteArray("N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:M=C3=BCller;J=C3=BCrgen,Hans;;;\r\n")
        << QStringList{QStringLiteral("N:Müller;Jürgen,Hans;;;"), QStringLiteral("FN:Jürgen Müller")};
    QTest::newRow("no N: split from the shown name")
        << QStringLiteral("Maximilian von Bülow") << QByteArray()
        << QStringList{QStringLiteral("N:Bülow;Maximilian von;;;"),
                       QStringLiteral("FN:Maximilian von Bülow")};
    QTest::newRow("an N of a title alone is no name")
        << QStringLiteral("Müller, Jürgen") << QByteArray("N:;;;Dr.;\r\n")
        << QStringList{QStringLiteral("N:Müller;Jürgen;;;"), QStringLiteral("FN:Müller\\, Jürgen")};

    // --- numbers ---
    QTest::newRow("fax, pager and voice keep their types")
        << eva
        << evasName + "TEL;TYPE=WORK,FAX:030 1\r\nTEL;PAGER:030 2\r\nTEL;TYPE=home;TYPE=voice:030 3\r\n"
        << named + QStringList{QStringLiteral("TEL;TYPE=WORK,FAX:030 1"),
                               QStringLiteral("TEL;TYPE=PAGER:030 2"),
                               QStringLiteral("TEL;TYPE=HOME,VOICE:030 3")};
    QTest::newRow("+49 and a written extension kept")
        << eva << evasName + "TEL;CELL;PREF:+49 171 3920011\r\nTEL;TYPE=WORK:+49 30 1234-56\r\n"
        << named + QStringList{QStringLiteral("TEL;TYPE=CELL,PREF:+49 171 3920011"),
                               QStringLiteral("TEL;TYPE=WORK:+49 30 1234-56")};
    QTest::newRow("a tel: address with its extension, PREF=1")
        << eva << evasName + "TEL;VALUE=uri;TYPE=\"work,voice\";PREF=1:tel:+49-30-1234;ext=56\r\n"
        << named + QStringList{QStringLiteral("TEL;TYPE=WORK,VOICE,PREF:+49-30-1234\\;ext=56")};
    QTest::newRow("kinds vCard 3.0 lacks")
        << eva
        << evasName + "item1.TEL:030 7\r\nitem1.X-ABLabel:_$!<Assistant>!$_\r\nTEL;TYPE=ASSISTANT:030 8\r\n"
        << named + QStringList{QStringLiteral("item1.TEL:030 7"),
                               QStringLiteral("item1.X-ABLabel:_$!<Assistant>!$_"),
                               QStringLiteral("TEL;TYPE=X-ASSISTANT:030 8")};

    // --- e-mail, addresses, company, escapes ---
    QTest::newRow("e-mail types") << eva
                                  << evasName + "EMAIL;PREF:a@b.de\r\nEMAIL;TYPE=INTERNET,WORK:c@d.de\r\n"
                                  << named + QStringList{QStringLiteral("EMAIL;TYPE=INTERNET,PREF:a@b.de"),
                                                         QStringLiteral("EMAIL;TYPE=INTERNET,WORK:c@d.de")};
    QTest::newRow("all seven address parts, the country too")
        << eva << evasName + "ADR;TYPE=WORK:Postfach 1;Zimmer 2;Weg 1;Ort;Bayern;12345;Deutschland\r\n"
        << named + QStringList{QStringLiteral(
                       "ADR;TYPE=WORK:Postfach 1;Zimmer 2;Weg 1;Ort;Bayern;12345;Deutschland")};
    QTest::newRow("; , and \\ inside values stay escaped")
        << QStringLiteral("Ek, Eva")
        << evasName + "ORG:Bäcker\\; Söhne;Back\\\\stube\r\nADR:;;Weg 1\\, Hof;Ort;;;\r\nNOTE:a\\, b\\nc\r\n"
        << QStringList{QStringLiteral("N:Ek;Eva;;;"), QStringLiteral("FN:Ek\\, Eva"),
                       QStringLiteral("ORG:Bäcker\\; Söhne;Back\\\\stube"),
                       QStringLiteral("ADR:;;Weg 1\\, Hof;Ort;;;"), QStringLiteral("NOTE:a\\, b\\nc")};
    QTest::newRow("control characters dropped, tabs kept")
        << eva << evasName + "ORG:B\x07\x1B\x7F\x01x\r\nNOTE:a\tb\r\n"
        << QStringList{named + QStringList{QStringLiteral("ORG:Bx"), QStringLiteral("NOTE:a\tb")}};
    QTest::newRow("title and birthday; no photo, no date in words")
        << eva
        << evasName +
               "TITLE:Ärztin\r\nBDAY:1980-04-15\r\nBDAY:im Frühling\r\nPHOTO;ENCODING=b;TYPE=JPEG:AAAA\r\n"
        << named + QStringList{QStringLiteral("TITLE:Ärztin"), QStringLiteral("BDAY:1980-04-15")};
}

void tst_PortableCard::carriesTheCardsOwnLines() {
    QFETCH(QString, shownName);
    QFETCH(QByteArray, lines);
    const PortableCard portable = portableCard(shownAs(shownName), card(lines), false, anySize);
    QTEST(inner(portable.text), "portable");
    QCOMPARE(portable.omitted, QStringList());
}

// A contact from no file, or whose card cannot be read now, is told by what the list holds.
void tst_PortableCard::contactWithoutCardGivesItsFixedFields() {
    QList<CardRow> rows = shownAs(QStringLiteral("Jürgen Müller"));
    rows[int(Field::Company)].value = QStringLiteral("Bäcker; Söhne");
    rows[int(Field::MobilePhone)].value = QStringLiteral("0171 1");
    rows[int(Field::HomeCity)].value = QStringLiteral("Köln");
    rows[int(Field::Note)].value = QStringLiteral("n");
    const PortableCard portable = portableCard(rows, QByteArray(), false, anySize);
    QCOMPARE(inner(portable.text),
             (QStringList{QStringLiteral("N:Müller;Jürgen;;;"), QStringLiteral("FN:Jürgen Müller"),
                          QStringLiteral("ORG:Bäcker\\; Söhne"), QStringLiteral("TEL;TYPE=CELL:0171 1"),
                          QStringLiteral("ADR;TYPE=HOME:;;;Köln;;;"), QStringLiteral("NOTE:n")}));
}

void tst_PortableCard::leavesOutNotesThenAddressesThenNumbers_data() {
    QTest::addColumn<int>("room"); // bytes the code takes
    QTest::addColumn<int>("noteChars");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("omitted");
    // The cells hold the last home address, the last e-mail address and the mobile number.
    const QStringList fixed{QStringLiteral("N:Müller;Jürgen;;;"), QStringLiteral("FN:Jürgen Müller"),
                            QStringLiteral("TEL;TYPE=CELL:0171 1")};
    const QString number = QStringLiteral("TEL:030 5");
    const QStringList emails{QStringLiteral("EMAIL;TYPE=INTERNET:j@m.de"),
                             QStringLiteral("EMAIL;TYPE=INTERNET:k@m.de")};
    const QString address = QStringLiteral("ADR;TYPE=POSTAL:;;Weg 1;Ort;;12345;");
    const QString home = QStringLiteral("ADR;TYPE=HOME:;;;Köln;;;");
    const QString web = QStringLiteral("URL:https://m.de");
    const QString note = QStringLiteral("NOTE:") + QString(200, QLatin1Char('n'));
    QTest::newRow("everything fits") << 100'000 << 200
                                     << fixed + QStringList{number} + emails +
                                            QStringList{address, home, web, note}
                                     << QStringList();
    QTest::newRow("without the note")
        << 300 << 200 << fixed + QStringList{number} + emails + QStringList{address, home, web}
        << QStringList{QStringLiteral("Notizen")};
    QTest::newRow("without further addresses")
        << 230 << 200 << fixed + QStringList{number} + emails + QStringList{home, web}
        << QStringList{QStringLiteral("Notizen"), QStringLiteral("weitere Adressen")};
    QTest::newRow("name and fixed fields only")
        << 190 << 200 << fixed + QStringList{emails.last(), home, web}
        << QStringList{QStringLiteral("Notizen"), QStringLiteral("weitere Adressen"),
                       QStringLiteral("weitere Nummern und E-Mail-Adressen")};
    QTest::newRow("a note longer than any code")
        << 100'000 << 9000 << fixed + QStringList{number} + emails + QStringList{address, home, web}
        << QStringList{QStringLiteral("Notizen")};
    QTest::newRow("not even that") << 100 << 200 << QStringList() << QStringList();
}

void tst_PortableCard::leavesOutNotesThenAddressesThenNumbers() {
    QFETCH(int, room);
    QFETCH(QStringList, lines);
    QFETCH(int, noteChars);
    const QByteArray cardLines =
        "N:Müller;Jürgen;;;\r\nTEL;TYPE=CELL:0171 1\r\nTEL:030 5\r\nEMAIL:j@m.de\r\n"
        "EMAIL:k@m.de\r\nADR;TYPE=POSTAL:;;Weg 1;Ort;;12345;\r\nADR;TYPE=HOME:;;;Köln;;;\r\n"
        "URL:https://m.de\r\nURL:javascript:alert(1)\r\nNOTE:" +
        QByteArray(noteChars, 'n') + "\r\n";
    const PortableCard portable =
        portableCard(shownAs(QStringLiteral("Jürgen Müller")), card(cardLines), false,
                     [room](const QByteArray& text) { return text.size() <= room; });
    QCOMPARE(portable.text.isEmpty() ? QStringList() : inner(portable.text), lines);
    QTEST(portable.omitted, "omitted");
}

QTEST_GUILESS_MAIN(tst_PortableCard)
#include "tst_portablecard.moc"
