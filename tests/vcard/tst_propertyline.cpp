// The lexer of one property line: name, key end, parameters and value components, as views into the line.
#include "vcard/propertyline.h"

#include <QTest>

using namespace tovanel;

using namespace PropertyLexer;

namespace {

// The parameter flags in a fixed order, e.g. "qp,given,pref".
QString flags(const Parameters& p) {
    QStringList out;
    const std::pair<bool, const char*> all[] = {
        {p.quotedPrintable, "qp"}, {p.base64, "b64"}, {p.encodingGiven, "given"},
        {p.pref, "pref"},          {p.cell, "cell"},  {p.home, "home"},
        {p.work, "work"},          {p.fax, "fax"},    {p.pager, "pager"}};
    for (const auto& [set, name] : all) {
        if (set) {
            out << QLatin1String(name);
        }
    }
    if (!p.valueType.isEmpty()) {
        out << QStringLiteral("value=") + QString::fromLatin1(p.valueType);
    }
    if (!p.serviceType.isEmpty()) {
        out << QStringLiteral("service=") + QString::fromLatin1(p.serviceType);
    }
    return out.join(QLatin1Char(','));
}

} // namespace

class tst_PropertyLine : public QObject {
    Q_OBJECT

private slots:
    void lexesLine_data();
    void lexesLine();
};

void tst_PropertyLine::lexesLine_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("keyEnd");
    QTest::addColumn<QString>("flags");
    QTest::addColumn<QByteArray>("charset");
    QTest::addColumn<QByteArrayList>("components");

    QTest::newRow("group prefix") << QByteArray("item1.TEL;TYPE=CELL:+49 171 1234") << QByteArray("TEL") << 19
                                  << QStringLiteral("cell") << QByteArray() << QByteArrayList{"+49 171 1234"};
    QTest::newRow("group prefix, long line")
        << QByteArray("item12.X-ABLabel;CHARSET=UTF-8:_$!<Other>!$_") << QByteArray("X-ABLabel") << 30
        << QString() << QByteArray("UTF-8") << QByteArrayList{"_$!<Other>!$_"};
    QTest::newRow("quoted parameter with ':' and ';'")
        << QByteArray("ADR;LABEL=\"Hauptstr. 1; Berlin: Mitte\";TYPE=work:;;Hauptstr. 1;Berlin;;10115;DE")
        << QByteArray("ADR") << 48 << QStringLiteral("work") << QByteArray()
        << QByteArrayList{"", "", "Hauptstr. 1", "Berlin", "", "10115", "DE"};
    QTest::newRow("quoted type list")
        << QByteArray("TEL;TYPE=\"voice,cell\";PREF=1:0171") << QByteArray("TEL") << 28
        << QStringLiteral("pref,cell") << QByteArray() << QByteArrayList{"0171"};
    QTest::newRow("2.1 bare types") << QByteArray("TEL;HOME;PREF;VOICE:089 1234") << QByteArray("TEL") << 19
                                    << QStringLiteral("pref,home") << QByteArray()
                                    << QByteArrayList{"089 1234"};
    QTest::newRow("messenger service and value type")
        << QByteArray("item2.IMPP;X-SERVICE-TYPE=\"Skype\";type=pref;VALUE=uri:skype:anna")
        << QByteArray("IMPP") << 53 << QStringLiteral("pref,value=uri,service=Skype") << QByteArray()
        << QByteArrayList{"skype:anna"};
    QTest::newRow("pager is not fax") << QByteArray("TEL;TYPE=PAGER:0171") << QByteArray("TEL") << 14
                                      << QStringLiteral("pager") << QByteArray() << QByteArrayList{"0171"};
    QTest::newRow("fax among types") << QByteArray("tel;type=WORK,FAX:089") << QByteArray("tel") << 17
                                     << QStringLiteral("work,fax") << QByteArray() << QByteArrayList{"089"};
    QTest::newRow("quoted-printable declared")
        << QByteArray("NOTE;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:Gr=C3=BC=C3=9Fe=") << QByteArray("NOTE")
        << 44 << QStringLiteral("qp,given") << QByteArray("UTF-8") << QByteArrayList{"Gr=C3=BC=C3=9Fe="};
    QTest::newRow("2.1 bare quoted-printable")
        << QByteArray("FN;CHARSET=ISO-8859-1;QUOTED-PRINTABLE:J=F6rg") << QByteArray("FN") << 38
        << QStringLiteral("qp,given") << QByteArray("ISO-8859-1") << QByteArrayList{"J=F6rg"};
    QTest::newRow("base64") << QByteArray("PHOTO;ENCODING=b;TYPE=JPEG:/9j/4AAQ") << QByteArray("PHOTO") << 26
                            << QStringLiteral("b64,given") << QByteArray() << QByteArrayList{"/9j/4AAQ"};
    QTest::newRow("8bit is an encoding") << QByteArray("NOTE;ENCODING=8BIT:a=41") << QByteArray("NOTE") << 18
                                         << QStringLiteral("given") << QByteArray() << QByteArrayList{"a=41"};
    QTest::newRow("escaped ';' in a component")
        << QByteArray("ORG:M\\;S;Vertrieb\\\\;Ost") << QByteArray("ORG") << 3 << QString() << QByteArray()
        << QByteArrayList{"M\\;S", "Vertrieb\\\\", "Ost"};
    QTest::newRow("empty value") << QByteArray("EMAIL;TYPE=INTERNET:") << QByteArray("EMAIL") << 19
                                 << QString() << QByteArray() << QByteArrayList{""};
    QTest::newRow("no colon") << QByteArray("BEGIN VCARD") << QByteArray("BEGIN VCARD") << -1 << QString()
                              << QByteArray() << QByteArrayList{""};
}

void tst_PropertyLine::lexesLine() {
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, name);
    QFETCH(int, keyEnd);
    QFETCH(QString, flags);
    QFETCH(QByteArray, charset);
    QFETCH(QByteArrayList, components);

    qsizetype nameEnd = 0;
    bool quote = false;
    QCOMPARE(propertyName(line, nameEnd, quote).toByteArray(), name);
    bool unquoted = false;
    QCOMPARE(PropertyLexer::keyEnd(line, &unquoted), qsizetype(keyEnd));
    // Searching on from the name's end finds the same key end.
    bool unquotedAfterName = false;
    QCOMPARE(keyEndAfterName(line, nameEnd, quote, &unquotedAfterName), qsizetype(keyEnd));
    QCOMPARE(declaresQuotedPrintable(line, keyEnd), flags.startsWith(QLatin1String("qp")));

    // Parameters come out the same whether the key end is passed in or found again.
    for (const PropertyLine& p : {PropertyLine(line), PropertyLine(line, keyEnd, unquoted)}) {
        QCOMPARE(::flags(p.parameters), flags);
        QCOMPARE(p.parameters.charset.toByteArray(), charset);
        QCOMPARE(p.value.toByteArray(), keyEnd < 0 ? QByteArray() : line.mid(keyEnd + 1));
        const Components parts(p.value, 7);
        QByteArrayList actual;
        for (qsizetype i = 0; i < parts.count; ++i) {
            actual << parts[i].toByteArray();
        }
        QCOMPARE(actual, components);
        QCOMPARE(firstComponent(p.value).toByteArray(), components.first());
    }
}

QTEST_GUILESS_MAIN(tst_PropertyLine)
#include "tst_propertyline.moc"
