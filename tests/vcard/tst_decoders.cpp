#include "vcard/decoders.h"
#include "vcard/valuetext.h"

#include <QTest>

using namespace tovanel;

class tst_Decoders : public QObject {
    Q_OBJECT

private slots:
    void decodeQuotedPrintableUtf8ReadsUtf8_data();
    void decodeQuotedPrintableUtf8ReadsUtf8();
    void decodeQuotedPrintableGivesEveryByte_data();
    void decodeQuotedPrintableGivesEveryByte();
    void decodeBase64IgnoresWhitespace_data();
    void decodeBase64IgnoresWhitespace();
    void decodeMacRomanKnowsMacRoman_data();
    void decodeMacRomanKnowsMacRoman();
    void decodeMacRomanCoversEveryHighByte();
    void decodeCharsetHonoursTheDeclaredCharset_data();
    void decodeCharsetHonoursTheDeclaredCharset();
    void unescapeTextResolvesVcardEscapes_data();
    void unescapeTextResolvesVcardEscapes();
    void valueTextAgreesWithTheGeneralDecoders_data();
    void valueTextAgreesWithTheGeneralDecoders();
};

void tst_Decoders::decodeQuotedPrintableUtf8ReadsUtf8_data() {
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QString>("expected");

    // Well-formed quoted-printable UTF-8.
    QTest::newRow("Müller") << QByteArray("=4D=C3=BC=6C=6C=65=72") << QStringLiteral("Müller");
    QTest::newRow("lower-case hex") << QByteArray("=c3=a4") << QStringLiteral("ä");
    QTest::newRow("sharp s") << QByteArray("=C3=9F") << QStringLiteral("ß");
    QTest::newRow("line break") << QByteArray("a=0D=0Ab") << QStringLiteral("a\r\nb");
    QTest::newRow("two-byte not starting with C3") << QByteArray("=C4=9F") << QStringLiteral("ğ");
    QTest::newRow("three-byte euro") << QByteArray("=E2=82=AC 5") << QStringLiteral("€ 5");
    QTest::newRow("four-byte emoji") << QByteArray("=F0=9F=98=80") << QString::fromUcs4(U"\U0001F600");
    QTest::newRow("encoded equals sign") << QByteArray("1=3D2") << QStringLiteral("1=2");

    // Literal text around the escapes stays.
    QTest::newRow("plain text") << QByteArray("Hans Meier") << QStringLiteral("Hans Meier");
    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("text before first escape") << QByteArray("Hans=20Meier") << QStringLiteral("Hans Meier");
    QTest::newRow("hex letters after an escape") << QByteArray("=41BC") << QStringLiteral("ABC");
    QTest::newRow("raw UTF-8 between escapes")
        << QByteArray("J\xC3\xBCrgen=20M") << QStringLiteral("Jürgen M");

    // A "=" that starts no escape is text.
    QTest::newRow("= before non-hex") << QByteArray("a=G1") << QStringLiteral("a=G1");
    QTest::newRow("= at the end") << QByteArray("abc=") << QStringLiteral("abc=");
    QTest::newRow("= and one digit at the end") << QByteArray("ab=4") << QStringLiteral("ab=4");
    QTest::newRow("== then escape") << QByteArray("==41") << QStringLiteral("=A");
    QTest::newRow("C escape at the end") << QByteArray("x=C") << QStringLiteral("x=C");

    // Bytes that are not UTF-8 although UTF-8 was meant: read as Windows-1252.
    QTest::newRow("Latin-1 umlaut") << QByteArray("M=FCller") << QStringLiteral("Müller");
    QTest::newRow("Windows-1252 quote") << QByteArray("Reid=92s") << QStringLiteral("Reid’s");
    QTest::newRow("lone lead byte") << QByteArray("=C3") << QStringLiteral("Ã");
    QTest::newRow("truncated three-byte") << QByteArray("=E2=82") << QStringLiteral("â‚");
    QTest::newRow("encoded surrogate") << QByteArray("=ED=A0=80") << QStringLiteral("í\u00A0€");
    QTest::newRow("overlong zero") << QByteArray("=C0=80") << QStringLiteral("À€");
    QTest::newRow("beyond U+10FFFF") << QByteArray("=F4=90=80=80") << QStringLiteral("ô\u0090€€");
    QTest::newRow("UTF-8 then stray 80") << QByteArray("=C3=91=80") << QStringLiteral("Ã‘€");
}

