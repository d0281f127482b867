#include "card/valuelinks.h"

#include <QTest>

using namespace tovanel;

class tst_ValueLinks final : public QObject {
    Q_OBJECT
private slots:
    void offersOnlyLinksTheDesktopMayOpen_data();
    void offersOnlyLinksTheDesktopMayOpen();
};

void tst_ValueLinks::offersOnlyLinksTheDesktopMayOpen_data() {
    QTest::addColumn<ValueKind>("kind");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("caption"); // empty: no link
    QTest::addColumn<QString>("url");

    // Numbers
    QTest::newRow("national number") << ValueKind::Telephone << QStringLiteral("0171 / 123-45 (6)")
                                     << QStringLiteral("Anrufen") << QStringLiteral("tel:0171123456");
    QTest::newRow("international") << ValueKind::Telephone << QStringLiteral(" +49 30 1 ")
                                   << QStringLiteral("Anrufen") << QStringLiteral("tel:+49301");
    QTest::newRow("number with letters")
        << ValueKind::Telephone << QStringLiteral("0800 FLOWERS") << QString() << QString();
    QTest::newRow("empty number") << ValueKind::Telephone << QString() << QString() << QString();
    QTest::newRow("digits in a text row")
        << ValueKind::Text << QStringLiteral("80331") << QString() << QString();

    // Mail
    QTest::newRow("address") << ValueKind::Email << QStringLiteral("zora@example.org")
                             << QStringLiteral("E-Mail schreiben")
                             << QStringLiteral("mailto:zora@example.org");
    QTest::newRow("address with a query")
        << ValueKind::Email << QStringLiteral("a@b.de?attach=/etc/passwd") << QString() << QString();
    QTest::newRow("two addresses") << ValueKind::Email << QStringLiteral("a@b.de,c@d.de") << QString()
                                   << QString();
    QTest::newRow("no at sign") << ValueKind::Email << QStringLiteral("zora") << QString() << QString();

    // Web pages and places
    QTest::newRow("https") << ValueKind::WebAddress << QStringLiteral("https://example.org/a?b=c")
                           << QStringLiteral("Webseite öffnen")
                           << QStringLiteral("https://example.org/a?b=c");
    QTest::newRow("HTTP in capitals")
        << ValueKind::WebAddress << QStringLiteral("HTTP://example.org") << QStringLiteral("Webseite öffnen")
        << QStringLiteral("http://example.org");
    QTest::newRow("www without scheme")
        << ValueKind::WebAddress << QStringLiteral("www.example.org") << QStringLiteral("Webseite öffnen")
        << QStringLiteral("http://www.example.org");
    QTest::newRow("geo") << ValueKind::WebAddress << QStringLiteral("geo:48.137,11.575")
                         << QStringLiteral("Karte öffnen") << QStringLiteral("geo:48.137,11.575");
    QTest::newRow("geo with text") << ValueKind::WebAddress << QStringLiteral("geo:1,2;q=file:///x")
                                   << QString() << QString();
    QTest::newRow("file") << ValueKind::WebAddress << QStringLiteral("file:///etc/passwd") << QString()
                          << QString();
    QTest::newRow("javascript") << ValueKind::WebAddress << QStringLiteral("javascript:alert(1)") << QString()
                                << QString();
    QTest::newRow("smb") << ValueKind::WebAddress << QStringLiteral("smb://server/share") << QString()
                         << QString();
    QTest::newRow("ftp") << ValueKind::WebAddress << QStringLiteral("ftp://example.org") << QString()
                         << QString();
    QTest::newRow("custom scheme") << ValueKind::WebAddress << QStringLiteral("x-app://run?cmd=rm")
                                   << QString() << QString();
    QTest::newRow("http without host")
        << ValueKind::WebAddress << QStringLiteral("http:/etc/passwd") << QString() << QString();
    QTest::newRow("a user name that looks like the host")
        << ValueKind::WebAddress << QStringLiteral("https://www.bank.de@evil.example/") << QString()
        << QString();
    QTest::newRow("place") << ValueKind::Place << QStringLiteral("geo:-33.87,151.21")
                           << QStringLiteral("Karte öffnen") << QStringLiteral("geo:-33.87,151.21");
    QTest::newRow("place that is a web page")
        << ValueKind::Place << QStringLiteral("https://example.org") << QString() << QString();

    // Postal addresses: searched for on a map page, every character that could end the query escaped
    QTest::newRow("address in lines")
        << ValueKind::PostalAddress << QStringLiteral("Ringstraße 5\n 50667 Köln\n\nDeutschland")
        << QStringLiteral("Karte öffnen")
        << QStringLiteral(
               "https://www.openstreetmap.org/search?query=Ringstra%C3%9Fe%205%2C%2050667%20K%C3%B6ln%2C%"
               "20Deutschland");
    QTest::newRow("address with query characters")
        << ValueKind::PostalAddress << QStringLiteral("A&B+C #1=2") << QStringLiteral("Karte öffnen")
        << QStringLiteral("https://www.openstreetmap.org/search?query=A%26B%2BC%20%231%3D2");
    QTest::newRow("blank address") << ValueKind::PostalAddress << QStringLiteral(" \n ") << QString()
                                   << QString();
    QTest::newRow("web address in a text row")
        << ValueKind::Text << QStringLiteral("https://example.org") << QString() << QString();
}

void tst_ValueLinks::offersOnlyLinksTheDesktopMayOpen() {
    QFETCH(ValueKind, kind);
    QFETCH(QString, value);
    QFETCH(QString, caption);
    const std::optional<ValueLink> link = valueLink(kind, value);
    QCOMPARE(link.has_value(), !caption.isEmpty());
    if (link) {
        QCOMPARE(link->caption, caption);
        QTEST(QString::fromLatin1(link->url.toEncoded()), "url");
    }
}

QTEST_GUILESS_MAIN(tst_ValueLinks)
#include "tst_valuelinks.moc"