void tst_Decoders::decodeQuotedPrintableUtf8ReadsUtf8() {
    QFETCH(QByteArray, value);
    QFETCH(QString, expected);
    QCOMPARE(decodeQuotedPrintableUtf8(value), expected);
}

void tst_Decoders::decodeQuotedPrintableGivesEveryByte_data() {
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("zero byte") << QByteArray("a=00b") << QByteArray("a\0b", 3);
    QTest::newRow("high byte") << QByteArray("=FF=fe") << QByteArray("\xFF\xFE");
    QTest::newRow("mixed case digits") << QByteArray("=aB=Cd") << QByteArray("\xAB\xCD");
    QTest::newRow("bad escape kept") << QByteArray("=4G=") << QByteArray("=4G=");
    QTest::newRow("blank kept") << QByteArray("a =20b ") << QByteArray("a  b ");
}

void tst_Decoders::decodeQuotedPrintableGivesEveryByte() {
    QFETCH(QByteArray, value);
    QFETCH(QByteArray, expected);
    QCOMPARE(decodeQuotedPrintable(value), expected);
}

void tst_Decoders::decodeBase64IgnoresWhitespace_data() {
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("plain") << QByteArray("SGFsbG8=") << QByteArray("Hallo");
    QTest::newRow("folded with blanks") << QByteArray("SGF sbG\t8=") << QByteArray("Hallo");
    QTest::newRow("line breaks") << QByteArray("w6Q=\r\n") << QByteArray("\xC3\xA4");
    QTest::newRow("empty") << QByteArray() << QByteArray();
}

void tst_Decoders::decodeBase64IgnoresWhitespace() {
    QFETCH(QByteArray, value);
    QFETCH(QByteArray, expected);
    QCOMPARE(decodeBase64(value), expected);
}

void tst_Decoders::decodeMacRomanKnowsMacRoman_data() {
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("ASCII unchanged") << QByteArray("Hans Meier 1-2") << QStringLiteral("Hans Meier 1-2");
    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("German letters") << QByteArray("\x80\x8A\x85\x9A\x86\x9F\xA7")
                                    << QStringLiteral("ÄäÖöÜüß");
    QTest::newRow("Müller") << QByteArray("M\x9Fller") << QStringLiteral("Müller");
    QTest::newRow("French accents") << QByteArray("\x8E\x88\x8D") << QStringLiteral("éàç");
    QTest::newRow("euro and dashes") << QByteArray("\xDB \xD0 \xD1") << QStringLiteral("€ – —");
    QTest::newRow("quotes") << QByteArray("\xD2x\xD3 \xE3y\xD2") << QStringLiteral("“x” „y“");
    QTest::newRow("no-break space") << QByteArray("a\xCA"
                                                  "b")
                                    << QStringLiteral("a\u00A0b");
}

void tst_Decoders::decodeMacRomanKnowsMacRoman() {
    QFETCH(QByteArray, value);
    QFETCH(QString, expected);
    QCOMPARE(decodeMacRoman(value), expected);
}

void tst_Decoders::decodeMacRomanCoversEveryHighByte() {
    // Apple's published Mac OS Roman table for 0x80..0xFF, in byte order.
    const QString macRoman =
        QStringLiteral("ÄÅÇÉÑÖÜáàâäãåçéèêëíìîïñóòôöõúùûü†°¢£§•¶ß®©™´¨≠ÆØ∞±≤≥¥µ∂∑∏π∫ªºΩæø¿¡¬√ƒ≈"
                       "∆«»…\u00A0ÀÃÕŒœ–—“”‘’÷◊ÿŸ⁄€‹›ﬁﬂ‡·‚„‰ÂÊÁËÈÍÎÏÌÓÔ\uF8FFÒÚÛÙıˆ˜¯˘˙˚¸˝˛ˇ");
    QCOMPARE(macRoman.size(), 128);
    QByteArray bytes;
    for (int b = 0x80; b <= 0xFF; ++b) {
        bytes.append(char(b));
    }
    const QString decoded = decodeMacRoman(bytes);
    QCOMPARE(decoded.size(), 128);
    QCOMPARE(decoded, macRoman);
}

void tst_Decoders::decodeCharsetHonoursTheDeclaredCharset_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("charset");
    QTest::addColumn<QString>("expected");

    QTest::newRow("ISO-8859-1") << QByteArray("M\xFCller") << QByteArray("ISO-8859-1")
                                << QStringLiteral("Müller");
    QTest::newRow("iso-8859-1 lower case")
        << QByteArray("\xE4") << QByteArray("iso-8859-1") << QStringLiteral("ä");
    QTest::newRow("ISO-8859-15 euro")
        << QByteArray("\xE4\xA4") << QByteArray("ISO-8859-15") << QStringLiteral("ä€");
    QTest::newRow("Windows-1252") << QByteArray("\x80 \x84x\x93") << QByteArray("Windows-1252")
                                  << QStringLiteral("€ „x“");
    QTest::newRow("Windows-1250") << QByteArray("\x9A") << QByteArray("windows-1250") << QStringLiteral("š");
    QTest::newRow("KOI8-R") << QByteArray("\xDB\xC1") << QByteArray("KOI8-R") << QStringLiteral("ша");
    QTest::newRow("Shift_JIS") << QByteArray("\x88\xC0\x93\xA1") << QByteArray("SHIFT_JIS")
                               << QStringLiteral("安藤");
    QTest::newRow("macintosh") << QByteArray("M\x9Fller") << QByteArray("macintosh")
                               << QStringLiteral("Müller");
    QTest::newRow("UTF-8") << QByteArray("M\xC3\xBCller") << QByteArray("UTF-8") << QStringLiteral("Müller");
    QTest::newRow("UTF-8 declared, Latin-1 bytes")
        << QByteArray("M\xFCller") << QByteArray("UTF-8") << QStringLiteral("Müller");
    QTest::newRow("US-ASCII declared, UTF-8 bytes")
        << QByteArray("\xC3\xA4") << QByteArray("US-ASCII") << QStringLiteral("ä");
    QTest::newRow("none, UTF-8 bytes") << QByteArray("\xC3\xA4") << QByteArray() << QStringLiteral("ä");
    QTest::newRow("none, Windows-1252 bytes")
        << QByteArray("\xE4\x80") << QByteArray() << QStringLiteral("ä€");
    QTest::newRow("unknown name, UTF-8 bytes")
        << QByteArray("\xC3\xA4") << QByteArray("X-NO-SUCH-CHARSET") << QStringLiteral("ä");
    QTest::newRow("unknown name, Latin-1 bytes")
        << QByteArray("\xE4") << QByteArray("X-NO-SUCH-CHARSET") << QStringLiteral("ä");
    QTest::newRow("ASCII in any charset")
        << QByteArray("Hans") << QByteArray("SHIFT_JIS") << QStringLiteral("Hans");
}

void tst_Decoders::decodeCharsetHonoursTheDeclaredCharset() {
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, charset);
    QFETCH(QString, expected);
    QCOMPARE(decodeCharset(bytes, charset), expected);
}

void tst_Decoders::unescapeTextResolvesVcardEscapes_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("no escapes") << QStringLiteral("Hans Meier") << QStringLiteral("Hans Meier");
    QTest::newRow("line break") << QStringLiteral("a\\nb") << QStringLiteral("a\nb");
    QTest::newRow("upper-case line break") << QStringLiteral("a\\Nb") << QStringLiteral("a\nb");
    QTest::newRow("comma") << QStringLiteral("Fuchs\\, Krüger") << QStringLiteral("Fuchs, Krüger");
    QTest::newRow("semicolon") << QStringLiteral("a\\;b") << QStringLiteral("a;b");
    QTest::newRow("backslash") << QStringLiteral("a\\\\b") << QStringLiteral("a\\b");
    QTest::newRow("colon as Address Book writes it") << QStringLiteral("08\\:00") << QStringLiteral("08:00");
    QTest::newRow("escaped backslash before n") << QStringLiteral("C:\\\\new") << QStringLiteral("C:\\new");
    QTest::newRow("unknown escape kept") << QStringLiteral("C:\\temp") << QStringLiteral("C:\\temp");
    QTest::newRow("trailing backslash kept") << QStringLiteral("abc\\") << QStringLiteral("abc\\");
    QTest::newRow("several") << QStringLiteral("1\\n2\\n\\n3") << QStringLiteral("1\n2\n\n3");
}

void tst_Decoders::unescapeTextResolvesVcardEscapes() {
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(unescapeText(text), expected);
}

// The import's fast paths (ASCII, German UTF-8, Windows-1252 written straight into the cell) must give what
// the general decoders give, or a value would read differently in the list and in the detail rows.
void tst_Decoders::valueTextAgreesWithTheGeneralDecoders_data() {
    QTest::addColumn<QByteArray>("line"); // a property line; its parameters say how to decode
    QTest::addColumn<bool>("unicodeSource");
    QTest::addColumn<QString>("expected");

    QTest::newRow("ASCII with escapes")
        << QByteArray("NOTE:a\\nb\\, c") << false << QStringLiteral("a\nb, c");
    QTest::newRow("German UTF-8") << QByteArray("FN:M\xc3\xbcller") << false << QStringLiteral("Müller");
    QTest::newRow("three-byte UTF-8") << QByteArray("FN:5 \xe2\x82\xac") << false << QStringLiteral("5 €");
    QTest::newRow("undeclared Windows-1252")
        << QByteArray("FN:M\xfcller") << false << QStringLiteral("Müller");
    QTest::newRow("declared Windows-1252")
        << QByteArray("FN;CHARSET=windows-1252:Reid\x92s") << false << QStringLiteral("Reid’s");
    QTest::newRow("UTF-8 declared, Windows-1252 found") << QByteArray("FN;CHARSET=UTF-8:Gr\xfc\xdf"
                                                                      "e")
                                                        << false << QStringLiteral("Grüße");
    QTest::newRow("Mac character set")
        << QByteArray("FN;CHARSET=macintosh:M\x9fller") << false << QStringLiteral("Müller");
    QTest::newRow("ISO-8859-15 by the library")
        << QByteArray("FN;CHARSET=ISO-8859-15:\xa4 5") << false << QStringLiteral("€ 5");
    QTest::newRow("quoted-printable declared")
        << QByteArray("NOTE;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:Gr=C3=BC=C3=9F") << false
        << QStringLiteral("Grüß");
    QTest::newRow("quoted-printable guessed")
        << QByteArray("NOTE;CHARSET=UTF-8:Gr=C3=BC=C3=9F") << false << QStringLiteral("Grüß");
    QTest::newRow("base64 in Latin-1")
        << QByteArray("NOTE;ENCODING=b;CHARSET=ISO-8859-1:") + QByteArray("Gr\xfc\xdf").toBase64() << false
        << QStringLiteral("Grüß");
    QTest::newRow("UTF-16 file: the charset does not apply")
        << QByteArray("FN;CHARSET=macintosh:M\xc3\xbcller") << true << QStringLiteral("Müller");
}

void tst_Decoders::valueTextAgreesWithTheGeneralDecoders() {
    QFETCH(QByteArray, line);
    QFETCH(bool, unicodeSource);
    QFETCH(QString, expected);
    const PropertyLexer::PropertyLine property(line);
    ValueText values(unicodeSource);
    QCOMPARE(values.text(property.value, property.parameters, true), expected);
    QCOMPARE(values.generalText(property.value, property.parameters, true), expected);
}

QTEST_GUILESS_MAIN(tst_Decoders)
#include "tst_decoders.moc"
